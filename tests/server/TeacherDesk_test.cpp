#include "server/TeacherDesk.h"

#include <gtest/gtest.h>

#include "base/Errors.h"

namespace quarn::server {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kCode = "ABC234";

// A class in memory: its record, password and live view as the test sets
// them; the changes the desk makes are kept.
class FakeTeacherData final : public TeacherData {
 public:
  std::optional<ClassRecord> find(const std::string& code) override {
    ++finds;
    if (code != record.code) return std::nullopt;
    return record;
  }
  bool passwordMatches(const std::string& code, const std::string& given) override {
    return code == record.code && given == password;
  }
  void setState(const std::string&, const std::string& state) override { record.state = state; }
  bool start(const std::string&) override {
    if (record.state == "ended") return false;
    if (record.state == "open") doorsClosed++;
    record.state = "started";
    return true;
  }
  void tell(const std::string& code, ClassWord word) override { told.push_back({code, word}); }
  LabWatch watch(const std::string&, int64_t) override { return lab; }
  std::vector<RecordedTrial> trials(const std::string&) override {
    ++trialReads;
    return recorded;
  }
  std::vector<std::string> players() override { return {"Sterman"}; }
  TeamTrialMember replace(const std::string& setting, const std::string& team, int16_t member,
                          const std::string& player) override {
    if (player != "Sterman") throw QuarnError(kErrInvalidPlan, "no player " + player);
    replaced.push_back(setting + "/" + team + "/" + std::to_string(member));
    return {1, member, "Retailer", "B1", player, 3};
  }

  ClassRecord record{kCode, "Pair", "open"};
  std::string password = "teach";
  LabWatch lab;
  std::vector<RecordedTrial> recorded;
  std::vector<std::string> replaced;
  std::vector<std::pair<std::string, ClassWord>> told;
  int doorsClosed = 0;
  int finds = 0;
  int trialReads = 0;
};

WatchTeam teamAt(const std::string& name, int16_t week) {
  WatchTeam team;
  team.team = name;
  team.setting = "Pair";
  team.size = 2;
  team.here = 2;
  team.trial = 1;
  team.week = week;
  team.weeks = 4;
  return team;
}

// A played chain of `team`, its weeks' orders as given (the same on each
// stage), with a customer demand of 4.
RecordedTrial chain(const std::string& team, const std::vector<int32_t>& orders, int64_t cost) {
  RecordedTrial trial;
  trial.subject = team + "-1";
  trial.team = team;
  trial.setting = "Pair";
  trial.trial = 1;
  trial.plannedWeeks = static_cast<int16_t>(orders.size() + 2);
  trial.delay = 2;
  trial.participantRole = 3;
  int16_t week = 0;
  for (const int32_t order : orders) {
    RecordedWeek recorded;
    recorded.week = ++week;
    for (RecordedStage& stage : recorded.stages) {
      stage.order = order;
      stage.delaySlots = {0, 0};
    }
    recorded.stages[3].demand = 4;
    trial.weeks.push_back(recorded);
  }
  for (int16_t extra = 0; extra < 2; ++extra) {
    RecordedWeek last = trial.weeks.back();
    last.week = ++week;
    trial.weeks.push_back(last);
  }
  trial.weeks.back().stages[0].totalCost = static_cast<int32_t>(cost);
  return trial;
}

class TeacherDeskTest : public ::testing::Test {
 protected:
  TeacherDeskTest() { data.lab.teams = {teamAt("T1", 2)}; }

  // The messages page `id` was sent since the last look, by type.
  std::vector<json> sent(TeacherDesk::PageId id, const std::string& type) {
    std::vector<json> found;
    for (const auto& [page, message] : delivered) {
      if (page == id && message["type"] == type) found.push_back(message);
    }
    return found;
  }
  void logIn(TeacherDesk::PageId id, ClassPageKind kind = ClassPageKind::Teacher) {
    desk.open(id, kind);
    say(id, {{"type", "classLogin"}, {"password", "teach"}});
    ASSERT_EQ(sent(id, "classLoggedIn").size(), 1u);
  }
  void say(TeacherDesk::PageId id, const json& message) { desk.receive(id, message.dump(), now); }

  FakeTeacherData data;
  std::vector<std::pair<TeacherDesk::PageId, json>> delivered;
  TeacherDesk::Clock::time_point now{};
  TeacherDesk desk{kCode, data,
                   [this](TeacherDesk::PageId id, const json& m) {
                     delivered.push_back({id, m});
                   },
                   [] { return int64_t{1'700'000'000}; }};
};

TEST(PasswordGuesses, AllowsABurstThenOneGuessEachInterval) {
  PasswordGuesses guesses;
  const PasswordGuesses::Clock::time_point start{};
  for (int i = 0; i < PasswordGuesses::kBurst; ++i) {
    ASSERT_TRUE(guesses.admit(start)) << i;
    guesses.wrong(start);
  }
  const struct {
    std::chrono::milliseconds after;
    bool admitted;
  } cases[] = {{0ms, false}, {9'999ms, false}, {10'000ms, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(guesses.admit(start + c.after), c.admitted) << c.after.count();
  }
  guesses.wrong(start + 10s);
  EXPECT_FALSE(guesses.admit(start + 19s));
  EXPECT_TRUE(guesses.admit(start + 20s));
}

TEST_F(TeacherDeskTest, LoginTakesOnlyTheClassPassword) {
  const struct {
    std::string password;
    std::string answer;
  } cases[] = {
      {"wrong", "refused"}, {"", "refused"}, {"TEACH", "refused"}, {"teach", "classLoggedIn"}};
  TeacherDesk::PageId id = 0;
  for (const auto& c : cases) {
    desk.open(++id, ClassPageKind::Teacher);
    say(id, {{"type", "classLogin"}, {"password", c.password}});
    ASSERT_EQ(delivered.back().first, id);
    EXPECT_EQ(delivered.back().second["type"], c.answer) << c.password;
  }
  EXPECT_EQ(delivered.back().second["setting"], "Pair");
  EXPECT_EQ(delivered.back().second["players"], json::array({"Sterman"}));
}

TEST_F(TeacherDeskTest, UnknownClassIsRefusedAsAWrongPassword) {
  data.record.code = "ZZZ999";
  desk.open(1, ClassPageKind::Teacher);
  say(1, {{"type", "classLogin"}, {"password", "teach"}});
  EXPECT_EQ(delivered.back().second,
            json({{"type", "refused"}, {"of", "classLogin"}, {"reason", "wrongPassword"}}));
}

TEST_F(TeacherDeskTest, WrongGuessesAreCountedForTheClassNotTheConnection) {
  for (TeacherDesk::PageId id = 1; id <= 5; ++id) {
    desk.open(id, ClassPageKind::Teacher);
    say(id, {{"type", "classLogin"}, {"password", "guess" + std::to_string(id)}});
  }
  desk.open(6, ClassPageKind::Teacher);
  say(6, {{"type", "classLogin"}, {"password", "teach"}});
  EXPECT_EQ(delivered.back().second["reason"], "tooManyGuesses");
  now += PasswordGuesses::kInterval;
  say(6, {{"type", "classLogin"}, {"password", "teach"}});
  EXPECT_EQ(delivered.back().second["type"], "classLoggedIn");
}

TEST_F(TeacherDeskTest, ActionsAreRefusedBeforeLoginAndToTheProjector) {
  desk.open(1, ClassPageKind::Teacher);
  logIn(2, ClassPageKind::Projector);
  const struct {
    TeacherDesk::PageId page;
    std::string reason;
  } cases[] = {{1, "notLoggedIn"}, {2, "teacherOnly"}};
  for (const auto& c : cases) {
    for (const char* action :
         {"startClass", "pauseClass", "endClass", "passPause", "endTraining"}) {
      say(c.page, {{"type", action}});
      EXPECT_EQ(delivered.back().second,
                json({{"type", "refused"}, {"of", action}, {"reason", c.reason}}));
    }
  }
  EXPECT_EQ(data.record.state, "open");
  EXPECT_TRUE(data.told.empty());
}

TEST_F(TeacherDeskTest, ParticipantMessagesAreNotTakenFromTheTeachersPage) {
  logIn(1);
  for (const json& message : {json{{"type", "order"}, {"turn", 1}, {"value", "4"}},
                              json{{"type", "startClass"}, {"state", "ended"}}}) {
    say(1, message);
    EXPECT_EQ(delivered.back().second["type"], "error") << message;
  }
  EXPECT_EQ(data.record.state, "open");
}

TEST_F(TeacherDeskTest, StateActionsSetTheClassState) {
  logIn(1);
  const struct {
    std::string action;
    std::string state;
  } cases[] = {{"startClass", "started"},
               {"pauseClass", "paused"},
               {"startClass", "started"},
               {"endClass", "ended"}};
  for (const auto& c : cases) {
    say(1, {{"type", c.action}});
    EXPECT_EQ(data.record.state, c.state) << c.action;
    EXPECT_EQ(delivered.back().second, json({{"type", "classDone"}, {"of", c.action}}));
    EXPECT_TRUE(desk.changedHere());
  }
  EXPECT_EQ(data.doorsClosed, 1);
}

TEST_F(TeacherDeskTest, StateActionsAreRefusedWhereTheClassCannotTakeThem) {
  logIn(1);
  const struct {
    std::string before;
    std::string action;
    std::string reason;
  } cases[] = {{"open", "pauseClass", "notStarted"},
               {"closed", "pauseClass", "notStarted"},
               {"ended", "pauseClass", "notStarted"},
               {"ended", "startClass", "classEnded"}};
  for (const auto& c : cases) {
    data.record.state = c.before;
    say(1, {{"type", c.action}});
    EXPECT_EQ(delivered.back().second,
              json({{"type", "refused"}, {"of", c.action}, {"reason", c.reason}}))
        << c.before << " " << c.action;
    EXPECT_EQ(data.record.state, c.before);
  }
}

TEST_F(TeacherDeskTest, TeachersWordIsGivenToTheWholeClass) {
  logIn(1);
  say(1, {{"type", "passPause"}});
  say(1, {{"type", "endTraining"}});
  EXPECT_EQ(data.told, (std::vector<std::pair<std::string, ClassWord>>{
                           {kCode, ClassWord::PassPause}, {kCode, ClassWord::EndTraining}}));
  EXPECT_EQ(delivered.back().second, json({{"type", "classDone"}, {"of", "endTraining"}}));
}

TEST_F(TeacherDeskTest, ReplaceMemberTakesOnlyAWellFormedMember) {
  logIn(1);
  const json wrong[] = {
      {{"type", "replaceMember"}, {"team", "T1"}, {"member", 0}, {"player", "Sterman"}},
      {{"type", "replaceMember"}, {"team", "T1"}, {"member", 5}, {"player", "Sterman"}},
      {{"type", "replaceMember"}, {"team", "T1"}, {"member", "1"}, {"player", "Sterman"}},
      {{"type", "replaceMember"}, {"team", 1}, {"member", 1}, {"player", "Sterman"}},
      {{"type", "replaceMember"}, {"team", "T1"}, {"member", 1}},
  };
  for (const json& message : wrong) {
    say(1, message);
    EXPECT_EQ(delivered.back().second["type"], "error") << message;
  }
  say(1, {{"type", "replaceMember"}, {"team", "T1"}, {"member", 1}, {"player", "Nobody"}});
  EXPECT_EQ(delivered.back().second, json({{"type", "refused"},
                                           {"of", "replaceMember"},
                                           {"reason", "notPossible"},
                                           {"detail", "no player Nobody"}}));
  say(1, {{"type", "replaceMember"}, {"team", "T1"}, {"member", 1}, {"player", "Sterman"}});
  EXPECT_EQ(data.replaced, std::vector<std::string>{"Pair/T1/1"});
  EXPECT_EQ(delivered.back().second["replaced"]["fromWeek"], 3);
}

TEST_F(TeacherDeskTest, ClassIsNotReadForPagesThatHaveNotLoggedIn) {
  desk.open(1, ClassPageKind::Teacher);
  desk.open(2, ClassPageKind::Projector);
  desk.refresh(now);
  EXPECT_EQ(data.finds, 0);
  EXPECT_TRUE(delivered.empty());
}

TEST_F(TeacherDeskTest, RefreshSendsTheViewOnlyWhenItChanged) {
  logIn(1);
  desk.refresh(now);
  desk.refresh(now + 250ms);
  EXPECT_EQ(sent(1, "classView").size(), 1u);
  data.lab.teams = {teamAt("T1", 3)};
  desk.refresh(now + 500ms);
  const auto views = sent(1, "classView");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views.back()["teams"][0]["week"], 3);
}

TEST_F(TeacherDeskTest, ProjectorIsSentChartsNotTheStudentsView) {
  logIn(2, ClassPageKind::Projector);
  data.recorded = {chain("T1", {4, 8}, 100)};
  desk.refresh(now);
  EXPECT_TRUE(sent(2, "classView").empty());
  ASSERT_EQ(sent(2, "classCharts").size(), 1u);
  // No played week: the charts are not read again.
  desk.refresh(now + 2s);
  EXPECT_EQ(data.trialReads, 1);
}

TEST_F(TeacherDeskTest, ChartsAreDrawnAtMostOnceAnInterval) {
  logIn(2, ClassPageKind::Projector);
  desk.refresh(now);
  const struct {
    std::chrono::milliseconds at;
    int reads;
  } cases[] = {{250ms, 1}, {750ms, 1}, {1000ms, 2}, {1250ms, 2}, {2000ms, 3}};
  int16_t week = 2;
  for (const auto& c : cases) {
    data.lab.teams = {teamAt("T1", ++week)};
    desk.refresh(now + c.at);
    EXPECT_EQ(data.trialReads, c.reads) << c.at.count();
  }
}

TEST_F(TeacherDeskTest, EndedClassSendsEveryPageTheDebriefingOnce) {
  logIn(1);
  logIn(2, ClassPageKind::Projector);
  data.record.state = "ended";
  desk.refresh(now);
  desk.refresh(now + 250ms);
  EXPECT_EQ(sent(1, "debriefing").size(), 1u);
  EXPECT_EQ(sent(2, "debriefing").size(), 1u);
  logIn(3);
  EXPECT_EQ(sent(3, "debriefing").size(), 1u);
}

TEST(ClassCharts, VarianceOfEachStageIsTheMeanOverTheTeams) {
  // Orders 4, 8 vary by 4; 2, 2, 8, 8 by 9; the customer's demand not at all.
  const json charts = classChartsMessage({chain("T1", {4, 8}, 100), chain("T2", {2, 2, 8, 8}, 50)});
  EXPECT_EQ(charts["trial"], 1);
  EXPECT_EQ(charts["weeks"], 6);
  ASSERT_EQ(charts["teams"].size(), 2u);
  EXPECT_EQ(charts["teams"][0]["orders"][1], json::array({8, 8, 8, 8}));
  for (int role = 0; role < 4; ++role) EXPECT_DOUBLE_EQ(charts["variance"][role], 6.5);
  EXPECT_DOUBLE_EQ(charts["demandVariance"], 0.0);
}

TEST(ClassCharts, DrawOnlyTheLatestTrial) {
  RecordedTrial second = chain("T1", {5, 5}, 10);
  second.trial = 2;
  const json charts = classChartsMessage({chain("T1", {4, 8}, 100), second, chain("T2", {1}, 5)});
  EXPECT_EQ(charts["trial"], 2);
  ASSERT_EQ(charts["teams"].size(), 1u);
}

TEST(Debriefing, PlacesRankCompleteTeamsByCostSharingEqualCosts) {
  RecordedTrial left = chain("T4", {4, 4}, 10);
  left.weeks.resize(1);  // left after a week: incomplete
  const json debriefing = debriefingMessage(
      {chain("T1", {4, 8}, 300), chain("T2", {4, 8}, 100), chain("T3", {4, 8}, 300), left}, "Pair");
  std::map<std::string, json> places;
  for (const json& team : debriefing["teams"]) places[team["team"]] = team["place"];
  EXPECT_EQ(places["T2"], 1);
  EXPECT_EQ(places["T1"], 2);
  EXPECT_EQ(places["T3"], 2);
  EXPECT_EQ(places["T4"], nullptr);
  EXPECT_EQ(debriefing["teams"][0]["ranked"], 3);
}

}  // namespace
}  // namespace quarn::server
