#pragma once

#include <optional>

namespace quarn {

// One write of rows into a table: a transaction that holds the database's
// write lock from its start. A writer destroyed without commit() stores none
// of its rows.
template <class RowT>
class RowWriter {
 public:
  virtual ~RowWriter() = default;
  virtual void insert(const RowT& row) = 0;
  virtual void commit() = 0;
  // After a commit whose answer was lost with the link to the database:
  // whether the database holds the rows after all, looked up now, or
  // nothing when it cannot be asked. False while no commit went out.
  virtual std::optional<bool> storedDespiteLostCommit() { return false; }
};

}  // namespace quarn
