#pragma once

#include <string>

#include "base/Errors.h"

namespace quarn {

// Error numbers of the data layer that callers tell apart. They keep the
// numbers of the classic database engine where it had one.
inline constexpr int kErrUpdateWithoutAddNew = 3020;
// A row whose key is already in its table ("duplicate value in index or
// primary key").
inline constexpr int kErrDuplicateKey = 3022;
inline constexpr int kErrReadOnly = 3027;
inline constexpr int kErrDataTypeConversion = 3421;
// A write failed in a way that undid every row stored in its transaction
// (the engine rolled it back): the transaction has to be written again.
inline constexpr int kErrWriteLost = kErrDatabase + 4;

enum class DbErrorKind {
  KeyCollision,    // the row's key is taken (kErrDuplicateKey)
  Busy,            // another program held the file longer than the busy timeout
  ItemNotFound,    // a table or column is not in the database (kErrItemNotFound)
  ReadOnlyFolder,  // the folder or file cannot be written
  WriteLost,       // the transaction was rolled back (kErrWriteLost)
  ConnectionLost,  // the server cannot be reached, or the link to it broke
  Refused,         // no retry can mend it: a refused login, a refused connection string
  Other,
};

// A failure of the data layer: its number and description, as every failure
// carries them, what kind of failure it is, and the statement or table it
// happened on (named by the message after an outdated file).
class DbError : public QuarnError {
 public:
  DbError(DbErrorKind kind, int number, const std::string& description, std::string source = "")
      : QuarnError(number, description), m_kind(kind), m_source(std::move(source)) {}
  DbErrorKind kind() const { return m_kind; }
  const std::string& source() const { return m_source; }

 private:
  DbErrorKind m_kind;
  std::string m_source;
};

}  // namespace quarn
