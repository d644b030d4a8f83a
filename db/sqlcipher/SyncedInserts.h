#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/sqlcipher/CommitGroup.h"
#include "db/sqlcipher/InsertTransaction.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// Result rows stored in one synced commit. A process that groups its
// commits (see writeToFile) keeps the rows here until commit() hands them
// to the file's next group, so that no lock is held while they are made;
// any other process writes them into a transaction of its own at once
// (InsertTransaction), holding the file's write lock from the start. A
// writer destroyed without commit() stores none of its rows.
//
// A row whose key is taken is refused at insert() either way: with grouped
// commits its key is looked up in the file (a read) and among the rows
// kept, so that the caller can move it before the commit, as it does
// without them.
class SyncedInserts {
 public:
  // `opened`: a connection to the file opened before (a read just made on
  // it), for the transaction of its own or the reads of the keys; none
  // opens one when needed. The rows' parameters are every column of
  // `table`, in the schema's order.
  SyncedInserts(const SqlCipherFile& file, const std::string& table,
                PooledConnection opened = nullptr);

  // A key that is taken raises kErrDuplicateKey (with grouped commits
  // also at commit(), when another program took it in the meantime).
  void insert(const std::string& sql, const SqlParams& params);
  // Stores every row inserted, and what `alsoWrite` writes, in one commit.
  // A second commit does nothing; one that failed may be tried again.
  void commit(const FileWrite& alsoWrite = {});

 private:
  std::string m_path;
  BusyWaiter* m_waiter;
  std::string m_table;
  std::optional<InsertTransaction> m_transaction;         // without grouped commits
  std::vector<std::pair<std::string, SqlParams>> m_rows;  // with them
  std::vector<std::pair<std::string, size_t>> m_key;      // columns, places
  PooledConnection m_reader;                              // reads the keys
  bool m_committed = false;

  void refuseTakenKey(const SqlParams& params);
  bool keyStored(const SqlParams& params);
};

}  // namespace quarn
