#pragma once

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
};

}  // namespace quarn
