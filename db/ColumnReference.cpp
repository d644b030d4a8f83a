#include "db/ColumnReference.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Text.h"
#include "db/Schema.h"
#include "sim/PlayerRules.h"
#include "sim/RecordedStage.h"

namespace quarn {

namespace {

constexpr ColumnNeed kRequired = ColumnNeed::Required;
constexpr ColumnNeed kOptional = ColumnNeed::Optional;
constexpr ColumnNeed kRecorded = ColumnNeed::Recorded;

struct TableNote {
  const char* table;
  const char* meaning;
};

const TableNote kTableNotes[] = {
    {"tblBlock",
     "The trials of a setting: each row is a block of `Runs` identical trials, played in the "
     "order `RandomGroup` descending, then `Index`. Trials are counted from 0 in `check`'s "
     "messages and from 1 in the records."},
    {"tblPlayer",
     "The simulated players; the role columns of `tblBlock` and `tblTraining` name "
     "them (letter case aside)."},
    {"tblTraining",
     "The training of a setting, played before its trials (only the first row of a setting "
     "counts). The columns from `Delay` on are those of `tblBlock`, with `Weeks` for `numweeks`."},
    {"tblDisplay",
     "A display configuration, named by a trial's `DisplayOption`: which shipments "
     "are shown, and the `tblDisplayOption` row of each stage."},
    {"tblDisplayOption", "Which figures of a stage the main window shows."},
    {"tblPause",
     "A pause of a setting: the game stops after a trial until the moderator types "
     "the password."},
    {"tblPredicter",
     "A demand forecast, named by a trial's `Predicter`: the Retailer's demand "
     "shown ahead, blurred by noise."},
    {"tblSetting",
     "The participants' language and the week clock of a setting; a setting without a row plays "
     "in the language chosen at the start (`quarngame --language`, else the system's), without "
     "a clock."},
    {"datUser", "One row per participant, written by the questionnaire at the first login."},
    {"datRole",
     "One row per stage and played week of every trial whose `DatabaseOutput` is on (training "
     "included): four rows a week, stored together."},
    {"datTrial", "One row per played trial whose `DatabaseOutput` is on, written at its end."},
    {"datPlaying",
     "Which workstation plays which participant now (the workstation marks); the "
     "live view (`quarngame-admin watch`) reads it."},
    {"sysSchema", "The schema version of the database."},
    {"datTeamMember", "The members of each team of a team setting."},
    {"datTeamOrder", "Every order a team member typed, as typed."},
    {"datTeam", "Who played which stage of a team trial."},
    {"datClass",
     "A class opened on a setting (`quarngame-admin class open`), which students join by its "
     "code in the browser."},
    {"datClassMember",
     "One row per student who joined a class, in order of arrival, with the team the program "
     "placed the student in."},
};

// The columns a block row and a training row share, from Delay on.
std::vector<ColumnNote> trialNotes(const char* table, const char* weeks) {
  return {
      {table, "Delay", kRequired,
       "shipping delay in weeks, 1 to 3: the length of each stage's "
       "shipping pipeline"},
      {table, weeks, kRequired, "number of weeks the trial runs, 1 to 32766"},
      {table, "Input", kOptional,
       "a demand file in `Input/` (whole numbers separated by commas or line breaks, one a week); "
       "empty: the step demand of the next three columns"},
      {table, "InitialDemand", kRequired,
       "customer demand of the weeks before `JumpWeek` (may be empty when `Input` names a file)"},
      {table, "JumpWeek", kRequired,
       "first week of `SecondDemand`, 1 to the weeks + 2 (may be empty when `Input` names a file)"},
      {table, "SecondDemand", kRequired,
       "customer demand from `JumpWeek` on (may be empty when `Input` names a file)"},
      {table, "Predicter", kOptional, "a `tblPredicter` row: the forecast shown; empty: none"},
      {table, "DisplayOption", kRequired,
       "a `tblDisplay` configuration; one that names no row keeps the display of the trial before"},
      {table, "Factory", kRequired,
       "who plays the Factory: a `tblPlayer` name, `Subject` (the participant) or `Subject1` .. "
       "`Subject4` (a team member)"},
      {table, "Distributor", kRequired, "who plays the Distributor, as `Factory`"},
      {table, "Wholesaler", kRequired, "who plays the Wholesaler, as `Factory`"},
      {table, "Retailer", kRequired, "who plays the Retailer, as `Factory`"},
      {table, "FirstOrder", kRequired, "the order in every order pipeline slot at the start"},
      {table, "MinOrder", kRequired, "lowest order of a Sterman player"},
      {table, "MaxOrder", kRequired, "highest order of a Sterman player"},
      {table, "MaxNoise", kRequired,
       "simulated players' orders vary by up to this many units either way; 0: none"},
      {table, "InitInventory", kRequired, "every stage's inventory at the start"},
      {table, "InitDelayAmount", kRequired, "units in every shipping pipeline slot at the start"},
      {table, "CostInventory", kRequired, "cost per unit of inventory per week"},
      {table, "CostBackOrder", kRequired, "cost per unit of backorder per week"},
      {table, "CostTransit", kRequired, "cost per unit in transit per week"},
      {table, "DatabaseOutput", kOptional,
       "1: the weeks and the trial are recorded in `datRole` and `datTrial`; 0: only in the text "
       "file"},
  };
}

// Each player rule's switch and parameters, as the rule describes them.
std::vector<ColumnNote> ruleNotes() {
  std::vector<ColumnNote> notes;
  for (const PlayerRuleEntry& rule : playerRules()) {
    notes.push_back({"tblPlayer", rule.column, kOptional, rule.meaning});
    for (const RuleParameter& parameter : rule.parameters) {
      notes.push_back({"tblPlayer", parameter.column, kOptional, parameter.meaning});
    }
  }
  return notes;
}

std::vector<ColumnNote> describeColumns() {
  std::vector<ColumnNote> notes = {
      {"tblBlock", "Setting", kRequired, "the setting (the experiment's name) the row belongs to"},
      {"tblBlock", "RandomGroup", kOptional, "play order: higher groups first"},
      {"tblBlock", "Index", kOptional, "play order within a group: lower first"},
      {"tblBlock", "Runs", kOptional, "how many identical trials the row makes; 0 or more"},
  };
  const auto append = [&notes](const std::vector<ColumnNote>& more) {
    notes.insert(notes.end(), more.begin(), more.end());
  };
  append(trialNotes("tblBlock", "numweeks"));
  append({
      {"tblBlock", "EnableProfit", kOptional, "kept with the plan; the game does not use it"},
      {"tblBlock", "PricePerUnit", kOptional, "kept with the plan; the game does not use it"},
      {"tblPlayer", "Name", kRequired, "the player's name, as the role columns name it"},
      {"tblPlayer", "IfZero", kOptional, "the order placed instead of a negative one"},
  });
  append(ruleNotes());
  append({
      {"tblTraining", "Setting", kRequired, "the setting the training belongs to"},
      {"tblTraining", "Runs", kRequired, "the number of training trials, 1 or more"},
      {"tblTraining", "CostLimit", kOptional,
       "a training trial whose participant's cost exceeds it is played again (checked only when "
       "`InventoryBounds` is set too); 0: no limit"},
      {"tblTraining", "InventoryBounds", kOptional,
       "a training trial whose participant's inventory or backorder exceeds it is played again "
       "(checked only when `CostLimit` is set too); 0: no bound"},
      {"tblTraining", "Password", kRequired,
       "typed after `e` and Enter, skips the rest of the training; empty: anyone may skip"},
  });
  append(trialNotes("tblTraining", "Weeks"));
  append({
      {"tblDisplay", "Configuration", kRequired, "the configuration's name"},
      {"tblDisplay", "BottlesF", kOptional, "1: the Factory's production is shown"},
      {"tblDisplay", "TrucksFD", kOptional, "1: the trucks from the Factory to the Distributor"},
      {"tblDisplay", "TrucksDW", kOptional, "1: the trucks from the Distributor to the Wholesaler"},
      {"tblDisplay", "TrucksWR", kOptional, "1: the trucks from the Wholesaler to the Retailer"},
      {"tblDisplay", "TotalCost", kOptional, "1: the total cost panel"},
      {"tblDisplay", "Factory", kOptional, "the `tblDisplayOption` row of the Factory's figures"},
      {"tblDisplay", "Distributor", kOptional, "the `tblDisplayOption` row of the Distributor"},
      {"tblDisplay", "Wholesaler", kOptional, "the `tblDisplayOption` row of the Wholesaler"},
      {"tblDisplay", "Retailer", kOptional, "the `tblDisplayOption` row of the Retailer"},
      {"tblDisplayOption", "Option", kRequired, "the option's name"},
      {"tblDisplayOption", "RecentOrder", kOptional, "1: the stage's latest order is shown"},
      {"tblDisplayOption", "BackOrder", kOptional, "1: its backorder"},
      {"tblDisplayOption", "Inventory", kOptional, "1: its inventory"},
      {"tblDisplayOption", "Satisfied", kOptional, "1: what it shipped"},
      {"tblDisplayOption", "Demand", kOptional, "1: its incoming demand"},
      {"tblDisplayOption", "Cost", kOptional, "1: its cost"},
      {"tblPause", "Setting", kRequired, "the setting the pause belongs to"},
      {"tblPause", "Trial", kRequired, "the pause comes after this trial, counted from 1"},
      {"tblPause", "Password", kRequired, "what the moderator types to go on"},
      {"tblPredicter", "Predicter", kRequired, "the forecast's name"},
      {"tblPredicter", "Extent", kRequired, "how many weeks ahead the demand is shown"},
      {"tblPredicter", "Excess", kRequired, "the value shown for weeks past the trial's end"},
      {"tblPredicter", "MaxNoise", kOptional, "the shown demand varies by up to this either way"},
      {"tblSetting", "Setting", kRequired, "the setting"},
      {"tblSetting", "Language", kOptional, "the participants' language: `en`, `de` or `es`"},
      {"tblSetting", "WeekSeconds", kOptional,
       "the week clock: seconds for each week's order, 10 to 3600; 0 (the default): no clock"},
      {"tblSetting", "ClockRule", kOptional,
       "who orders when the clock runs out: the `Name` of a `tblPlayer` row, playing the "
       "participant's stage; empty: the participant's last order (0 in week 1)"},
      {"tblSetting", "CompletionLink", kOptional,
       "an http(s) address shown to the participant at the game over, `{id}` in it replaced by "
       "the User ID (URL-encoded): an online panel's completion link"},
      {"datUser", "Subject", kRecorded, "the User ID"},
      {"datUser", "Setting", kRecorded, "the setting chosen at the first login"},
      {"datUser", "Age", kRecorded,
       "the questionnaire's answers (in English, whatever the "
       "language)"},
      {"datUser", "Gender", kRecorded, "as `Age`"},
      {"datUser", "SchoolYear", kRecorded, "as `Age`"},
      {"datUser", "Major", kRecorded, "as `Age`"},
      {"datRole", "Subject", kRecorded, "the User ID"},
      {"datRole", "Setting", kRecorded, "the setting"},
      {"datRole", "Trial", kRecorded,
       "the trial, counted from 1; training trials -1, -2, ... (below 0 and below any training "
       "trial recorded before)"},
      {"datRole", "Training", kRecorded, "1 for a training trial"},
      {"datRole", "Week", kRecorded, "the week just played, from 1"},
      {"datRole", "Role", kRecorded, "the stage: Factory, Distributor, Wholesaler or Retailer"},
      {"datRole", "User", kRecorded,
       "6 for the participant's stage (8 when the week clock ordered for the participant), 7 "
       "for another team member's, 0 for a simulated one"},
      {"datRole", "PNoise", kRecorded, "the forecast's noise of the week (participant's row)"},
      {"datRole", "Delay1", kRecorded, "the shipping pipeline's first slot"},
      {"datRole", "Delay2", kRecorded, "its second slot (empty with a delay of 1)"},
      {"datRole", "Delay3", kRecorded, "its third slot (empty with a delay below 3)"},
      {"datRole", "Date", kRecorded, "the date, YYYY-MM-DD"},
      {"datRole", "TimeOfDay", kRecorded, "the time of day, HH:MM:SS"},
      {"datTrial", "Subject", kRecorded, "the User ID"},
      {"datTrial", "Setting", kRecorded, "the setting"},
      {"datTrial", "Trial", kRecorded, "the trial, as in `datRole`"},
      {"datTrial", "Training", kRecorded, "1 for a training trial"},
      {"datTrial", "Weeks", kRecorded, "the trial's weeks"},
      {"datTrial", "Delay", kRecorded, "the trial's shipping delay"},
      {"datTrial", "Predicter", kRecorded, "the trial's forecast, if any"},
      {"datTrial", "InventoryCost", kRecorded, "the trial's cost rate of inventory"},
      {"datTrial", "BackCost", kRecorded, "its cost rate of backorder"},
      {"datTrial", "TransitCost", kRecorded, "its cost rate of goods in transit"},
      {"datTrial", "EndCost", kRecorded, "the cost of all four stages at the trial's end"},
      {"datTrial", "Factory", kRecorded, "who played the Factory (`Subject` or a player)"},
      {"datTrial", "Distributor", kRecorded, "who played the Distributor"},
      {"datTrial", "Wholesaler", kRecorded, "who played the Wholesaler"},
      {"datTrial", "Retailer", kRecorded, "who played the Retailer"},
      {"datTrial", "Date", kRecorded, "the date, YYYY-MM-DD"},
      {"datTrial", "Time", kRecorded, "the time of day, HH:MM:SS"},
      {"datPlaying", "Subject", kRecorded, "the User ID being played"},
      {"datPlaying", "Setting", kRecorded, "its setting"},
      {"datPlaying", "Host", kRecorded, "the workstation's host name"},
      {"datPlaying", "Process", kRecorded, "the application's process id there"},
      {"datPlaying", "Since", kRecorded, "the login, in seconds since 1970 (UTC)"},
      {"datPlaying", "LastWeek", kRecorded, "the last recorded week, in seconds since 1970"},
      {"datPlaying", "State", kRecorded, "what the participant does"},
      {"datPlaying", "StateSince", kRecorded, "since when, in seconds since 1970"},
      {"datPlaying", "Trial", kRecorded, "the trial being played"},
      {"datPlaying", "Week", kRecorded, "the week being played"},
      {"datPlaying", "Weeks", kRecorded, "the trial's weeks"},
      {"datPlaying", "Role", kRecorded, "the participant's stage"},
      {"datPlaying", "Cost", kRecorded, "the participant's cost so far"},
      {"datPlaying", "Token", kRecorded, "a secret of the workstation that wrote the mark"},
      {"sysSchema", "Version", kRecorded, "the schema version"},
      {"datTeamMember", "Setting", kRecorded, "the team setting"},
      {"datTeamMember", "Team", kRecorded, "the team's name"},
      {"datTeamMember", "Member", kRecorded, "the member's number, 1 to 4"},
      {"datTeamMember", "Subject", kRecorded, "the member's User ID"},
      {"datTeamMember", "Fixed", kRecorded, "1: fixed by `quarngame-admin team` beforehand"},
      {"datTeamOrder", "Setting", kRecorded, "the team setting"},
      {"datTeamOrder", "Team", kRecorded, "the team"},
      {"datTeamOrder", "Trial", kRecorded, "the trial"},
      {"datTeamOrder", "Training", kRecorded, "1 for training played together"},
      {"datTeamOrder", "Week", kRecorded, "the week; 0 for the marks of pauses and training"},
      {"datTeamOrder", "Member", kRecorded, "the member who ordered"},
      {"datTeamOrder", "Order", kRecorded, "the order typed"},
      {"datTeamOrder", "Subject", kRecorded, "the member's User ID"},
      {"datTeamOrder", "TransactionTime", kRecorded, "the decision time in ms"},
      {"datTeamOrder", "Stored", kRecorded, "when the server stored it, seconds since 1970"},
      {"datTeamOrder", "Clock", kRecorded, "1: made by the week clock, not typed"},
      {"datTeam", "Setting", kRecorded, "the team setting"},
      {"datTeam", "Team", kRecorded, "the team"},
      {"datTeam", "Trial", kRecorded, "the trial"},
      {"datTeam", "Member", kRecorded, "the member"},
      {"datTeam", "Role", kRecorded, "the member's stage in the trial"},
      {"datTeam", "Subject", kRecorded,
       "the member's User ID; empty for a member number no student took (a class's smaller "
       "team)"},
      {"datTeam", "Player", kRecorded,
       "the simulated player that replaced the member, if any, or that plays a member number no "
       "student took"},
      {"datTeam", "FromWeek", kRecorded, "from which week it did (1 for a number no student took)"},
      {"datClass", "Code", kRecorded,
       "the class's code: 6 characters of `ABCDEFGHJKLMNPQRSTUVWXYZ23456789`"},
      {"datClass", "Setting", kRecorded, "the setting the class plays"},
      {"datClass", "Password", kRecorded,
       "the teacher's password as a salted hash (PBKDF2-HMAC-SHA256), never the password"},
      {"datClass", "Identity", kRecorded, "what a student gives: `name` or `id` (a User ID)"},
      {"datClass", "Forming", kRecorded,
       "how a team setting's teams form: `arrival` (as students come) or `random` (when the "
       "door closes)"},
      {"datClass", "Leftover", kRecorded,
       "students left over: empty, the last team is smaller; `spread`, teams differ by one "
       "member at most; open stages are played by `LeftoverPlayer`"},
      {"datClass", "LeftoverPlayer", kRecorded,
       "the simulated player (a `Name` of `tblPlayer`) on a smaller team's open stages"},
      {"datClass", "State", kRecorded, "`open`, `closed`, `started`, `paused` or `ended`"},
      {"datClass", "Opened", kRecorded, "when the class was opened (UTC)"},
      {"datClass", "PausesPassed", kRecorded,
       "how often the teacher passed the pause for everyone: a student waiting at a pause "
       "goes on"},
      {"datClass", "TrainingsEnded", kRecorded,
       "how often the teacher ended training for everyone: a student in training goes on to "
       "the experiment"},
      {"datClassMember", "Code", kRecorded, "the class"},
      {"datClassMember", "Subject", kRecorded, "the student's User ID"},
      {"datClassMember", "Name", kRecorded,
       "the name the student gave, in a class of names (the program made the User ID)"},
      {"datClassMember", "Arrival", kRecorded, "the order in which the student joined, from 1"},
      {"datClassMember", "Team", kRecorded, "the team the program placed the student in"},
  });
  // The stage's figures of a week, as the records and the analysis name them.
  for (const StageFigure& figure : kStageFigures) {
    notes.push_back({"datRole", figure.column, kRecorded, figure.columnMeaning});
  }
  return notes;
}

// The participant's text file, one line per played week: the head, then a
// block per stage.
const char* const kTextFileHead[][2] = {
    {"User ID", "the participant"},
    {"Setting", "the setting"},
    {"Trial", "as `datRole`'s `Trial`"},
    {"Week", "the week just played"},
    {"Weeks", "the trial's `numweeks`"},
    {"Delay", "the trial's `Delay`"},
    {"Decision time", "ms from the week's start to the order"},
    {"Predicter", "the trial's `Predicter`, or `NULL`"},
    {"Forecast noise", "the noise the forecast drew last (0 without one)"},
};
const char* const kTextFileStage[][2] = {
    {"Role", "Factory, Distributor, Wholesaler or Retailer"},
    {"Player", "the simulated player's name, or `Subject`"},
    {"Demand", "the demand the stage received"},
    {"Order", "the order placed the week before, which the stage upstream receives next"},
    {"Satisfied", "what the stage shipped"},
    {"DeltaInventory", "the change of its inventory"},
    {"Inventory", "its inventory (negative: backorder)"},
    {"Delay slots", "one field per week of `Delay`: the shipping pipeline, first slot first"},
    {"WeeklyCost", "the stage's cost of the week"},
    {"TotalCost", "its cost so far in the trial"},
};

std::string typeText(ColumnType type) {
  switch (type) {
    case ColumnType::Integer:
      return "integer";
    case ColumnType::Real:
      return "real";
    case ColumnType::Text:
      return "text";
  }
  return "";
}

std::string needText(ColumnNeed need) {
  switch (need) {
    case ColumnNeed::Required:
      return "required";
    case ColumnNeed::Optional:
      return "optional";
    case ColumnNeed::Recorded:
      return "recorded";
  }
  return "";
}

std::string defaultText(const ColumnDescription& column) {
  if (!column.defaultValue) return "";
  if (*column.defaultValue == "''") return "empty";
  return *column.defaultValue;
}

const ColumnNote* noteOf(const std::string& table, const std::string& column) {
  for (const ColumnNote& note : columnNotes()) {
    if (note.table == table && note.column == column) return &note;
  }
  return nullptr;
}

const char* tableMeaning(const std::string& table) {
  for (const TableNote& note : kTableNotes) {
    if (note.table == table) return note.meaning;
  }
  return "";
}

std::string tableReference(const TableDescription& table) {
  std::string text = "## " + table.name + "\n\n" + tableMeaning(table.name) + "\n\n" +
                     "| column | type | default | need | meaning |\n"
                     "|---|---|---|---|---|\n";
  for (const ColumnDescription& column : table.columns) {
    const ColumnNote* note = noteOf(table.name, column.name);
    text += "| `" + column.name + "` | " + typeText(column.type) + " | " + defaultText(column) +
            " | " + (note ? needText(note->need) : "") + " | " + (note ? note->meaning : "") +
            " |\n";
  }
  return text + "\n";
}

std::string fieldRows(const char* const (*fields)[2], size_t count, int& number) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += "| " + std::to_string(number++) + " | " + fields[i][0] + " | " + fields[i][1] + " |\n";
  }
  return text;
}

std::string textFileReference() {
  int head = 1;
  int stage = 1;
  return std::string("## ") + kTextFileName +
         ": the participant's text file\n\n"
         "`data/<User ID>.txt`: one line per week played, of every trial (training included, "
         "whatever `DatabaseOutput` says), appended as the week is recorded. Fields are "
         "separated by commas, without a header, quotes or blanks; a line has 9 + 4 x (9 + "
         "`Delay`) fields and ends with a carriage return and a line feed.\n\n"
         "The head of the line:\n\n"
         "| # | field | meaning |\n|---|---|---|\n" +
         fieldRows(kTextFileHead, std::size(kTextFileHead), head) +
         "\nThen a block per stage: the simulated stages in the order Factory, Distributor, "
         "Wholesaler, Retailer, then the participant's stage (a trial without a participant "
         "has all four in that order). A block:\n\n"
         "| # | field | meaning |\n|---|---|---|\n" +
         fieldRows(kTextFileStage, std::size(kTextFileStage), stage) + "\n";
}

std::string preamble() {
  return "# Plan reference: the tables of an experiment database\n\n"
         "Printed by `quarngame-admin columns` (one table: `quarngame-admin columns TABLE`); "
         "this file is that output, checked by the build. Plan tables (`tbl...`) are written by "
         "the lab (`quarngame-admin import TABLE FILE.csv`, a header row naming the columns); "
         "output tables (`dat...`) are written by the program.\n\n"
         "Need: a **required** column must hold a value in every row (an empty cell is a fault "
         "that `check` reports); an **optional** column left out of the CSV file, or left "
         "empty, takes its default (empty text where none is given); a **recorded** column is "
         "written by the program. Types: integer (whole numbers; yes/no columns hold 0 for no "
         "and 1 for yes), real, text.\n\n";
}

}  // namespace

const std::vector<ColumnNote>& columnNotes() {
  static const std::vector<ColumnNote> notes = describeColumns();
  return notes;
}

std::string columnReference(const std::string& table) {
  if (table.empty()) {
    std::string text = preamble();
    for (const TableDescription& t : currentSchema().tables) text += tableReference(t);
    return text + textFileReference();
  }
  if (equalsIgnoringAsciiCase(table, kTextFileName)) return textFileReference();
  for (const TableDescription& t : currentSchema().tables) {
    if (equalsIgnoringAsciiCase(t.name, table)) return tableReference(t);
  }
  throw QuarnError(kErrItemNotFound, "No table " + table +
                                         " (the tables are listed by "
                                         "quarngame-admin columns)");
}

std::vector<std::string> undescribedColumns() {
  std::vector<std::string> missing;
  for (const TableDescription& t : currentSchema().tables) {
    if (*tableMeaning(t.name) == '\0') missing.push_back(t.name);
    for (const ColumnDescription& c : t.columns) {
      if (!noteOf(t.name, c.name)) missing.push_back(t.name + "." + c.name);
    }
  }
  return missing;
}

std::vector<std::string> notesWithoutColumn() {
  std::vector<std::string> orphans;
  for (const ColumnNote& note : columnNotes()) {
    if (!findColumn(currentSchema(), note.table, note.column)) {
      orphans.push_back(std::string(note.table) + "." + note.column);
    }
  }
  return orphans;
}

}  // namespace quarn
