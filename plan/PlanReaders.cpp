#include "plan/PlanReaders.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/PlanBounds.h"
#include "plan/PlanCheck.h"
#include "sim/PlayerRules.h"

namespace quarn {

namespace {

// The largest cost sum the game over can show.
constexpr double kLargestCostSum = 2147483647.0;

// A name that would break the lines of the participants' text files.
std::string textLineComplaint(const std::string& what, const std::string& fault) {
  return what + " " + fault + ", which would break the lines of the participants' text files";
}

// A block row's trials as the game's cost sum sees them.
struct BoundedRow {
  TrialPlan built;  // with its demand series
  std::string place;
  int16_t first = 0;
  int16_t runs = 0;
  TrialBounds bounds;

  double largestCost() const { return std::max(bounds.highestCost, -bounds.lowestCost); }
};

struct CostSum {
  double lowest = 0.0, highest = 0.0;
  const BoundedRow* costliest = nullptr;

  bool fits() const { return highest <= kLargestCostSum && lowest >= -kLargestCostSum - 1; }
};

CostSum addUpCosts(const std::vector<BoundedRow>& rows) {
  CostSum sum;
  for (const BoundedRow& row : rows) {
    sum.lowest += row.runs * std::min(row.bounds.lowestCost, 0.0);
    sum.highest += row.runs * std::max(row.bounds.highestCost, 0.0);
    if (!sum.costliest || row.bounds.highestCost > sum.costliest->bounds.highestCost) {
      sum.costliest = &row;
    }
  }
  return sum;
}

// The game adds the end costs of the experiment trials in 32 bits. Trials
// whose largest orders could make the sum overflow get a share of it each
// (the rest once the cheaper trials' costs are counted) and orders limited
// to what keeps them within it; a plan whose trials go beyond the sum even
// so (costs that no order limit holds, or limits below ordinary play) is
// refused.
void shareCostSum(const std::string& setting, const std::vector<PlayerStrategy>& players,
                  int64_t trials, std::vector<BoundedRow>& rows, RowReader& reader) {
  const CostSum sum = addUpCosts(rows);
  if (sum.fits() || trials <= 0) return;
  const double evenShare = std::floor(kLargestCostSum / static_cast<double>(trials));
  double cheapCost = 0.0;
  int64_t costlyTrials = 0;
  for (const BoundedRow& row : rows) {
    if (row.largestCost() <= evenShare) {
      cheapCost += row.runs * row.largestCost();
    } else {
      costlyTrials += row.runs;
    }
  }
  const double share =
      std::floor((kLargestCostSum - cheapCost) / static_cast<double>(costlyTrials));
  std::vector<BoundedRow> shared = rows;
  bool held = true;
  for (BoundedRow& row : shared) {
    if (row.largestCost() <= evenShare) continue;
    row.bounds = checkTrialBounds(row.built, players, "numweeks", share);
    held = held && row.bounds.faults.empty();
  }
  if (held && addUpCosts(shared).fits()) {
    rows = std::move(shared);
    return;
  }
  const double beyond = sum.highest > kLargestCostSum ? sum.highest : sum.lowest;
  reader.setPlace(settingPlace(setting), -1);
  reader.add(reader.refusal(
      "numweeks, cost rates", shortestDecimal(beyond),
      "the end costs of its " + decimal(trials) + " trials can add up to " +
          shortestDecimal(beyond) +
          ", beyond the 32 bits of the game's cost sum (2147483647); the costliest trials are " +
          sum.costliest->place + ", up to " + shortestDecimal(sum.costliest->bounds.highestCost) +
          " each"));
}

// How many trials the rows make, with every fault of their Runs.
int64_t countBlockTrials(const Rows& rows, const std::string& setting, RowReader& reader) {
  int64_t total = 0;
  for (const Row& row : rows) {
    reader.setRow(row);
    reader.setPlace(blockPlace(setting, row, total, 0),
                    static_cast<int16_t>(std::min<int64_t>(total, INT16_MAX)));
    const std::optional<int16_t> runs = reader.int16("Runs");
    if (runs && *runs < 0) {
      reader.add(reader.refusal("Runs", decimal(*runs), "Runs " + decimal(*runs) + " is below 0"));
    } else if (runs) {
      total += *runs;
    }
  }
  reader.setPlace(settingPlace(setting), -1);
  if (rows.empty()) {
    reader.add(
        reader.refusal("Setting", printable(setting), "tblBlock has no rows for this setting"));
  } else if (total == 0 && reader.faultCount() == 0) {
    reader.add(reader.refusal("Runs", "0", "the rows of tblBlock make no trials"));
  } else if (total > std::numeric_limits<int16_t>::max()) {
    reader.add(
        reader.refusal("Runs", decimal(total),
                       "the rows of tblBlock make " + decimal(total) + " trials, more than 32767"));
  }
  return total;
}

// A row's team: not together with Subject, and its members numbered from
// 1 without gaps. Member 1's stage becomes the trial's participantRole (each
// member's workstation takes its own, see forMember). Returns the number of
// faults added.
size_t checkTeamColumns(RowReader& reader, TrialPlan& trial) {
  const int16_t size = teamSize(trial);
  if (size == 0) return 0;
  const auto refuse = [&](const std::string& complaint) {
    PlanFault fault = reader.refusal("Subject1 .. Subject4", "", complaint);
    fault.title = "Error: tblBlock";
    reader.add(std::move(fault));
    return size_t{1};
  };
  if (trial.participantRole != kNoParticipant) {
    return refuse(
        "Subject and team members (Subject1 .. Subject4) in one row: a row is played "
        "either by one participant or by a team");
  }
  for (int16_t member = 1; member <= size; ++member) {
    if (memberStage(trial, member) == kNoParticipant) {
      std::string named;
      for (const int16_t m : trial.stageMembers) {
        if (m != 0) named += (named.empty() ? "" : ", ") + std::string("Subject") + decimal(m);
      }
      return refuse("the team members are not numbered from 1 without gaps (" + named +
                    "): Subject" + decimal(member) + " is missing");
    }
  }
  trial.participantRole = memberStage(trial, 1);
  return 0;
}

// A training trial's limits hold for every member of a training team, each
// at the member's own stage: the first stage whose week 1 breaks them.
std::optional<BoundFault> trainingWeekOneFaultOfAnyone(const TrialPlan& trial,
                                                       const std::vector<PlayerStrategy>& players,
                                                       int32_t costLimit, int32_t inventoryBound) {
  if (!isTeamTrial(trial)) return trainingWeekOneFault(trial, players, costLimit, inventoryBound);
  for (int16_t member = 1; member <= teamSize(trial); ++member) {
    if (std::optional<BoundFault> f =
            trainingWeekOneFault(forMember(trial, member), players, costLimit, inventoryBound)) {
      return f;
    }
  }
  return std::nullopt;
}

// Who plays a trial, as the rows of a setting must agree on it.
std::string playedBy(const TrialPlan& trial) {
  if (isTeamTrial(trial)) return "a team of " + decimal(teamSize(trial));
  return "one participant alone (Subject)";
}

// The rows of a setting that people play all need the same team: the same
// number of members, or one participant alone in every row. Rows that the
// simulated players play alone need nobody.
class TeamAgreement {
 public:
  void checkRow(const TrialPlan& trial, const std::string& place, RowReader& reader) {
    if (!hasParticipant(trial.participantRole)) return;
    if (!m_first) {
      m_first = trial;
      m_place = place;
      return;
    }
    if (teamSize(trial) == teamSize(*m_first)) return;
    PlanFault fault =
        reader.refusal("Subject1 .. Subject4", "",
                       "this row is played by " + playedBy(trial) + ", " + m_place + " by " +
                           playedBy(*m_first) + ": the rows of a setting need the same team");
    fault.title = "Error: tblBlock";
    reader.add(std::move(fault));
  }

 private:
  std::optional<TrialPlan> m_first;
  std::string m_place;
};

// The switches of the player's rules, IfZero, then the rules' parameters;
// a parameter too large for an order is refused.
void readRules(RowReader& reader, PlayerStrategy& player) {
  for (const PlayerRuleEntry& rule : playerRules()) {
    player.*rule.switchField = reader.truth(rule.column);
  }
  player.orderIfNegative = reader.int16("IfZero").value_or(0);
  for (const PlayerRuleEntry& rule : playerRules()) {
    for (const RuleParameter& parameter : rule.parameters) {
      player.*parameter.field = reader.real(parameter.column).value_or(parameter.defaultValue);
    }
  }
  for (const RuleParameterFault& fault : parameterFaults(player)) {
    reader.add(reader.refusal(fault.columns, "", fault.complaint));
  }
}

}  // namespace

int16_t teamMemberOf(const std::string& name) {
  if (name.size() == 8 && name.compare(0, 7, "Subject") == 0 && name[7] >= '1' &&
      name[7] <= '0' + kLargestTeam) {
    return static_cast<int16_t>(name[7] - '0');
  }
  return 0;
}

int16_t resolvePlayer(const std::vector<PlayerStrategy>& players, TrialPlan& trial,
                      int16_t trialIndex, const std::string& name, int16_t role,
                      std::string& refusal) {
  refusal.clear();
  if (const int16_t member = teamMemberOf(name); member != 0) {
    if (memberStage(trial, member) != kNoParticipant) {
      refusal = name + " is playing multiple roles";
      return kParticipantPlayer;
    }
    trial.stageMembers[static_cast<size_t>(role)] = member;
    return kParticipantPlayer;
  }
  if (name == "Subject") {
    if (trial.participantRole != kNoParticipant) {
      refusal = "Subject is playing multiple roles";
      return kParticipantPlayer;
    }
    trial.participantRole = role;
    return kParticipantPlayer;
  }
  for (size_t i = 0; i < players.size(); ++i) {
    if (equalsIgnoringAsciiCase(players[i].name, name)) return static_cast<int16_t>(i);
  }
  refusal = "Player strategy " + name + " invalid on Trial " + decimal(trialIndex);
  return kParticipantPlayer;
}

bool readTrialColumns(RowReader& reader, const std::vector<PlayerStrategy>& players,
                      TrialPlan& trial, bool training) {
  const size_t faultsBefore = reader.faultCount();
  size_t playerFaults = 0;
  trial.delay = reader.int16("Delay").value_or(0);
  trial.weeks = reader.int16(training ? "Weeks" : "numweeks").value_or(0);
  const std::string input = reader.textOrEmpty("Input");
  if (input.find_first_not_of(' ') != std::string::npos) trial.inputFile = input;
  // A trial whose demand comes from a file does without the step demand's
  // columns: they may be left empty.
  const bool stepDemand = trial.inputFile.empty();
  const auto demandColumn = [&](const std::string& column) {
    return stepDemand || !reader.isNull(column);
  };
  if (demandColumn("InitialDemand")) {
    trial.initialDemand = reader.int32("InitialDemand").value_or(0);
  }
  if (demandColumn("JumpWeek")) trial.jumpWeek = reader.int16("JumpWeek").value_or(0);
  if (demandColumn("SecondDemand")) {
    trial.secondDemand = reader.int32("SecondDemand").value_or(0);
  }
  trial.predicter = reader.textOrEmpty("Predicter");
  trial.displayOption = reader.text("DisplayOption").value_or(std::string());

  trial.participantRole = kNoParticipant;
  trial.stageMembers.fill(0);
  trial.rolePlayers.fill(0);
  for (int16_t role = 0; role < kRoleCount; ++role) {
    const std::optional<std::string> name = reader.text(roleColumn(role));
    if (!name) continue;
    std::string refusal;
    trial.rolePlayers[static_cast<size_t>(role)] =
        resolvePlayer(players, trial, reader.trial(), *name, role, refusal);
    if (!refusal.empty()) {
      PlanFault fault = reader.refusal(roleColumn(role), *name, refusal);
      // The player refusals keep their own wording and title, also for
      // training rows.
      fault.text = refusal;
      fault.title = "Error: tblBlock";
      reader.add(std::move(fault));
      ++playerFaults;
    }
  }

  if (playerFaults == 0) playerFaults += checkTeamColumns(reader, trial);

  trial.firstOrder = reader.int32("FirstOrder").value_or(0);
  trial.minOrder = reader.int32("MinOrder").value_or(0);
  trial.maxOrder = reader.int32("MaxOrder").value_or(0);
  trial.orderDelay = training ? trial.delay : int16_t{1};
  trial.maxNoise = reader.int16("MaxNoise").value_or(0);
  trial.initialInventory = reader.int32("InitInventory").value_or(0);
  trial.initialShipment = reader.int32("InitDelayAmount").value_or(0);
  trial.inventoryCostRate = reader.real("CostInventory").value_or(0.0);
  trial.backorderCostRate = reader.real("CostBackOrder").value_or(0.0);
  trial.transitCostRate = reader.real("CostTransit").value_or(0.0);
  trial.recordToDatabase = reader.truth("DatabaseOutput");
  if (!training) {
    trial.enableProfit = reader.truth("EnableProfit");
    trial.pricePerUnit = reader.int16("PricePerUnit").value_or(0);
  }
  return reader.faultCount() == faultsBefore + playerFaults;
}

PlayerRows readPlayers(PlanTables& tables) {
  PlayerRows result;
  const Rows rows = tables.players();
  RowReader reader("tblPlayer", "tblPlayer", -1, result.faults);
  int64_t number = 0;
  for (const Row& row : rows) {
    reader.setRow(row);
    reader.setPlace("tblPlayer row " + decimal(++number), -1);
    const std::optional<std::string> name = reader.text("Name");
    if (!name) continue;
    reader.setPlace("tblPlayer row " + printable(*name), -1);
    if (const std::string fault = textLineFault(*name); !fault.empty()) {
      reader.add(reader.refusal("Name", printable(*name), textLineComplaint("the name", fault)));
    }
    PlayerStrategy player;
    player.name = *name;
    readRules(reader, player);
    result.players.push_back(std::move(player));
  }
  if (result.players.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
    result.faults.push_back(
        makeRefusal("tblPlayer", "tblPlayer", -1, "Name", "", "more than 32767 players"));
  }
  return result;
}

BlockRows readBlocks(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                     const std::string& setting, const std::string& inputFolder) {
  BlockRows result;
  const Rows rows = tables.blockRows(setting);
  RowReader reader("tblBlock", settingPlace(setting), -1, result.faults);
  if (const std::string fault = textLineFault(setting); !fault.empty()) {
    reader.add(reader.refusal("Setting", printable(setting),
                              textLineComplaint("the setting name", fault)));
  }
  const int64_t total = countBlockTrials(rows, setting, reader);
  if (firstFault(result.faults)) return result;

  // Every row read and checked once and copied Runs times; copies read from
  // the same row would be equal anyway.
  result.trials.reserve(static_cast<size_t>(total));
  PlanReferences references(tables);
  std::vector<BoundedRow> bounded;
  TeamAgreement team;
  for (const Row& row : rows) {
    const int16_t runs = row.cell("Runs").toInt16();
    if (runs <= 0) continue;
    const int16_t first = static_cast<int16_t>(result.trials.size());
    const std::string place = blockPlace(setting, row, first, runs);
    reader.setRow(row);
    reader.setPlace(place, first);
    TrialPlan trial;
    const size_t faultsBefore = result.faults.size();
    if (!readTrialColumns(reader, players, trial, false)) {
      for (PlanFault& f : checkReadValues(trial, "tblBlock", place, first,
                                          faultedFields(result.faults, faultsBefore))) {
        reader.add(std::move(f));
      }
    } else {
      team.checkRow(trial, place, reader);
      BoundedRow checked{trial, place, first, runs, {}};
      for (PlanFault& f : checkLoadedTrial(checked.built, players, "tblBlock", place, first,
                                           inputFolder, checked.bounds)) {
        reader.add(std::move(f));
      }
      if (!checked.built.weeklyDemand.empty()) {
        warnAboutTrial(checked.built, "tblBlock", place, first, result.faults);
        references.checkTrial(checked.built, "tblBlock", place, first, result.faults);
        bounded.push_back(std::move(checked));
      }
    }
    result.trials.insert(result.trials.end(), runs, trial);
  }
  if (firstFault(result.faults)) return result;
  shareCostSum(setting, players, total, bounded, reader);
  for (const BoundedRow& row : bounded) {
    warnAboutBounds(row.bounds, "tblBlock", row.place, row.first, result.faults);
    for (int16_t i = 0; i < row.runs; ++i) {
      result.trials[static_cast<size_t>(row.first + i)].largestOrder = row.bounds.largestSafeOrder;
    }
  }
  return result;
}

TrainingRow readTraining(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                         const std::string& setting, int16_t firstIndex,
                         const std::string& inputFolder) {
  TrainingRow training;
  const Rows rows = tables.trainingRows(setting);
  if (rows.empty()) return training;
  training.found = true;
  training.rowCount = rows.size();
  const std::string place = trainingPlace(setting);
  RowReader reader("tblTraining", place, firstIndex, training.faults);
  reader.setRow(rows.front());
  const auto warn = [&](const std::string& field, const std::string& value,
                        const std::string& complaint) {
    PlanFault w = reader.refusal(field, value, complaint);
    w.warning = true;
    reader.add(std::move(w));
  };
  if (training.rowCount > 1) {
    warn("Setting", printable(setting),
         decimal(static_cast<int64_t>(training.rowCount)) +
             " tblTraining rows for this setting: only the first is used");
  }

  const std::optional<int16_t> runs = reader.int16("Runs");
  if (runs) {
    training.runs = *runs;
    if (*runs < 1) {
      reader.add(reader.refusal("Runs", decimal(*runs), "Runs " + decimal(*runs) + " is below 1"));
    } else if (int64_t{firstIndex} + *runs > std::numeric_limits<int16_t>::max()) {
      reader.add(
          reader.refusal("Runs", decimal(*runs),
                         "Runs " + decimal(*runs) + " makes the plan longer than 32767 trials"));
    }
  }
  const std::optional<int32_t> costLimit = reader.int32("CostLimit");
  const std::optional<int32_t> inventoryBound = reader.int32("InventoryBounds");
  training.costLimit = costLimit.value_or(0);
  training.inventoryBound = inventoryBound.value_or(0);
  const std::optional<std::string> password = reader.text("Password");
  training.password = password.value_or(std::string());
  if (costLimit && inventoryBound && (training.costLimit == 0) != (training.inventoryBound == 0)) {
    const bool cost = training.costLimit != 0;
    warn(cost ? "CostLimit" : "InventoryBounds",
         decimal(cost ? training.costLimit : training.inventoryBound),
         std::string("only ") + (cost ? "CostLimit" : "InventoryBounds") +
             " is set: training limits are checked only when both are, so none is");
  }

  const size_t faultsBefore = reader.faultCount();
  const size_t readFrom = training.faults.size();
  if (!readTrialColumns(reader, players, training.trial, true)) {
    for (PlanFault& f : checkReadValues(training.trial, "tblTraining", place, firstIndex,
                                        faultedFields(training.faults, readFrom))) {
      reader.add(std::move(f));
    }
  } else {
    if (reader.faultCount() == faultsBefore && training.trial.participantRole == kNoParticipant) {
      reader.add(reader.refusal("Subject", "", "no role column of the training row names Subject"));
    }
    TrialPlan built = training.trial;
    TrialBounds bounds;
    for (PlanFault& f :
         checkLoadedTrial(built, players, "tblTraining", place, firstIndex, inputFolder, bounds)) {
      reader.add(std::move(f));
    }
    training.trial.largestOrder = bounds.largestSafeOrder;
    warnAboutBounds(bounds, "tblTraining", place, firstIndex, training.faults);
    if (!built.weeklyDemand.empty()) {
      if (const std::optional<BoundFault> f = trainingWeekOneFaultOfAnyone(
              built, players, training.costLimit, training.inventoryBound)) {
        reader.add(reader.refusal(f->field, f->value, f->complaint));
      }
      warnAboutTrial(built, "tblTraining", place, firstIndex, training.faults);
      PlanReferences references(tables);
      references.checkTrial(built, "tblTraining", place, firstIndex, training.faults);
    }
  }
  if (password && password->empty()) {
    warn("Password", "", "Password is empty: anyone can skip the training with e and Enter");
  }
  return training;
}

}  // namespace quarn
