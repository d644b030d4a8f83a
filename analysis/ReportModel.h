#pragma once

// What the researcher's report shows, built once from the played trials:
// its tables (caption, columns, rows of cells, notes), the sections of
// participants and teams with their trials, and the data of its charts.
// The web page and the PDFs render this one model, so that a table reads
// the same in both.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Measures.h"
#include "analysis/RecordedTrial.h"
#include "analysis/StudyOverview.h"
#include "analysis/TreatmentSummary.h"

namespace quarn {

// A table's cell: a value, no value (a dash), or a value shown muted.
struct ReportCell {
  enum class Kind { Value, Missing, Muted };
  std::string text;
  Kind kind = Kind::Value;

  friend bool operator==(const ReportCell&, const ReportCell&) = default;
};

struct ReportRow {
  std::vector<ReportCell> cells;
  bool highlighted = false;  // a stage a person played
};

// Text columns read from the left, figures from the right.
enum class ColumnAlign { Left, Right };

struct ReportColumn {
  std::string header;
  ColumnAlign align = ColumnAlign::Right;
};

struct ReportTable {
  std::string caption;  // empty when the table stands under a heading of its own
  std::vector<ReportColumn> columns;
  std::vector<ReportRow> rows;
  std::vector<std::string> notes;  // sentences that explain the table, below it
  std::string rowsFile;            // the data file that holds every row, if one does
};

// `value` with `decimals` decimals; nullopt for no value.
std::optional<std::string> fixedText(std::optional<double> value, int decimals);

// Each stage's measures of a trial; the stages a person played highlighted.
ReportTable measuresTable(const RecordedTrial& trial, const TrialMeasures& measures);

// A setting's trial ranked by the participants' costs; with `simulated`, the
// percentile among simulated players and a note on how it is counted.
ReportTable leagueTable(const LeagueTable& table, const SimulatedCosts* simulated);

// The treatment summaries, with a note on the interval.
ReportTable summaryTable(const std::vector<TreatmentRow>& rows, const SummaryOptions& options);

// A participant's or setting's name made safe as part of a file name:
// letters, digits, '-', '_' and '.' are kept, anything else becomes '_'.
std::string fileStem(const std::string& name);

// One trial as its section shows it.
struct ReportTrial {
  const RecordedTrial* trial = nullptr;  // the records the charts are drawn from
  ReportTable measures;
  std::optional<std::string> incomplete;    // why the trial is not complete
  std::optional<std::string> skippedWeeks;  // weeks left out
  // Whose fitted decision rules follow the trial: the participant, or every
  // member of a team.
  std::vector<const RecordedTrial*> members;
};

// A participant's own trials, or a team's trials drawn once each.
struct ReportSection {
  std::string subject;            // the participant, or the team
  std::string stem;               // of the section's files, unique in the report
  std::string setting;            // a team's setting
  std::vector<TeamSeat> members;  // a team's members, by member number
  std::vector<ReportTrial> trials;
};

// One setting's trial in the study overview.
struct ReportLeague {
  std::string setting;
  int16_t trial = 0;
  ReportTable table;
  // Every participant's trial of the setting's trial, for the chart of their
  // orders.
  std::vector<const RecordedTrial*> classTrials;
};

struct ReportModel {
  std::string source;  // the database, as the report names it
  size_t participantCount = 0;
  size_t chainCount = 0;  // experiment trials played, a team's once
  std::vector<TreatmentRow> treatments;
  ReportTable summary;
  std::array<std::optional<StageSpread>, kRoleCount> amplification;
  std::string amplificationNote;
  std::vector<ReportLeague> leagues;
  std::vector<ReportSection> participants;
  std::vector<ReportSection> teams;
};

struct ReportSource {
  std::string name;  // the database
  SummaryOptions summary;
  SimulatedCostsByTrial simulated;
};

// The model of the report of `trials`; it points into `trials`, which must
// outlive it.
ReportModel buildReportModel(const std::vector<RecordedTrial>& trials, const ReportSource& source);

// "P07 (member 1), P12 (member 2)".
std::string memberList(const ReportSection& team);

}  // namespace quarn
