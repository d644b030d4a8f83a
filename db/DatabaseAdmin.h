#pragma once

// The administration of experiment database files: making one, and moving
// tables in and out as CSV.

#include <iosfwd>
#include <string>

namespace quarn {

// Creates a new encrypted database at `path` holding the schema. Refuses to
// overwrite an existing file.
void createDatabase(const std::string& path);

// Writes `table` as CSV (RFC 4180: header row, CRLF line ends, fields quoted
// when needed). Null is an empty field; an empty text is "".
void exportCsv(const std::string& path, const std::string& table, std::ostream& out);

// Appends the rows of a CSV text (same form as exportCsv writes) to `table`.
// The header names the columns. A broken line, an unknown column or a value
// of the wrong type refuses the whole file (QuarnError naming the line);
// nothing of it is stored. Returns the number of rows stored.
int importCsv(const std::string& path, const std::string& table, std::istream& in);

}  // namespace quarn
