#include "plan/SettingCheck.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Languages.h"
#include "base/Numbers.h"
#include "plan/CompletionLink.h"
#include "plan/PlanCheck.h"
#include "plan/PlanReaders.h"
#include "plan/RowReader.h"

namespace quarn {

namespace {

// A training row that names team members is played by the team together,
// so the setting's trials need that same team; a training row naming
// Subject is played by each member alone.
void checkTrainingTeam(const std::string& setting, const TrainingRow& training,
                       const std::vector<TrialPlan>& blockTrials, std::vector<PlanFault>& faults) {
  if (!training.found || !isTeamTrial(training.trial)) return;
  const auto played = std::find_if(blockTrials.begin(), blockTrials.end(), [](const TrialPlan& t) {
    return hasParticipant(t.participantRole);
  });
  const int16_t trialTeam = played == blockTrials.end() ? 0 : teamSize(*played);
  const int16_t trainingTeam = teamSize(training.trial);
  if (trialTeam == trainingTeam) return;
  const std::string trials = trialTeam == 0 ? std::string("one participant alone (Subject)")
                                            : "a team of " + decimal(trialTeam);
  faults.push_back(makeRefusal("tblTraining", trainingPlace(setting),
                               training.trial.participantRole, "Subject1 .. Subject4", "",
                               "the training row is played by a team of " + decimal(trainingTeam) +
                                   ", the setting's trials by " + trials +
                                   ": a team trains together as it plays"));
}

}  // namespace

bool hasTeamTrial(const std::vector<TrialPlan>& trials) {
  return std::any_of(trials.begin(), trials.end(),
                     [](const TrialPlan& t) { return isTeamTrial(t); });
}

bool namesTeamMembers(PlanTables& tables, const std::string& setting) {
  const auto names = [](const Rows& rows) {
    for (const Row& row : rows) {
      for (int16_t r = 0; r < kRoleCount; ++r) {
        const Cell cell = row.cell(roleColumn(r));
        const std::string* text = std::get_if<std::string>(&cell.value());
        if (text && teamMemberOf(*text) != 0) return true;
      }
    }
    return false;
  };
  return names(tables.blockRows(setting)) || names(tables.trainingRows(setting));
}

std::vector<PlanFault> checkSetting(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                                    const std::string& setting, const std::string& inputFolder,
                                    PlanHome home) {
  std::vector<PlanFault> faults;
  std::vector<TrialPlan> blockTrials;
  bool team = false;
  int16_t trialCount = 0;
  const auto readFailed = [&](const std::string& table, const QuarnError& e) {
    PlanFault fault = makeRefusal(table, settingPlace(setting), -1, "", "", e.description());
    fault.errorNumber = e.number();
    faults.push_back(std::move(fault));
  };
  try {
    BlockRows blocks = readBlocks(tables, players, setting, inputFolder);
    trialCount = static_cast<int16_t>(blocks.trials.size());
    faults = std::move(blocks.faults);
    blockTrials = std::move(blocks.trials);
    team = hasTeamTrial(blockTrials);
  } catch (const QuarnError& e) {
    readFailed("tblBlock", e);
  }
  try {
    TrainingRow training = readTraining(tables, players, setting, trialCount, inputFolder);
    faults.insert(faults.end(), training.faults.begin(), training.faults.end());
    checkTrainingTeam(setting, training, blockTrials, faults);
    team = team || (training.found && isTeamTrial(training.trial));
  } catch (const QuarnError& e) {
    readFailed("tblTraining", e);
  }
  try {
    std::vector<PlanFault> pauses = checkPauses(tables, setting, trialCount);
    faults.insert(faults.end(), pauses.begin(), pauses.end());
  } catch (const QuarnError& e) {
    readFailed("tblPause", e);
  }
  try {
    const std::string language = tables.settingLanguage(setting);
    if (!language.empty() && !isTranslatedLanguage(language)) {
      std::string known;
      for (const std::string& l : translatedLanguages()) known += (known.empty() ? "" : ", ") + l;
      faults.push_back(makeRefusal("tblSetting", settingPlace(setting) + ", tblSetting", -1,
                                   "Language", language,
                                   "the participants' texts have no translation into this "
                                   "language (there are " +
                                       known + ")"));
    }
    const std::string link = tables.settingCompletionLink(setting);
    if (!link.empty() && !isCompletionLink(link)) {
      faults.push_back(makeRefusal("tblSetting", settingPlace(setting) + ", tblSetting", -1,
                                   "CompletionLink", link,
                                   "a completion link is an address beginning with http:// or "
                                   "https://, without blanks"));
    }
  } catch (const QuarnError& e) {
    readFailed("tblSetting", e);
  }
  if (team && home == PlanHome::File) {
    faults.push_back(makeRefusal("tblBlock", settingPlace(setting), -1, "Subject1 .. Subject4", "",
                                 kTeamNeedsServer));
  }
  return faults;
}

}  // namespace quarn
