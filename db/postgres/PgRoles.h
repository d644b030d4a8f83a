#pragma once

// The two roles of a lab server. The owner (the role that created the
// tables: the moderator's administration) may do everything. A workstation
// role may do only what a session needs: read the plan, look a participant
// up, add a participant, weeks and trials, and keep the marks that say who
// plays where. Its password is the only one the workstations hold.

#include <string>
#include <utility>
#include <vector>

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
//   datPlaying      SELECT of every column but the marks' secrets (Token);
//                   changed only through the mark functions below (EXECUTE)
//   datTeamMember,  SELECT; written only through the team functions below
//   datTeamOrder,   (EXECUTE)
//   datTeam
//
// The functions are made anew first (createWorkstationFunctions).
void grantWorkstationRole(PgConnection& connection, const std::string& role);

// Makes (or replaces) the functions through which a workstation changes the
// marks and writes a team's rows, in the connection's current schema, owned
// by the owner of datPlaying and executable by nobody else until a role is
// granted them. They run with their owner's rights, so a workstation role
// without any right to change datPlaying itself can still claim and keep its
// marks; but only its own (whose secret it holds) or the one it has just
// seen (take-over).
//
//   quarn_claim_mark       adds a mark; false when the participant has one
//   quarn_take_over_mark   replaces the seen mark (Subject, Host, Process,
//                          Since) by a new one; false when that mark is gone
//                          or was replaced meanwhile
//   quarn_refresh_mark     dates the mark of (Subject, Token) by the server's
//                          clock with what the participant does; false when
//                          there is no such mark
//   quarn_release_mark     removes the mark of (Subject, Token)
//
// Every mark they write is dated by the server's clock. Whether a present
// mark still counts is judged by the caller, not here.
//
// A workstation writes a team's rows only for a participant whose mark it
// holds (p_subject with its secret p_token; 42501 otherwise), who is that
// member of the team; a caller with the right to insert into the table
// itself (the owner's administration) needs no mark:
//
//   quarn_join_team           adds the participant as the team's next
//                             member; never to a team the moderator fixed
//   quarn_store_team_order    stores a typed order (the first one counts;
//                             none for weeks a simulated player replaces
//                             the member); true when stored
//   quarn_record_team_member  records the member's stage in a trial (never
//                             a replacement); a row there already stays
//   quarn_store_clock_order   stores the week clock's order (Clock 1) of a
//                             member, made by the caller p_caller, a member
//                             of the team whose mark the workstation holds;
//                             for another member only once the week's time
//                             ran out by the server's clock
void createWorkstationFunctions(PgConnection& connection);

// A team function's row: its parameters are the table's columns in the
// schema's order, but for those it fills itself (`filled`: each column with
// its SQL) and those it leaves Null (`unset`); then the mark's secret.
struct TeamFunction {
  std::string name;
  std::string table;
  std::vector<std::pair<std::string, std::string>> filled;
  std::vector<std::string> unset;
};
const TeamFunction& joinTeamFunction();
const TeamFunction& storeTeamOrderFunction();
const TeamFunction& recordTeamMemberFunction();
// The week clock's order: the team order function's parameters, then the
// caller's User ID and the secret of the caller's mark.
const TeamFunction& storeClockOrderFunction();
std::string clockOrderCallSql();
// The columns `function` takes as its parameters, in their order.
std::vector<std::string> parameterColumns(const TeamFunction& function);
// The call of `function` with `?` for each parameter column, then one for
// the secret.
std::string teamFunctionCallSql(const TeamFunction& function);

// Makes each of `logins` a role that logs in for one workstation: a member
// of the workstation role `role`, with its rights and none of its own, and
// a new random password, which the result pairs with the name (the only
// place it is ever told). A workstation's login can then lock out none but
// itself: changing the password of a shared login would shut out every
// workstation. Refused, making none, when one of the names exists already.
// The connection must be allowed to make roles and to give membership in
// `role` (a superuser's, or one with CREATEROLE that may administer
// `role`).
std::vector<std::pair<std::string, std::string>> createWorkstationLogins(
    PgConnection& connection, const std::string& role, const std::vector<std::string>& logins);

// Gives every role that holds the rights an earlier `grant` gave a
// workstation (adding weeks, not changing results) the rights of
// today's grantWorkstationRole(), within the caller's transaction: an
// upgrade leaves no workstation with rights it no longer needs.
void renewWorkstationRoles(PgConnection& connection);

// `name` as an SQL identifier, in double quotes.
std::string quotedIdentifier(const std::string& name);

}  // namespace quarn
