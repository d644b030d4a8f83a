#pragma once

// The reference of every table and column of an experiment database, and of
// the participant's text file, made from the schema description (Schema.h)
// and the meaning of each column kept beside it here. quarngame-admin
// columns prints it; docs/plan-reference.md is the same text.

#include <string>
#include <vector>

namespace quarn {

// How a plan is given a column: required (no default; an empty cell is a
// fault), optional (an empty cell reads as the default, or as empty text),
// or recorded (an output table the program writes).
enum class ColumnNeed { Required, Optional, Recorded };

struct ColumnNote {
  const char* table;
  const char* column;
  ColumnNeed need;
  const char* meaning;
};

// What each column means, table by table.
const std::vector<ColumnNote>& columnNotes();

// The pseudo-table name that selects the participant's text file.
inline constexpr const char* kTextFileName = "textfile";

// The whole reference in Markdown, or only the part of `table` (a table's
// name in any letter case, or kTextFileName). Throws QuarnError
// (kErrItemNotFound) for a name that is neither.
std::string columnReference(const std::string& table = "");

// The columns of the schema without a note, and notes of no schema column,
// as "table.column": the reference is complete when both are empty.
std::vector<std::string> undescribedColumns();
std::vector<std::string> notesWithoutColumn();

}  // namespace quarn
