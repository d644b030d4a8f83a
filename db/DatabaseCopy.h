#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/DatabaseTables.h"

namespace quarn {

struct CopiedTable {
  std::string table;
  int64_t rows = 0;           // the rows copied
  bool alreadyThere = false;  // a plan table the target holds as it is
};

// Copies the rows of every table of the experiment from `source` into
// `target` (either engine into either), in the order they were inserted, in
// one transaction: all of them or none.
//
// Nothing is overwritten. A result table is refused when the target holds a
// row with the key of a source row; a plan table (which has no key) when the
// target holds other rows, unless they are the source's rows exactly, which
// then stay as they are. Every refusal is found before anything is written,
// and one error (kErrDuplicateKey) names them all. A table the source lacks
// (a file from before the marks) is left out; one the target lacks is
// refused (3265).
std::vector<CopiedTable> copyDatabase(DatabaseTables& source, DatabaseTables& target);

}  // namespace quarn
