#pragma once

// The administration of experiment databases: making one, and moving tables
// in and out as CSV, on either engine.

#include <iosfwd>
#include <string>
#include <vector>

#include "db/DatabaseChoice.h"
#include "db/DatabaseTables.h"

namespace quarn {

// Creates a new encrypted database at `path` holding the schema. Refuses to
// overwrite an existing file.
void createDatabase(const std::string& path);
// Creates the chosen database: a new file, or the experiment's tables on the
// server (in the connection's current schema), refused when any of them
// exists. On a server the connecting role owns the tables; a
// `workstationRole` given gets the workstation's rights on them
// (grantWorkstationRole). A file has no roles.
void createDatabase(const DatabaseChoice& choice, const std::string& workstationRole = "");
// Gives an existing role the workstation's rights on the server's tables.
void grantWorkstation(const DatabaseChoice& choice, const std::string& role);

// A login made for one workstation, with its password and the line for that
// workstation's ~/.pgpass (the server as this connection reaches it).
struct WorkstationLogin {
  std::string name;
  std::string password;
  std::string pgpassLine;
};
// Makes each of `logins` a login role of its own inside the workstation role
// `role` (createWorkstationLogins), all or none.
std::vector<WorkstationLogin> makeWorkstationLogins(const DatabaseChoice& choice,
                                                    const std::string& role,
                                                    const std::vector<std::string>& logins);

// Writes `table` as CSV (RFC 4180: header row, CRLF line ends, fields quoted
// when needed), its rows in the order they were inserted. Null is an empty
// field; an empty text is "". Both engines write the same table alike.
void exportCsv(DatabaseTables& db, const std::string& table, std::ostream& out);

// Appends the rows of a CSV text (same form as exportCsv writes) to `table`.
// The header names the columns. A broken line, an unknown column or a value
// of the wrong type refuses the whole file (QuarnError naming the line);
// nothing of it is stored. Returns the number of rows stored.
int importCsv(DatabaseTables& db, const std::string& table, std::istream& in);

}  // namespace quarn
