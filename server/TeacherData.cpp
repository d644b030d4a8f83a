#include "server/TeacherData.h"

#include <algorithm>
#include <thread>

#include "analysis/RecordedResults.h"
#include "base/Errors.h"
#include "base/Random.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "db/ClassStore.h"
#include "db/ClassTeams.h"
#include "db/DatabaseAccess.h"
#include "db/OpenDatabase.h"
#include "plan/PlanReaders.h"
#include "server/ClassBoard.h"

namespace quarn::server {

namespace {

// Nobody sits at the class's reader: a question is answered no (a database
// that cannot be reached is not waited for; the next reading tries again),
// and the end of the application is a failure of this reading alone.
class NobodyPrompter final : public Prompter {
 public:
  void wait(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
  [[noreturn]] void endApplication(int) override {
    throw QuarnError(kErrDatabase, "the database could not be read");
  }

 protected:
  Answer present(const Prompt& prompt) override { return unattendedAnswer(prompt.style); }
};

class StoreTeacherData final : public TeacherData {
 public:
  explicit StoreTeacherData(const std::string& appFolder) : m_inputFolder(appFolder + "/Input") {
    m_stores.choose(appFolder + "/data", kDefaultDatabaseFile);
  }

  std::optional<ClassRecord> find(const std::string& code) override {
    const std::optional<ClassRow> row = m_db.read([&] { return m_stores.classes().find(code); });
    if (!row) return std::nullopt;
    return ClassRecord{row->code, row->setting, std::string(classStateName(row->state))};
  }

  bool passwordMatches(const std::string& code, const std::string& password) override {
    return m_db.read([&] { return teacherPasswordOpens(m_stores.classes(), code, password); });
  }

  void setState(const std::string& code, const std::string& state) override {
    const std::optional<ClassState> known = classStateOf(state);
    if (!known) throw QuarnError(kErrInvalidPlan, "no class state " + state);
    if (!m_db.read([&] { return m_stores.classes().setState(code, *known); })) {
      throw QuarnError(kErrItemNotFound, "no class " + code);
    }
    // The class's students see the change at their next look.
    ClassBoard::shared().forget(m_stores.location(), code);
  }

  bool start(const std::string& code) override {
    const std::optional<ClassRow> row = m_db.read([&] { return m_stores.classes().find(code); });
    if (!row) throw QuarnError(kErrItemNotFound, "no class " + code);
    const TeamTrialRoles trials = memberRolesOf(plans()(row->setting));
    const StartedClass start = m_db.read([&] {
      return startClass(m_stores.classes(), m_stores.teams(), code, trials,
                        [this](size_t below) { return shuffleIndex(below); });
    });
    ClassBoard::shared().forget(m_stores.location(), code);
    return start.started;
  }

  void tell(const std::string& code, ClassWord word) override {
    if (!m_db.read([&] { return m_stores.classes().giveWord(code, word); })) {
      throw QuarnError(kErrItemNotFound, "no class " + code);
    }
    ClassBoard::shared().forget(m_stores.location(), code);
  }

  LabWatch watch(const std::string& setting, int64_t now) override {
    return m_db.read([&] {
      return watchLab(monitor(), now, {setting, kDefaultGoneLimitSeconds}, plans());
    });
  }

  std::vector<RecordedTrial> trials(const std::string& setting) override {
    std::vector<RecordedTrial> found = recordedTrials(m_db, setting, "", m_inputFolder);
    // A team trial's members recorded it each under their own ID.
    joinTeams(found, m_db.read([&] { return recordedTeamRows(tables()); }));
    return found;
  }

  std::vector<std::string> players() override {
    std::vector<std::string> names;
    for (const PlayerStrategy& player : readPlayers(m_db.planTables()).players) {
      names.push_back(player.name);
    }
    return names;
  }

  TeamTrialMember replace(const std::string& setting, const std::string& team, int16_t member,
                          const std::string& player) override {
    const std::string named = playerNamed(player);
    const TeamSettingPlan plan = plans()(setting);
    if (plan.size == 0) throw QuarnError(kErrInvalidPlan, setting + " is not played by teams");
    if (member < 1 || member > plan.size) {
      throw QuarnError(kErrInvalidPlan, "the teams of " + setting + " have " +
                                            std::to_string(plan.size) + " members");
    }
    const auto shapeOf = [&](int16_t trial) {
      if (trial < 1 || static_cast<size_t>(trial) > plan.trials.size()) {
        throw QuarnError(kErrInvalidPlan, "the member has played every trial");
      }
      const TeamTrialShape& shape = plan.trials[static_cast<size_t>(trial - 1)];
      const int16_t stage = shape.memberStages[static_cast<size_t>(member - 1)];
      if (stage < 0) throw QuarnError(kErrInvalidPlan, "the member plays no stage in the trial");
      return MemberTrialShape{shape.weeks, roleName(stage)};
    };
    return m_stores.teams().replace({setting, team}, member, named, shapeOf);
  }

 private:
  // A number below `below`, to shuffle the students of a class formed at
  // random.
  size_t shuffleIndex(size_t below) {
    return std::min(below - 1, static_cast<size_t>(m_random.next() * static_cast<double>(below)));
  }

  // The player of tblPlayer that `name` names, apart from ASCII letter case.
  std::string playerNamed(const std::string& name) {
    for (const std::string& known : players()) {
      if (equalsIgnoringAsciiCase(known, name)) return known;
    }
    throw QuarnError(kErrInvalidPlan, "tblPlayer has no player named " + name);
  }

  ActivityMonitor& monitor() {
    if (!m_monitor) m_monitor = openMonitor(m_stores.choice());
    return *m_monitor;
  }
  DatabaseTables& tables() {
    if (!m_tables) m_tables = openTables(m_stores.choice());
    return *m_tables;
  }
  // The team settings' plans, each read once.
  const TeamPlans& plans() {
    if (!m_plans) m_plans = planTeams(m_db.planTables());
    return m_plans;
  }

  std::string m_inputFolder;
  NobodyPrompter m_prompter;
  StandardUniformRandom m_random;
  ChosenStores m_stores;
  DatabaseAccess m_db{m_stores, m_prompter, m_random};
  std::unique_ptr<ActivityMonitor> m_monitor;
  std::unique_ptr<DatabaseTables> m_tables;
  TeamPlans m_plans;
};

}  // namespace

std::unique_ptr<TeacherData> openTeacherData(const std::string& appFolder) {
  return std::make_unique<StoreTeacherData>(appFolder);
}

}  // namespace quarn::server
