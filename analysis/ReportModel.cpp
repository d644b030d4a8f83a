#include "analysis/ReportModel.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace quarn {

namespace {

ReportCell value(std::string text) {
  return {std::move(text), ReportCell::Kind::Value};
}

ReportCell figureCell(std::optional<double> number, int decimals) {
  const std::optional<std::string> text = fixedText(number, decimals);
  return text ? value(*text) : ReportCell{"", ReportCell::Kind::Missing};
}

template <typename Integer>
ReportCell count(Integer number) {
  return value(std::to_string(number));
}

std::string roleText(int16_t role) {
  return hasParticipant(role) ? roleName(role) : std::string("-");
}

ReportColumn text(const std::string& header) {
  return {header, ColumnAlign::Left};
}
ReportColumn figure(const std::string& header) {
  return {header, ColumnAlign::Right};
}

// Whether a person played the stage: the participant, or a team's member.
bool playedByPerson(const RecordedTrial& t, int role) {
  return isTeamTrial(t) ? seatOf(t, role) != nullptr : role == t.participantRole;
}

// Who played the stage: in a team trial the member, "P07 (member 1)", and
// the player that replaced the member.
std::string playerText(const RecordedTrial& t, int role) {
  const TeamSeat* seat = isTeamTrial(t) ? seatOf(t, role) : nullptr;
  if (!seat) return t.players[static_cast<size_t>(role)];
  std::string text = seat->subject + " (member " + std::to_string(seat->member) + ")";
  if (!seat->player.empty()) {
    text += ", " + seat->player + " from week " + std::to_string(seat->fromWeek);
  }
  return text;
}

// Whether every run ended with the same cost on each simulated stage.
bool everyRunTheSame(const SimulatedCosts& simulated) {
  return std::all_of(simulated.costs.begin(), simulated.costs.end(),
                     [](const std::vector<double>& costs) {
                       return costs.empty() || costs.front() == costs.back();
                     });
}

std::string percentileNote(const SimulatedCosts& simulated) {
  return "Percentile: the share of " + std::to_string(simulated.runs) + " simulated runs with " +
         simulated.player +
         " on the participant's stage (every member's in a team trial) that ended with a lower "
         "cost." +
         (everyRunTheSame(simulated)
              ? " Every simulated run came out the same (the setting has no noise), so a "
                "percentile is only 0, 50 or 100: below, equal to or above that one cost."
              : "");
}

std::string intervalName(const SummaryOptions& options) {
  const std::string method = intervalMethod(options);
  return method == "t" ? "Student's t" : "percentile " + method;
}

// Names each file stem once: a second "Ann" becomes "Ann-2".
class Stems {
 public:
  std::string unique(const std::string& name) {
    std::string stem = fileStem(name);
    if (const int seen = m_seen[stem]++; seen > 0) stem += "-" + std::to_string(seen + 1);
    return stem;
  }

 private:
  std::map<std::string, int> m_seen;
};

ReportTrial trialOf(const std::vector<RecordedTrial>& trials, const RecordedTrial& t) {
  ReportTrial shown;
  shown.trial = &t;
  shown.measures = measuresTable(t, measureTrial(t));
  if (!isComplete(t)) {
    shown.incomplete = "Incomplete: " + std::to_string(t.weeks.size()) + " of " +
                       std::to_string(t.plannedWeeks) + " planned weeks recorded.";
  }
  if (t.skippedWeeks > 0) {
    shown.skippedWeeks =
        std::to_string(t.skippedWeeks) + " recorded weeks lacked a stage's row and are left out.";
  }
  shown.members = memberRecords(trials, t);
  return shown;
}

void addMember(ReportSection& team, const TeamSeat& seat) {
  const bool known = std::any_of(team.members.begin(), team.members.end(), [&](const auto& m) {
    return m.member == seat.member && m.subject == seat.subject;
  });
  if (!known) team.members.push_back(seat);
}

// The participants with trials of their own, and the teams, each trial drawn
// once.
void addSections(ReportModel& model, const std::vector<RecordedTrial>& trials) {
  Stems stems;
  std::map<std::string, size_t> participantAt;
  std::map<std::pair<std::string, std::string>, size_t> teamAt;
  for (const RecordedTrial* t : playedChains(trials)) {
    if (!isTeamTrial(*t)) {
      auto [at, added] = participantAt.try_emplace(t->subject, model.participants.size());
      if (added) model.participants.push_back({t->subject, stems.unique(t->subject), "", {}, {}});
      model.participants[at->second].trials.push_back(trialOf(trials, *t));
      continue;
    }
    auto [at, added] = teamAt.try_emplace({t->setting, t->team}, model.teams.size());
    if (added)
      model.teams.push_back({t->team, stems.unique("team-" + t->team), t->setting, {}, {}});
    ReportSection& team = model.teams[at->second];
    team.trials.push_back(trialOf(trials, *t));
    for (const TeamSeat& seat : t->seats) addMember(team, seat);
  }
  for (ReportSection& team : model.teams) {
    std::stable_sort(team.members.begin(), team.members.end(),
                     [](const TeamSeat& a, const TeamSeat& b) { return a.member < b.member; });
  }
}

// The trials of the setting's trial with a participant, every participant's.
std::vector<const RecordedTrial*> classTrials(const std::vector<RecordedTrial>& trials,
                                              const LeagueTable& table) {
  std::vector<const RecordedTrial*> members;
  for (const RecordedTrial& t : trials) {
    if (t.setting == table.setting && t.trial == table.trial && hasParticipant(t.participantRole) &&
        !t.weeks.empty()) {
      members.push_back(&t);
    }
  }
  return members;
}

size_t subjectCount(const std::vector<RecordedTrial>& trials) {
  std::set<std::string> subjects;
  for (const RecordedTrial& t : trials) subjects.insert(t.subject);
  return subjects.size();
}

}  // namespace

std::optional<std::string> fixedText(std::optional<double> value, int decimals) {
  if (!value) return std::nullopt;
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << *value;
  return out.str();
}

ReportTable measuresTable(const RecordedTrial& trial, const TrialMeasures& measures) {
  ReportTable table;
  table.columns = {text("Stage"),
                   text("Player"),
                   figure("Total cost"),
                   figure("Mean weekly cost"),
                   figure("Mean order"),
                   figure("SD of orders"),
                   figure("Amplification"),
                   figure("Peak backlog"),
                   figure("Weeks in backlog")};
  for (int r = 0; r < kRoleCount; ++r) {
    const StageMeasures& s = measures.stages[static_cast<size_t>(r)];
    table.rows.push_back(
        {{value(roleName(r)), value(playerText(trial, r)), count(s.totalCost),
          figureCell(s.meanWeeklyCost, 2), figureCell(s.meanOrder, 1), figureCell(s.sdOrder, 2),
          figureCell(s.amplification, 2), count(s.peakBacklog), count(s.weeksInBacklog)},
         playedByPerson(trial, r)});
  }
  return table;
}

ReportTable leagueTable(const LeagueTable& league, const SimulatedCosts* simulated) {
  ReportTable table;
  table.caption = "Setting " + league.setting + ", trial " + std::to_string(league.trial);
  table.columns = {figure("Rank"), text("Participant"), text("Stage"), figure("Cost"),
                   figure("Chain cost")};
  if (simulated) table.columns.push_back(figure("Percentile among simulated players"));
  for (const LeagueEntry& e : league.entries) {
    ReportRow row{{e.rank ? count(*e.rank) : ReportCell{"incomplete", ReportCell::Kind::Muted},
                   value(e.subject), value(roleText(e.role)), count(e.cost), count(e.chainCost)}};
    if (simulated) row.cells.push_back(figureCell(e.percentile, 0));
    table.rows.push_back(std::move(row));
  }
  if (simulated) table.notes.push_back(percentileNote(*simulated));
  return table;
}

ReportTable summaryTable(const std::vector<TreatmentRow>& rows, const SummaryOptions& options) {
  ReportTable table;
  table.caption = "Treatment summaries";
  table.columns = {text("Setting"), figure("Trial"), text("Stage")};
  for (const std::string& column : options.by) table.columns.push_back(text(column));
  for (const char* header : {"n", "Cost mean", "median", "SD", "95 % interval",
                             "Amplification mean", "median", "SD", "95 % interval"}) {
    table.columns.push_back(figure(header));
  }
  const auto summaryCells = [](ReportRow& row, const std::optional<ValueSummary>& s, int decimals) {
    row.cells.push_back(figureCell(s ? std::optional(s->mean) : std::nullopt, decimals));
    row.cells.push_back(figureCell(s ? std::optional(s->median) : std::nullopt, decimals));
    row.cells.push_back(figureCell(s ? s->sd : std::nullopt, decimals));
    row.cells.push_back(s && s->interval ? value(*fixedText(s->interval->low, decimals) + " to " +
                                                 *fixedText(s->interval->high, decimals))
                                         : ReportCell{"", ReportCell::Kind::Missing});
  };
  for (const TreatmentRow& t : rows) {
    ReportRow row{{value(t.setting), count(t.trial), value(roleText(t.role))}};
    for (const std::string& v : t.byValues) row.cells.push_back(value(v));
    row.cells.push_back(count(t.cost ? t.cost->n : 0));
    summaryCells(row, t.cost, 1);
    summaryCells(row, t.amplification, 2);
    table.rows.push_back(std::move(row));
  }
  table.notes.push_back("Complete trials only; the interval is of the mean (" +
                        intervalName(options) + ").");
  table.rowsFile = "summary.csv";
  return table;
}

std::string fileStem(const std::string& name) {
  std::string stem;
  for (const char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    stem += safe ? c : '_';
  }
  // No hidden files, no "." or "..".
  for (size_t i = 0; i < stem.size() && stem[i] == '.'; ++i) stem[i] = '_';
  return stem.empty() ? "_" : stem;
}

ReportModel buildReportModel(const std::vector<RecordedTrial>& trials, const ReportSource& source) {
  ReportModel model;
  model.source = source.name;
  model.participantCount = subjectCount(trials);
  model.chainCount = playedChains(trials).size();
  model.treatments = summariseTreatments(trials, source.summary);
  model.summary = summaryTable(model.treatments, source.summary);
  model.amplification = amplificationByStage(trials);
  model.amplificationNote =
      "Each box spans the middle half of the stage's amplification ratios over every complete "
      "trial, the line is the median, the whiskers reach the lowest and highest.";
  for (const LeagueTable& league : leagueTables(trials, source.simulated)) {
    const auto simulated = source.simulated.find({league.setting, league.trial});
    model.leagues.push_back(
        {league.setting, league.trial,
         leagueTable(league, simulated == source.simulated.end() ? nullptr : &simulated->second),
         classTrials(trials, league)});
  }
  addSections(model, trials);
  return model;
}

std::string memberList(const ReportSection& team) {
  std::string list;
  for (const TeamSeat& seat : team.members) {
    list +=
        (list.empty() ? "" : ", ") + seat.subject + " (member " + std::to_string(seat.member) + ")";
  }
  return list;
}

}  // namespace quarn
