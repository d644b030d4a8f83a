#include "plan/SettingCheck.h"

#include "base/Errors.h"
#include "base/Languages.h"
#include "plan/PlanCheck.h"
#include "plan/PlanReaders.h"
#include "plan/RowReader.h"

namespace quarn {

std::vector<PlanFault> checkSetting(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                                    const std::string& setting, const std::string& inputFolder) {
  std::vector<PlanFault> faults;
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
  } catch (const QuarnError& e) {
    readFailed("tblBlock", e);
  }
  try {
    TrainingRow training = readTraining(tables, players, setting, trialCount, inputFolder);
    faults.insert(faults.end(), training.faults.begin(), training.faults.end());
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
  } catch (const QuarnError& e) {
    readFailed("tblSetting", e);
  }
  return faults;
}

}  // namespace quarn
