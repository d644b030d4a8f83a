#include "tools/Watch.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <set>
#include <sstream>

#include "tests/support/EngineDatabases.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/PlanRows.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// The participants' weeks around 2024-03-05 14:10:00, local time.
template <class Engine>
class WatchTest : public ::testing::Test {
 protected:
  WatchTest() : clock(LocalDateTime{2024, 3, 5, 14, 10, 0}) {}

  // The participant's stage and a simulated one.
  void week(const char* subject, const char* setting, int trial, int week, const char* time,
            int cost = 40) {
    for (const char* role : {"Factory", "Retailer"}) {
      const bool participant = std::string(role) == "Retailer";
      db.insert("datRole", {{"Subject", subject},
                            {"Setting", setting},
                            {"Trial", trial},
                            {"Training", trial < 0},
                            {"Week", week},
                            {"Role", role},
                            {"User", participant ? 6 : 0},
                            {"TotalCost", participant ? cost : 999},
                            {"Date", "2024-03-05"},
                            {"TimeOfDay", time}});
    }
  }
  // A mark refreshed `secondsAgo`; `state` empty: an application that does
  // not say what the participant does. Stored as a row: a server would date
  // a mark made through the stores by its own clock, not by the test's.
  void mark(const char* subject, const char* setting, const char* host, int64_t secondsAgo,
            std::optional<PlayState> state = std::nullopt, int16_t week = 0, int64_t stateFor = 0) {
    const int64_t now = clock.seconds();
    Columns row = {{"Subject", subject},     {"Setting", setting}, {"Host", host},
                   {"Process", int64_t{42}}, {"Since", now - 600}, {"LastWeek", now - secondsAgo}};
    if (state) {
      row.insert({{"State", playStateWord(*state)},
                  {"StateSince", now - stateFor},
                  {"Trial", 2},
                  {"Week", int{week}},
                  {"Weeks", 20},
                  {"Role", "Retailer"},
                  {"Cost", 77}});
    }
    db.insert("datPlaying", row);
  }
  std::vector<admin::WatchLine> lines(const std::string& setting = "") {
    admin::WatchOptions options;
    options.setting = setting;
    return admin::watchLines(*openMonitor(db.choice()), clock.seconds(), options);
  }

  Engine db;
  FixedWallClock clock;
};
TYPED_TEST_SUITE(WatchTest, Engines, EngineNames);

std::vector<std::string> subjectsOf(const std::vector<admin::WatchLine>& lines) {
  std::vector<std::string> subjects;
  for (const admin::WatchLine& line : lines) subjects.push_back(line.subject + "/" + line.setting);
  return subjects;
}

// Into a file or a pipe: no screen control, the time and the database
// above the table. A workstation gone quiet is told apart from one whose
// participant thinks; a participant without a mark closed the session.
TYPED_TEST(WatchTest, OnceWritesAPlainTableUnderTheTime) {
  this->week("P1", "A", 2, 6, "14:09:00", 35);
  this->week("P1", "A", 2, 7, "14:09:30");
  this->week("Zo\xC3\xAB", "A", -2, 3, "14:05:00", 12);
  this->week("P3", "A", 4, 20, "13:55:00", 90);
  this->mark("P1", "A", "lab-1", 10, PlayState::Choosing, 8, 300);
  this->mark("Zo\xC3\xAB", "A", "lab-2", 300);
  admin::WatchOptions options;
  options.once = true;
  std::ostringstream out;
  EXPECT_EQ(admin::runWatch(options, *openMonitor(this->db.choice()), "the lab's server",
                            this->clock, out, false),
            0);
  EXPECT_EQ(
      out.str(),
      "2024-03-05 14:10:00  the lab's server\n"
      "User ID  Setting  Trial        Week     Role      State                       Cost  "
      "Workstation\n"
      "P1       A        2            8 of 20  Retailer  choosing an order for 5:00  77    "
      "lab-1 (process 42)\n"
      "P3       A        4            20       Retailer  closed 15:00 ago            90    -\n"
      "Zo\xC3\xAB      A        training -2  3        Retailer  playing                     12    "
      "lab-2 (process 42)  GONE 5:00\n"
      "3 participants playing or active in the last hour; GONE: a workstation silent for "
      "more than 60 s (a running one speaks every 15 s)\n");
}

// Each state of a marked participant in words.
TYPED_TEST(WatchTest, SaysWhatEachParticipantDoes) {
  const struct {
    const char* subject;
    PlayState state;
    const char* shown;
  } cases[] = {
      {"S1", PlayState::LoggedIn, "logged in"},
      {"S2", PlayState::Choosing, "choosing an order for 0:42"},
      {"S3", PlayState::Watching, "watching the shipment"},
      {"S4", PlayState::TrialOver, "at the trial's end"},
      {"S5", PlayState::Restarting, "restarting the training trial"},
      {"S6", PlayState::Paused, "in a pause for 0:42"},
      {"S7", PlayState::Finished, "finished"},
      {"S8", PlayState::WaitingForTeam, "waiting for the team for 0:42"},
      {"S9", PlayState::TrainingOver, "told that training is complete"},
  };
  for (const auto& c : cases) this->mark(c.subject, "A", "lab-1", 5, c.state, 3, 42);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), std::size(cases));
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(admin::stateText(shown[i]), cases[i].shown) << cases[i].subject;
    EXPECT_FALSE(shown[i].gone) << cases[i].subject;
  }
}

// Every state a mark can hold has words of its own in the table and its
// stored word in the JSON lines, a state added later too.
TYPED_TEST(WatchTest, EveryStateIsToldApartInTheTableAndTheJson) {
  const std::vector<PlayState> states = allPlayStates();
  std::vector<std::string> subjects;
  for (size_t i = 0; i < states.size(); ++i) {
    subjects.push_back("S" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    this->mark(subjects.back().c_str(), "A", "lab-1", 5, states[i], 3, 42);
  }
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), states.size());
  std::set<std::string> texts;
  for (size_t i = 0; i < shown.size(); ++i) {
    const std::string text = admin::stateText(shown[i]);
    EXPECT_FALSE(shown[i].stateUnknown) << playStateWord(states[i]);
    EXPECT_FALSE(text.empty() || text == "playing" || text.starts_with("unknown"))
        << playStateWord(states[i]) << ": " << text;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), states.size()) << "two states read the same";
  std::ostringstream out;
  admin::runWatch(admin::parseWatchArguments({"db", "--once", "--json"}),
                  *openMonitor(this->db.choice()), "db", this->clock, out, false);
  std::istringstream json(out.str());
  std::string line;
  for (size_t i = 0; i < states.size() && std::getline(json, line); ++i) {
    EXPECT_NE(line.find(R"j("subject":")j" + subjects[i] + R"j(",)j"), std::string::npos) << line;
    EXPECT_NE(line.find(R"j("state":")j" + playStateWord(states[i]) + R"j(","stateKnown":true)j"),
              std::string::npos)
        << line;
  }
}

// A participant thinking for minutes keeps a workstation that speaks; one
// whose refreshes stopped beyond the limit is gone.
TYPED_TEST(WatchTest, GoneOnlyWhenTheRefreshesStop) {
  this->mark("THINKS", "A", "lab-1", 14, PlayState::Choosing, 3, 600);
  this->mark("STOPPED", "A", "lab-2", 61, PlayState::Choosing, 3, 61);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(subjectsOf(shown), (std::vector<std::string>{"STOPPED/A", "THINKS/A"}));
  EXPECT_TRUE(shown[0].gone);
  EXPECT_FALSE(shown[1].gone);
}

// --json: one object a line, with the view's time; unknown values are null.
TYPED_TEST(WatchTest, JsonLinesCarryTheSameAsTheTable) {
  this->mark("P1", "A", "lab-1", 10, PlayState::Paused, 20, 90);
  this->mark("P2", "A", "lab-2", 20);
  admin::WatchOptions options = admin::parseWatchArguments({"db", "--once", "--json"});
  std::ostringstream out;
  admin::runWatch(options, *openMonitor(this->db.choice()), "db", this->clock, out, false);
  EXPECT_EQ(
      out.str(),
      R"j({"time":"2024-03-05 14:10:00","subject":"P1","setting":"A","trial":2,)j"
      R"j("training":false,"week":20,"weeks":20,"role":"Retailer","state":"pause",)j"
      R"j("stateKnown":true,"stateSeconds":90,"cost":77,"workstation":"lab-1 (process 42)",)j"
      R"j("quietSeconds":10,"gone":false})j"
      "\n"
      R"j({"time":"2024-03-05 14:10:00","subject":"P2","setting":"A","trial":null,)j"
      R"j("training":false,"week":null,"weeks":null,"role":null,"state":"playing",)j"
      R"j("stateKnown":true,"stateSeconds":600,"cost":null,"workstation":"lab-2 (process 42)",)j"
      R"j("quietSeconds":20,"gone":false})j"
      "\n");
}

// A state word this version does not know (a newer application's) is
// shown as unknown, never as an ordinary state.
TYPED_TEST(WatchTest, ReportsAStateWordItDoesNotKnow) {
  const int64_t now = this->clock.seconds();
  this->db.insert("datPlaying", {{"Subject", "P1"},
                                 {"Setting", "A"},
                                 {"Host", "lab-1"},
                                 {"Process", int64_t{42}},
                                 {"Since", now - 600},
                                 {"LastWeek", now - 5},
                                 {"State", "xyz"},
                                 {"StateSince", now - 30}});
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].stateUnknown);
  EXPECT_EQ(admin::stateText(shown[0]), "unknown state 'xyz'");
  admin::WatchOptions options = admin::parseWatchArguments({"db", "--once", "--json"});
  std::ostringstream out;
  admin::runWatch(options, *openMonitor(this->db.choice()), "db", this->clock, out, false);
  EXPECT_NE(out.str().find(R"j("state":"xyz","stateKnown":false,)j"), std::string::npos)
      << out.str();
}

TYPED_TEST(WatchTest, LeavesOutWhoRecordedNothingForAnHour) {
  this->week("P1", "A", 1, 1, "13:10:30");
  this->week("P2", "A", 1, 1, "13:09:59");
  this->week("P3", "A", 1, 1, "09:00:00");
  EXPECT_EQ(subjectsOf(this->lines()), (std::vector<std::string>{"P1/A"}));
}

TYPED_TEST(WatchTest, ShowsTheSettingAskedForOnly) {
  this->week("P1", "A", 1, 1, "14:00:00");
  this->week("P1", "B", 1, 4, "14:01:00");
  this->week("P2", "B", 1, 2, "14:02:00");
  EXPECT_EQ(subjectsOf(this->lines("B")), (std::vector<std::string>{"P1/B", "P2/B"}));
  EXPECT_EQ(subjectsOf(this->lines()), (std::vector<std::string>{"P1/A", "P1/B", "P2/B"}));
}

// Logged in, no week yet: listed from the login's mark.
TYPED_TEST(WatchTest, ListsALoginWithoutAWeekYet) {
  this->mark("P9", "A", "lab-3", 5, PlayState::LoggedIn);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].state, "login");
  EXPECT_EQ(shown[0].workstation, "lab-3 (process 42)");
}

// Two teams of the four-member setting "Four" around 2024-03-05 14:10:00:
// their members' marks and typed orders as the workstations store them, the
// orders then dated by the test's clock instead of the server's.
class TeamWatch : public ::testing::Test {
 protected:
  TeamWatch() : clock(LocalDateTime{2024, 3, 5, 14, 10, 0}) {
    // Two trials of 20 weeks.
    db.insert("tblBlock", planRow(false, {{"Setting", "Four"},
                                          {"numweeks", 20},
                                          {"Runs", 2},
                                          {"Factory", "Subject4"},
                                          {"Distributor", "Subject3"},
                                          {"Wholesaler", "Subject2"},
                                          {"Retailer", "Subject1"}}));
  }
  // The member waits for the team, or (`state`) does something else.
  void mark(const char* subject, const char* host, const char* role, int16_t week,
            int64_t secondsAgo = 5, PlayState state = PlayState::WaitingForTeam) {
    const int64_t now = clock.seconds();
    db.insert("datPlaying", {{"Subject", subject},
                             {"Setting", "Four"},
                             {"Host", host},
                             {"Process", int64_t{42}},
                             {"Since", now - 600},
                             {"LastWeek", now - secondsAgo},
                             {"State", playStateWord(state)},
                             {"StateSince", now - 30},
                             {"Trial", 1},
                             {"Week", int{week}},
                             {"Weeks", 20},
                             {"Role", role},
                             {"Cost", 10}});
  }
  void order(const TeamKey& key, int16_t trial, int16_t week, int16_t member, int64_t secondsAgo) {
    db.stores().teams().storeOrder(key, {trial, false, week, member, 4, "", 900});
    PgConnection(db.connection())
        .exec(R"(UPDATE "datTeamOrder" SET "Stored" = )" +
              std::to_string(clock.seconds() - secondsAgo) + R"( WHERE "Team" = ')" + key.team +
              R"(' AND "Trial" = )" + std::to_string(trial) + R"( AND "Week" = )" +
              std::to_string(week) + R"( AND "Member" = )" + std::to_string(member));
  }
  // Four members who joined; every member ordered week 1, and all but
  // `missing` ordered week 2 and wait with a mark.
  void playingTeam(const TeamKey& key, int16_t missing) {
    const char* roles[] = {"Retailer", "Wholesaler", "Distributor", "Factory"};
    for (int16_t m = 1; m <= 4; ++m) {
      const std::string subject = key.team + "-" + std::to_string(m);
      db.stores().teams().join(key, subject, 4);
      order(key, 1, 1, m, 300);
      if (m != missing) order(key, 1, 2, m, 60 - 10 * m);
      if (m != missing)
        mark(subject.c_str(), ("lab-" + std::to_string(m)).c_str(), roles[m - 1], 2);
    }
  }
  void recordedWeek(const char* subject, const char* setting) {
    db.insert("datRole", {{"Subject", subject},
                          {"Setting", setting},
                          {"Trial", 1},
                          {"Week", 1},
                          {"Role", "Retailer"},
                          {"User", 6},
                          {"TotalCost", 8},
                          {"Date", "2024-03-05"},
                          {"TimeOfDay", "14:05:00"}});
  }
  std::vector<admin::WatchTeam> teams() {
    return admin::watchTeams(*openMonitor(db.choice()), clock.seconds(), {},
                             admin::planTeams(db.stores().plan()));
  }

  ServerDatabase db;
  FixedWallClock clock;
};

// One team still forming, one waiting for a member whose workstation went
// quiet: each member under its team, none among the single participants
// (Red-1 recorded a week too).
TEST_F(TeamWatch, ListsEachTeamWithItsMembersAndWhomItWaitsFor) {
  const TeamKey forming{"Four", "Blue"};
  db.stores().teams().join(forming, "P07", 4);
  db.stores().teams().join(forming, "P12", 4);
  mark("P07", "lab-7", "Retailer", 0);
  mark("P12", "lab-8", "Wholesaler", 0);
  playingTeam({"Four", "Red"}, 3);
  mark("Red-3", "lab-3", "Distributor", 2, 200, PlayState::Choosing);
  recordedWeek("Red-1", "Four");
  recordedWeek("P1", "Solo");
  admin::WatchOptions options;
  options.once = true;
  std::ostringstream out;
  admin::runWatch(options, *openMonitor(db.choice()), "the lab's server", clock, out, false,
                  admin::planTeams(db.stores().plan()));
  EXPECT_EQ(
      out.str(),
      "2024-03-05 14:10:00  the lab's server\n"
      "User ID  Setting  Trial  Week  Role      State            Cost  Workstation\n"
      "P1       Solo     1      1     Retailer  closed 5:00 ago  8     -\n"
      "1 participant playing or active in the last hour; GONE: a workstation silent for more "
      "than 60 s (a running one speaks every 15 s)\n"
      "\n"
      "Team  Setting  Trial  Week     Member   Role         State                            "
      "                                      Workstation\n"
      "Blue  Four     -      -                              Waiting for your team: 2 of 4 here "
      "(P07, P12)\n"
      "                               1 P07    Retailer     waiting for the team for 0:30    "
      "                                      lab-7 (process 42)\n"
      "                               2 P12    Wholesaler   waiting for the team for 0:30    "
      "                                      lab-8 (process 42)\n"
      "Red   Four     1      2 of 20                        waiting for Red-3 since 14:09:10 "
      "(0:50); ordered: Red-1, Red-2, Red-4\n"
      "                               1 Red-1  Retailer     waiting for the team for 0:30    "
      "                                      lab-1 (process 42)\n"
      "                               2 Red-2  Wholesaler   waiting for the team for 0:30    "
      "                                      lab-2 (process 42)\n"
      "                               3 Red-3  Distributor  choosing an order for 0:30       "
      "                                      lab-3 (process 42)  GONE 3:20\n"
      "                               4 Red-4  Factory      waiting for the team for 0:30    "
      "                                      lab-4 (process 42)\n"
      "2 teams of team settings seen in the last hour; a team's week is played once every "
      "member has ordered\n");
}

// The open week waits for every member still playing: a replaced member is
// not waited for, a week every member ordered opens the next one, and the
// last week ordered ends the trial.
TEST_F(TeamWatch, TheOpenWeekWaitsForTheMembersStillPlaying) {
  db.insert("tblPlayer", {{"Name", "Passer"}});
  playingTeam({"Four", "AllIn"}, 0);
  playingTeam({"Four", "Replaced"}, 3);
  const auto fromWeek2 = [](int16_t) { return MemberTrialShape{20, "Distributor"}; };
  db.stores().teams().replace({"Four", "Replaced"}, 3, "Passer", fromWeek2);
  playingTeam({"Four", "Waits"}, 2);
  for (int16_t m = 1; m <= 4; ++m) {
    db.stores().teams().join({"Four", "Over"}, "Over-" + std::to_string(m), 4);
    order({"Four", "Over"}, 1, 20, m, 5);
  }
  mark("Over-1", "lab-9", "Retailer", 20);
  const struct {
    const char* team;
    int16_t week;
    bool trialOver;
    std::vector<std::string> ordered;
    std::vector<std::string> waitingFor;
    std::optional<int64_t> waitingSeconds;
  } cases[] = {
      {"AllIn", 3, false, {}, {"AllIn-1", "AllIn-2", "AllIn-3", "AllIn-4"}, 20},
      {"Over", 20, true, {}, {}, 5},
      {"Replaced", 3, false, {}, {"Replaced-1", "Replaced-2", "Replaced-4"}, 20},
      {"Waits", 2, false, {"Waits-1", "Waits-3", "Waits-4"}, {"Waits-2"}, 50},
  };
  const std::vector<admin::WatchTeam> shown = teams();
  ASSERT_EQ(shown.size(), std::size(cases));
  for (size_t i = 0; i < shown.size(); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(shown[i].team, c.team);
    EXPECT_EQ(shown[i].week, c.week) << c.team;
    EXPECT_EQ(shown[i].trialOver, c.trialOver) << c.team;
    EXPECT_EQ(shown[i].ordered, c.ordered) << c.team;
    EXPECT_EQ(shown[i].waitingFor, c.waitingFor) << c.team;
    EXPECT_EQ(shown[i].waitingSeconds, c.waitingSeconds) << c.team;
  }
  EXPECT_EQ(admin::teamStateText(shown[1]), "the trial's last week is played");
}

// A team the moderator fixed counts as here only the members that have a
// workstation; a team with nobody here and no recent order is not shown.
TEST_F(TeamWatch, AFixedTeamCountsTheMembersWithAWorkstation) {
  db.stores().teams().fixMembers({"Four", "Fixed"}, {"P1", "P2", "P3", "P4"});
  db.stores().teams().fixMembers({"Four", "Nobody"}, {"P5", "P6", "P7", "P8"});
  mark("P3", "lab-3", "Distributor", 0);
  const std::vector<admin::WatchTeam> shown = teams();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(admin::teamStateText(shown[0]), "Waiting for your team: 1 of 4 here (P3)");
}

// A class's smaller team whose open stage a simulated player took counts
// its students only: complete once they are here, never waiting for the
// open stage.
TEST_F(TeamWatch, ASmallerTeamCountsItsStudentsOnly) {
  db.insert("tblPlayer", {{"Name", "Passer"}});
  const TeamKey small{"Four", "Small"};
  const char* roles[] = {"Retailer", "Wholesaler", "Distributor", "Factory"};
  for (int16_t m = 1; m <= 3; ++m) {
    const std::string subject = "S" + std::to_string(m);
    db.stores().teams().join(small, subject, 4);
    mark(subject.c_str(), ("lab-" + std::to_string(m)).c_str(), roles[m - 1], 0);
  }
  const std::vector<std::string> stages(std::begin(roles), std::end(roles));
  db.stores().teams().giveOpenMembers(small, 4, "Passer", {stages, stages});
  const std::vector<admin::WatchTeam> before = teams();
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].size, 3);
  EXPECT_FALSE(before[0].forming()) << admin::teamStateText(before[0]);
  order(small, 1, 1, 1, 30);
  order(small, 1, 1, 2, 20);
  const std::vector<admin::WatchTeam> shown = teams();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].waitingFor, std::vector<std::string>{"S3"});
}

// --json: a team is one object after the participants' lines.
TEST_F(TeamWatch, JsonLinesCarryTheTeams) {
  db.stores().teams().join({"Four", "Blue"}, "P07", 4);
  mark("P07", "lab-7", "Retailer", 0);
  std::ostringstream out;
  admin::runWatch(admin::parseWatchArguments({"db", "--once", "--json"}), *openMonitor(db.choice()),
                  "db", clock, out, false, admin::planTeams(db.stores().plan()));
  EXPECT_EQ(out.str(),
            R"j({"time":"2024-03-05 14:10:00","team":"Blue","setting":"Four","size":4,"here":1,)j"
            R"j("trial":null,"training":false,"week":null,"weeks":20,"ordered":[],)j"
            R"j("waitingFor":[],"waitingSeconds":null,)j"
            R"j("state":"Waiting for your team: 1 of 4 here (P07)","members":[{"member":1,)j"
            R"j("subject":"P07","trial":1,"training":false,"week":null,"role":"Retailer",)j"
            R"j("state":"team",)j"
            R"j("workstation":"lab-7 (process 42)","gone":false,"replacedBy":null}]})j"
            "\n");
}

}  // namespace
}  // namespace quarn::testing
