#include "db/Schema.h"

#include <algorithm>

#include "base/Numbers.h"
#include "base/Text.h"

namespace quarn {

namespace {

// Types: whole numbers Integer (64 bits on both engines), rates and
// parameters Real, names Text. Yes/no columns are Integer, 0 for no and any
// other value for yes. Dates are Text in the form YYYY-MM-DD, times of day
// Text HH:MM:SS.
//
// Defaults. Columns whose absence would make a plan ambiguous (delays, weeks,
// demand, stocks, cost rates, role columns) have none, so that a forgotten
// value is reported by the plan loader instead of being guessed. Defaults are
// given where one value is the plain meaning of "not set":
//   * yes/no switches of players and trials default to 0 (off), except
//     DatabaseOutput, which defaults to 1 so that a forgotten column never
//     loses a participant's results;
//   * display switches default to 1 (shown);
//   * Input and Predicter default to '' (step demand, no forecast);
//   * RandomGroup and Index default to 0, Runs to 1; player parameters to 0;
//   * in the output tables Training defaults to 0 (an experiment trial) and
//     User to 0 (a simulated stage; the participant's row carries 6). PNoise
//     and the delay slots beyond a trial's delay stay Null: not recorded.
//
// Versions: 1 is every database made before the version was recorded;
// 2 records it (sysSchema), gives every file the workstation marks
// (datPlaying), which older files made only at their first login, and makes
// the server's case-blind User IDs unique (datUser and the marks); 3 keeps
// the teams of team settings (datTeamMember, datTeamOrder, datTeam); 4 adds
// what the participant does to the marks (for the live view) and the
// participants' language of a setting (tblSetting); 5 gives each mark a
// secret that only its own workstation knows (Token, so that a workstation
// can refresh and remove only its own marks), dates a team's typed orders
// by the server's clock (Stored) and records a member replaced by a
// simulated player (datTeam's Player and FromWeek); 6 has a server's
// workstations write the teams' rows only through functions that check the
// member's mark (no table changes: the upgrade makes the functions and
// takes the workstation roles' direct INSERT on the team tables back); 7
// gives a setting a week clock (tblSetting's WeekSeconds and ClockRule),
// marks a team's order made by it (datTeamOrder's Clock), and keeps the
// classes students join by a code (datClass, datClassMember) and a
// setting's completion link (tblSetting's CompletionLink).
constexpr ColumnType kInt = ColumnType::Integer;
constexpr ColumnType kReal = ColumnType::Real;
constexpr ColumnType kText = ColumnType::Text;
constexpr bool kNotNull = true;
const std::optional<std::string> kNone;

// The columns a block row and a training row share, from Delay on.
std::vector<ColumnDescription> trialColumns(const std::string& weeks) {
  return {
      {"Delay", kInt},
      {weeks, kInt},
      {"Input", kText, "''"},
      {"InitialDemand", kInt},
      {"JumpWeek", kInt},
      {"SecondDemand", kInt},
      {"Predicter", kText, "''"},
      {"DisplayOption", kText},
      {"Factory", kText},
      {"Distributor", kText},
      {"Wholesaler", kText},
      {"Retailer", kText},
      {"FirstOrder", kInt},
      {"MinOrder", kInt},
      {"MaxOrder", kInt},
      {"MaxNoise", kInt},
      {"InitInventory", kInt},
      {"InitDelayAmount", kInt},
      {"CostInventory", kReal},
      {"CostBackOrder", kReal},
      {"CostTransit", kReal},
      {"DatabaseOutput", kInt, "1"},
  };
}

std::vector<ColumnDescription> joined(std::vector<ColumnDescription> head,
                                      const std::vector<ColumnDescription>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The newest version that brought a table, column or index.
int newestPart(const Schema& schema) {
  int newest = 1;
  for (const TableDescription& table : schema.tables) {
    newest = std::max(newest, table.since);
    for (const ColumnDescription& column : table.columns) newest = std::max(newest, column.since);
  }
  for (const IndexDescription& index : schema.indexes) newest = std::max(newest, index.since);
  return newest;
}

Schema describeSchema() {
  Schema schema;
  schema.version = 6;
  schema.tables = {
      {"tblBlock", joined({{"Setting", kText, kNone, kNotNull},
                           {"RandomGroup", kInt, "0", kNotNull},
                           {"Index", kInt, "0", kNotNull},
                           {"Runs", kInt, "1", kNotNull}},
                          joined(trialColumns("numweeks"),
                                 {{"EnableProfit", kInt, "0"}, {"PricePerUnit", kInt, "0"}}))},
      {"tblPlayer", playerColumns(playerRules())},
      {"tblTraining", joined({{"Setting", kText, kNone, kNotNull},
                              {"Runs", kInt},
                              {"CostLimit", kInt, "0"},
                              {"InventoryBounds", kInt, "0"},
                              {"Password", kText}},
                             trialColumns("Weeks"))},
      {"tblDisplay",
       {{"Configuration", kText, kNone, kNotNull},
        {"BottlesF", kInt, "1"},
        {"TrucksFD", kInt, "1"},
        {"TrucksDW", kInt, "1"},
        {"TrucksWR", kInt, "1"},
        {"TotalCost", kInt, "1"},
        {"Factory", kText},
        {"Distributor", kText},
        {"Wholesaler", kText},
        {"Retailer", kText}}},
      {"tblDisplayOption",
       {{"Option", kText, kNone, kNotNull},
        {"RecentOrder", kInt, "1"},
        {"BackOrder", kInt, "1"},
        {"Inventory", kInt, "1"},
        {"Satisfied", kInt, "1"},
        {"Demand", kInt, "1"},
        {"Cost", kInt, "1"}}},
      {"tblPause",
       {{"Setting", kText, kNone, kNotNull},
        {"Trial", kInt, kNone, kNotNull},
        {"Password", kText}}},
      {"tblPredicter",
       {{"Predicter", kText, kNone, kNotNull},
        {"Extent", kInt},
        {"Excess", kInt},
        {"MaxNoise", kInt, "0"}}},
      // The participants' language of a setting ("de", "es"); a setting
      // without a row plays in the language chosen at the start. A week
      // clock gives each week WeekSeconds (0: no clock); when they run out
      // the week is ordered by ClockRule (a tblPlayer row's Name, or '' for
      // the participant's last order). CompletionLink: the address shown at
      // the game over, with {id} as the participant's User ID (an online
      // panel's link back).
      {"tblSetting",
       {{"Setting", kText, kNone, kNotNull},
        {"Language", kText},
        {"WeekSeconds", kInt, "0", false, 7},
        {"ClockRule", kText, "''", false, 7},
        {"CompletionLink", kText, "''", false, 7}},
       {},
       4},
      {"datUser",
       {{"Subject", kText, kNone, kNotNull},
        {"Setting", kText},
        {"Age", kInt},
        {"Gender", kText},
        {"SchoolYear", kText},
        {"Major", kText}},
       {"Subject"}},
      {"datRole",
       {{"Subject", kText, kNone, kNotNull},
        {"Setting", kText, kNone, kNotNull},
        {"Trial", kInt, kNone, kNotNull},
        {"Training", kInt, "0", kNotNull},
        {"Week", kInt, kNone, kNotNull},
        {"Role", kText, kNone, kNotNull},
        {"User", kInt, "0"},
        {"PNoise", kInt},
        {"Order", kInt},
        {"DeltaInventory", kInt},
        {"Inventory", kInt},
        {"Delay1", kInt},
        {"Delay2", kInt},
        {"Delay3", kInt},
        {"Demand", kInt},
        {"Satisfied", kInt},
        {"WeeklyCost", kInt},
        {"TotalCost", kInt},
        {"TransactionTime", kInt},
        {"Date", kText},
        {"TimeOfDay", kText}},
       {"Subject", "Setting", "Trial", "Week", "Role"}},
      {"datTrial",
       {{"Subject", kText, kNone, kNotNull},
        {"Setting", kText, kNone, kNotNull},
        {"Trial", kInt, kNone, kNotNull},
        {"Training", kInt, "0", kNotNull},
        {"Weeks", kInt},
        {"Delay", kInt},
        {"Predicter", kText},
        {"InventoryCost", kReal},
        {"BackCost", kReal},
        {"TransitCost", kReal},
        {"EndCost", kReal},
        {"Factory", kText},
        {"Distributor", kText},
        {"Wholesaler", kText},
        {"Retailer", kText},
        {"Date", kText},
        {"Time", kText}},
       {"Subject", "Setting", "Trial"}},
      // Which workstation plays which participant: a participant plays on
      // one workstation at a time. The login writes the mark, every recorded
      // week refreshes LastWeek, a normal end removes it. Times are seconds
      // since 1970 (UTC). The rest tells the live view what the participant
      // does (State, since StateSince) and where in the game.
      {"datPlaying",
       {{"Subject", kText, kNone, kNotNull},
        {"Setting", kText},
        {"Host", kText, kNone, kNotNull},
        {"Process", kInt, kNone, kNotNull},
        {"Since", kInt, kNone, kNotNull},
        {"LastWeek", kInt, kNone, kNotNull},
        {"State", kText, kNone, false, 4},
        {"StateSince", kInt, kNone, false, 4},
        {"Trial", kInt, kNone, false, 4},
        {"Week", kInt, kNone, false, 4},
        {"Weeks", kInt, kNone, false, 4},
        {"Role", kText, kNone, false, 4},
        {"Cost", kInt, kNone, false, 4},
        {"Token", kText, kNone, false, 5}},
       {"Subject"},
       2},
      {kVersionTable, {{"Version", kInt, kNone, kNotNull}}, {}, 2},
      // The members of a team of a team setting: Member 1 to 4 by arrival,
      // or as the moderator fixed them beforehand (Fixed 1) while nobody had
      // joined yet.
      {"datTeamMember",
       {{"Setting", kText, kNone, kNotNull},
        {"Team", kText, kNone, kNotNull},
        {"Member", kInt, kNone, kNotNull},
        {"Subject", kText, kNone, kNotNull},
        {"Fixed", kInt, "0"}},
       {"Setting", "Team", "Member"},
       3},
      // Every order a team member typed, as typed: a member's workstation
      // that starts again replays them, and the week is played once all
      // members of the team have one (Clock 1: made by the week clock, not
      // typed). Orders of week 0 are marks: in an
      // experiment trial, the pause before it passed; in training played
      // together (Training 1), a member beginning the team's training trial
      // Trial (Order: which one of the plan; TransactionTime: the member's
      // Trial number for it), and with Trial 0 the team's training over.
      {"datTeamOrder",
       {{"Setting", kText, kNone, kNotNull},
        {"Team", kText, kNone, kNotNull},
        {"Trial", kInt, kNone, kNotNull},
        {"Training", kInt, "0", kNotNull},
        {"Week", kInt, kNone, kNotNull},
        {"Member", kInt, kNone, kNotNull},
        {"Order", kInt},
        {"Subject", kText},
        {"TransactionTime", kInt},
        {"Stored", kInt, kNone, false, 5},
        {"Clock", kInt, "0", false, 7}},
       {"Setting", "Team", "Trial", "Training", "Week", "Member"},
       3},
      // Who played which stage of a team trial: ties the members' records
      // (datRole, datTrial under their own User IDs) together. A member the
      // moderator replaced is played by the simulated player Player from
      // week FromWeek to the trial's end.
      {"datTeam",
       {{"Setting", kText, kNone, kNotNull},
        {"Team", kText, kNone, kNotNull},
        {"Trial", kInt, kNone, kNotNull},
        {"Member", kInt, kNone, kNotNull},
        {"Role", kText},
        {"Subject", kText},
        {"Player", kText, kNone, false, 5},
        {"FromWeek", kInt, kNone, false, 5}},
       {"Setting", "Team", "Trial", "Member"},
       3},
      // A class opened on a setting, which students join by its code. The
      // teacher's password is kept only as a salted hash.
      {"datClass",
       {{"Code", kText, kNone, kNotNull},
        {"Setting", kText, kNone, kNotNull},
        {"Password", kText},
        {"Identity", kText, "'name'", kNotNull},
        {"Forming", kText, "'arrival'", kNotNull},
        {"Leftover", kText, "''"},
        {"LeftoverPlayer", kText, "''"},
        {"State", kText, "'open'", kNotNull},
        {"Opened", kText},
        {"PausesPassed", kInt, "0", kNotNull},
        {"TrainingsEnded", kInt, "0", kNotNull}},
       {"Code"},
       7},
      // The students of a class in order of arrival, the name each gave
      // and the team the program placed it in.
      {"datClassMember",
       {{"Code", kText, kNone, kNotNull},
        {"Subject", kText, kNone, kNotNull},
        {"Name", kText, "''"},
        {"Arrival", kInt, kNone, kNotNull},
        {"Team", kText, "''"}},
       {"Code", "Subject"},
       7},
  };
  schema.indexes = {
      {"idxBlockSetting", "tblBlock", R"("Setting", "RandomGroup", "Index")"},
      {"idxTrainingSetting", "tblTraining", R"("Setting")"},
      {"idxDisplayConfiguration", "tblDisplay", R"("Configuration")"},
      {"idxDisplayOption", "tblDisplayOption", R"("Option")"},
      {"idxPauseSetting", "tblPause", R"("Setting", "Trial")"},
      {"idxPredicter", "tblPredicter", R"("Predicter")"},
      {"idxSettingLanguage", "tblSetting", R"("Setting")", false, 4},
      // The moderator's live view (quarngame-admin watch) finds the weeks
      // recorded lately by it.
      {"idxRoleTime", "datRole", R"("Date", "TimeOfDay")"},
      // The login finds a User ID without regard to letter case, beyond
      // ASCII too (Zoë is ZOË), whatever the server's own locale: ICU's root
      // locale lowers the letters of every script. The index is unique:
      // "CaseRace" and "caserace" are one participant, also when two
      // workstations register them at the same moment; so is the mark. The
      // file compares with its connections' own collation instead.
      {"idxUserSubjectCaseBlind", "datUser", R"(lower("Subject" COLLATE "und-x-icu"))", true, 2,
       DatabaseEngine::Server},
      {"idxPlayingSubjectCaseBlind", "datPlaying", R"(lower("Subject" COLLATE "und-x-icu"))", true,
       2, DatabaseEngine::Server},
      // The file finds a row by its rowid at once; so does the server by
      // this index (the live view's latest week of each participant).
      {"idxRoleRowid", "datRole", "rowid", false, 1, DatabaseEngine::Server},
      // A participant is one member of a team.
      {"idxTeamMemberSubject", "datTeamMember", R"("Setting", "Team", "Subject")", true, 3},
  };
  // Version 6 changed no table; a later one is that of its newest part.
  schema.version = std::max(schema.version, newestPart(schema));
  return schema;
}

std::string quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string typeName(ColumnType type, DatabaseEngine engine) {
  const bool file = engine == DatabaseEngine::File;
  switch (type) {
    case ColumnType::Integer:
      return file ? "INTEGER" : "bigint";
    case ColumnType::Real:
      return file ? "REAL" : "double precision";
    case ColumnType::Text:
      return file ? "TEXT" : "text";
  }
  return "";
}

std::string columnDefinition(const ColumnDescription& column, DatabaseEngine engine) {
  std::string text = quoted(column.name) + " " + typeName(column.type, engine);
  if (column.notNull) text += " NOT NULL";
  if (column.defaultValue) text += " DEFAULT " + *column.defaultValue;
  return text;
}

// The file returns a plan table's rows in the order they were inserted
// (SQLite's hidden rowid), and that order means something, e.g. the order
// of a setting's training trials. A server table has no such order: an
// updated row moves. Every server table therefore numbers its rows as they
// are inserted, under the same name, so that "ORDER BY rowid" means the same
// on both engines.
constexpr const char* kServerRowid = "rowid bigint GENERATED ALWAYS AS IDENTITY";

// Creates `table` with the columns it had at `version`.
std::string createTable(const TableDescription& table, DatabaseEngine engine, bool ifMissing,
                        int version) {
  std::vector<std::string> parts;
  for (const ColumnDescription& column : table.columns) {
    if (column.since <= version) parts.push_back(columnDefinition(column, engine));
  }
  if (engine == DatabaseEngine::Server) parts.push_back(kServerRowid);
  if (!table.primaryKey.empty()) {
    std::vector<std::string> keys;
    for (const std::string& key : table.primaryKey) keys.push_back(quoted(key));
    parts.push_back("PRIMARY KEY (" + joinText(keys, ", ") + ")");
  }
  return std::string("CREATE TABLE ") + (ifMissing ? "IF NOT EXISTS " : "") + quoted(table.name) +
         " (\n  " + joinText(parts, ",\n  ") + "\n)";
}

std::string createIndex(const IndexDescription& index) {
  return std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " + quoted(index.name) +
         " ON " + quoted(index.table) + " (" + index.keys + ")";
}

bool onEngine(const IndexDescription& index, DatabaseEngine engine) {
  return !index.onlyOn || *index.onlyOn == engine;
}

std::string recordVersion(int version) {
  return "INSERT INTO " + quoted(kVersionTable) + " (\"Version\") VALUES (" +
         std::to_string(version) + ")";
}

}  // namespace

const Schema& currentSchema() {
  static const Schema schema = describeSchema();
  return schema;
}

std::vector<std::string> createStatements(const Schema& schema, DatabaseEngine engine) {
  std::vector<std::string> statements;
  for (const TableDescription& table : schema.tables) {
    statements.push_back(createTable(table, engine, false, schema.version));
  }
  for (const IndexDescription& index : schema.indexes) {
    if (onEngine(index, engine)) statements.push_back(createIndex(index));
  }
  statements.push_back(recordVersion(schema.version));
  return statements;
}

std::vector<std::string> upgradeStatements(const Schema& schema, DatabaseEngine engine, int from) {
  std::vector<std::string> statements;
  for (int version = from + 1; version <= schema.version; ++version) {
    for (const TableDescription& table : schema.tables) {
      if (table.since == version) {
        // A table older files may hold already keeps its rows.
        statements.push_back(createTable(table, engine, true, version));
        continue;
      }
      if (table.since > version) continue;
      for (const ColumnDescription& column : table.columns) {
        if (column.since != version) continue;
        statements.push_back("ALTER TABLE " + quoted(table.name) + " ADD COLUMN " +
                             columnDefinition(column, engine));
      }
    }
    for (const IndexDescription& index : schema.indexes) {
      if (index.since == version && onEngine(index, engine)) {
        // An index of that name from before is made anew in its new form.
        statements.push_back("DROP INDEX IF EXISTS " + quoted(index.name));
        statements.push_back(createIndex(index));
      }
    }
  }
  statements.push_back("DELETE FROM " + quoted(kVersionTable));
  statements.push_back(recordVersion(schema.version));
  return statements;
}

std::vector<ColumnDescription> playerColumns(std::span<const PlayerRuleEntry> rules) {
  std::vector<ColumnDescription> switches = {{"Name", kText, kNone, kNotNull}};
  std::vector<ColumnDescription> parameters = {{"IfZero", kInt, "0"}};
  std::vector<ColumnDescription> later;
  for (const PlayerRuleEntry& rule : rules) {
    const bool first = rule.since == 1;
    (first ? switches : later).push_back({rule.column, kInt, "0", false, rule.since});
    for (const RuleParameter& parameter : rule.parameters) {
      (first ? parameters : later)
          .push_back({parameter.column, kReal, shortestDecimal(parameter.defaultValue), false,
                      rule.since});
    }
  }
  std::stable_sort(
      later.begin(), later.end(),
      [](const ColumnDescription& a, const ColumnDescription& b) { return a.since < b.since; });
  return joined(joined(switches, parameters), later);
}

const ColumnDescription* findColumn(const Schema& schema, const std::string& table,
                                    const std::string& column) {
  for (const TableDescription& t : schema.tables) {
    if (!equalsIgnoringAsciiCase(t.name, table)) continue;
    for (const ColumnDescription& c : t.columns) {
      if (equalsIgnoringAsciiCase(c.name, column)) return &c;
    }
  }
  return nullptr;
}

const TableDescription* findTable(const Schema& schema, const std::string& table) {
  for (const TableDescription& t : schema.tables) {
    if (equalsIgnoringAsciiCase(t.name, table)) return &t;
  }
  return nullptr;
}

}  // namespace quarn
