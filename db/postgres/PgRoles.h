#pragma once

// The two roles of a lab server. The owner (the role that created the
// tables: the moderator's administration) may do everything. A workstation
// role may do only what a session needs: read the plan, look a participant
// up, add a participant, weeks and trials, and keep the marks that say who
// plays where. Its password is the only one the workstations hold.

#include <string>

#include "db/postgres/PgConnection.h"

namespace quarn {

// Gives `role` (which must exist) exactly the workstation's rights on the
// experiment's tables in the connection's current schema, all or nothing;
// rights it held beyond them on these tables are taken back. The connection
// must be the tables' owner's (or a superuser's).
//
//   plan tables     SELECT
//   datUser         SELECT of Subject and Setting (not the questionnaire's
//                   answers), INSERT
//   datRole/Trial   SELECT, INSERT (never UPDATE or DELETE)
//   datPlaying      SELECT, INSERT, DELETE, UPDATE of LastWeek only
void grantWorkstationRole(PgConnection& connection, const std::string& role);

// `name` as an SQL identifier, in double quotes.
std::string quotedIdentifier(const std::string& name);

}  // namespace quarn
