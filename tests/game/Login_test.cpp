#include "game/Login.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <functional>

#include "db/PlayingMark.h"
#include "tests/game/GameFixture.h"

namespace quarn::testing {
namespace {

// Demo has two trials, O'Brien five.
class LoginTest : public GameTest {
 protected:
  LoginTest() {
    addTrials("Demo", 2, 3);
    db.insert("tblBlock", planRow(false, {{"Setting", "O'Brien"}, {"Runs", 5}}));
  }

  // The mark of a participant playing at another workstation, refreshed by a
  // week recorded `ago` seconds before now.
  int64_t markElsewhere(const std::string& subject, const std::string& host, int64_t process,
                        int64_t ago) {
    const int64_t now = std::time(nullptr), since = now - ago - 60;
    db.insert("datPlaying", {{"Subject", subject},
                             {"Setting", "Demo"},
                             {"Host", host},
                             {"Process", process},
                             {"Since", since},
                             {"LastWeek", now - ago}});
    return since;
  }
  bool markedHere(const std::string& subject) const {
    const Workstation here = thisWorkstation();
    return db.count("datPlaying", "Subject='" + subject + "' AND Host='" + here.host +
                                      "' AND Process=" + std::to_string(here.process)) == 1;
  }
  void addRecorded(const std::string& subject, const std::string& setting, int trial) {
    addWeek(subject, setting, trial, 1);
  }
  // A week as a session records it: four rows, one per stage.
  void addWeek(const std::string& subject, const std::string& setting, int trial, int week) {
    for (int16_t r = 0; r < kRoleCount; ++r) addWeekRow(subject, setting, trial, week, roleName(r));
  }
  void addWeekRow(const std::string& subject, const std::string& setting, int trial, int week,
                  const std::string& role) {
    db.insert("datRole", {{"Subject", subject},
                          {"Setting", setting},
                          {"Trial", trial},
                          {"Training", trial < 1},
                          {"Week", week},
                          {"Role", role}});
  }
  void addTrialRecord(const std::string& subject, const std::string& setting, int trial) {
    db.insert(
        "datTrial",
        {{"Subject", subject}, {"Setting", setting}, {"Trial", trial}, {"Training", trial < 1}});
  }
};

TEST_F(LoginTest, OpeningTheDatabaseListsItsSettings) {
  EXPECT_EQ(session.openDatabase(" quarn.mdb "), (std::vector<std::string>{"Demo", "O'Brien"}));
  EXPECT_EQ(access.location(), appFolder.string() + "/data/quarn.mdb");
}

TEST_F(LoginTest, RefusesSettingNotOfferedExactly) {
  for (const char* setting : {"demo", "", "Demo ", "O'Brien?"}) {
    SCOPED_TRACE(setting);
    prompter.shown.clear();
    EXPECT_EQ(logIn("S1", setting), LoginResult::RetrySetting);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().prompt, "Need to choose a valid setting");
  }
  EXPECT_EQ(db.count("datUser"), 0);
}

// A comma would shift the fields of the text file's lines; an empty User ID
// would name the file ".txt"; an invisible character makes a look-alike of
// another participant's User ID.
TEST_F(LoginTest, RefusesUserIdThatCannotNameAFileOrLine) {
  for (const char* subject :
       {"a/b", "a\\b", "c:d", "x*", "why?", "<a|b>", "..", "tab\there", "P,1", "", "   ",
        "P\xE2\x80\x8B"
        "07",
        "\xE2\x80\xAE"
        "70P",
        "ABCDEFGHIJKLMNOPQRSTUV"}) {
    SCOPED_TRACE(subject);
    prompter.shown.clear();
    EXPECT_EQ(logIn(subject, "Demo"), LoginResult::RetrySubject);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().kind, PromptKind::SubjectIdRefused);
  }
  EXPECT_EQ(subjectIdFault("Zoë O'Neil.b"), "");
  EXPECT_EQ(db.count("datUser"), 0);
}

TEST_F(LoginTest, RefusesSettingNameThatBreaksTheTextFileLines) {
  db.insert("tblBlock", {{"Setting", "A,B"}, {"Index", 1}});
  EXPECT_EQ(logIn("S1", "A,B"), LoginResult::RetrySetting);
  EXPECT_EQ(prompter.last().kind, PromptKind::SettingBreaksTextLines);
  EXPECT_EQ(db.count("datUser"), 0);
}

// Training rows (Trial below 1) do not count; quotes go into the queries
// safely; blanks around the User ID are dropped.
TEST_F(LoginTest, KnownParticipantResumesAfterTheHighestTrial) {
  addParticipant("d'Arcy", "Demo");
  for (int trial : {-1, 3, 4}) addRecorded("d'Arcy", "O'Brien", trial);
  addRecorded("d'Arcy", "Demo", -2);
  EXPECT_EQ(logIn("  d'Arcy ", "O'Brien"), LoginResult::LoggedIn);
  EXPECT_EQ(prompter.last().prompt,
            "Continue with user d'Arcy on Trial 5?  Click No to change name");
  EXPECT_EQ(state().identity.subject, "d'Arcy");
  EXPECT_EQ(state().identity.setting, "O'Brien");
  EXPECT_EQ(state().plan.currentTrial, 4);
  EXPECT_EQ(state().costSum, 0);
}

TEST_F(LoginTest, ResumeAnsweredNoReturnsToTheUserIdAndLeavesNoMark) {
  addParticipant("P1", "Demo");
  prompter.byKind[PromptKind::Resume] = Answer::No;
  EXPECT_EQ(logIn("P1", "Demo"), LoginResult::RetrySubject);
  EXPECT_EQ(prompter.last().prompt, "Continue with user P1 on Trial 1?  Click No to change name");
  EXPECT_EQ(db.count("datPlaying"), 0);
  EXPECT_EQ(session.phase(), Phase::LoggedOut);
}

TEST_F(LoginTest, NewParticipantIsRegisteredWithTheQuestionnaireAnswers) {
  view.questionnaire = Questionnaire{5, "Female", "Other", "Other"};
  EXPECT_EQ(logIn("New1", "Demo"), LoginResult::LoggedIn);
  EXPECT_EQ(prompter.shown[0].prompt, "User ID not found.  Register as a new user?");
  EXPECT_EQ(db.count("datUser",
                     "Subject='New1' AND Setting='Demo' AND Age=5 AND "
                     "Gender='Female' AND SchoolYear='Other' AND Major='Other'"),
            1);
  EXPECT_EQ(state().plan.currentTrial, 0);
  EXPECT_TRUE(markedHere("New1"));
}

// Answers the window would not give (a browser's page brings them) are
// refused with the window's message, storing nothing.
TEST_F(LoginTest, IncompleteQuestionnaireAnswersAreRefusedStoringNothing) {
  const struct {
    Questionnaire answers;
    std::string said;
  } cases[] = {
      {{30, "", "Other", "Other"}, "Please indicate gender"},
      {{30, "female", "", ""}, "Please indicate gender"},
      {{std::nullopt, "Male", "", ""}, "Please enter your age (I know you're older than 5)"},
      {{4, "Male", "", ""}, "Please enter your age (I know you're older than 5)"},
      {{100, "Female", "", ""}, "Please enter your age (I know you're older than 5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    GameSession fresh = freshSession();
    view.questionnaire = c.answers;
    fresh.setView(&view);
    fresh.openDatabase("quarn.mdb");
    EXPECT_EQ(fresh.logIn({"New3", "Demo", ""}), LoginResult::RetrySubject);
    EXPECT_EQ(prompter.last().kind, PromptKind::QuestionnaireIncomplete);
    EXPECT_EQ(prompter.last().prompt, c.said);
  }
  EXPECT_EQ(db.count("datUser") + db.count("datPlaying"), 0);
}

// Registration answered No, or its questionnaire cancelled.
TEST_F(LoginTest, RegistrationTurnedDownReturnsToTheUserIdStoringNothing) {
  for (const bool answeredNo : {true, false}) {
    SCOPED_TRACE(answeredNo);
    GameSession fresh = freshSession();
    prompter.byKind[PromptKind::RegisterNewUser] = answeredNo ? Answer::No : Answer::Yes;
    view.questionnaire.reset();
    fresh.setView(&view);
    fresh.openDatabase("quarn.mdb");
    EXPECT_EQ(fresh.logIn({"New2", "Demo", ""}), LoginResult::RetrySubject);
  }
  EXPECT_EQ(view.questionnaires, 1);
  EXPECT_EQ(db.count("datUser") + db.count("datPlaying"), 0);
}

// The plan is checked before the participant is looked up or registered;
// the application ends on the refusal as on any error, with status 1.
TEST_F(LoginTest, RefusedPlanWritesNothingAndEndsWithStatusOne) {
  db.insert("tblBlock", planRow(false, {{"Setting", "Broken"}, {"Delay", 7}}));
  try {
    logIn("New", "Broken");
    ADD_FAILURE() << "the refused plan did not end the application";
  } catch (const ApplicationEnd& end) {
    EXPECT_EQ(end.code(), 1);
  }
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_NE(prompter.last().prompt.find("Delay 7"), std::string::npos) << prompter.last().prompt;
  EXPECT_EQ(view.questionnaires, 0);
  EXPECT_EQ(db.count("datUser"), 0);
}

// Teams play on the lab server only: a team setting in a file is refused
// at the login, before anyone is registered.
TEST_F(LoginTest, TeamSettingInAFileIsRefusedWritingNothing) {
  db.insert(
      "tblBlock",
      planRow(false, {{"Setting", "Team"}, {"Factory", "Subject2"}, {"Retailer", "Subject1"}}));
  EXPECT_THROW(logIn("New", "Team"), ApplicationEnd);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_NE(prompter.last().prompt.find("Team settings need the lab server"), std::string::npos)
      << prompter.last().prompt;
  EXPECT_EQ(db.count("datUser"), 0);
}

// Rows that no session leaves are named to the moderator, and the login
// goes no further: resuming on them would file the participant's later
// weeks or trials under the wrong Trial numbers. Demo has two trials of
// three weeks.
TEST_F(LoginTest, RecordsThatContradictEachOtherAreNamedAndNotBuiltOn) {
  struct Case {
    const char* subject;
    std::function<void(const std::string&)> rows;
    const char* named;
  };
  const std::vector<Case> cases = {
      {"Stray",
       [&](const std::string& s) {
         addWeek(s, "Demo", 1, 1);
         addWeekRow(s, "Demo", 1, 2, "Retailer");
       },
       "datRole Trial 1, Week 2, Retailer: a week is recorded as four rows"},
      {"Moved",
       [&](const std::string& s) {
         for (const char* role : {"Factory", "Distributor", "Wholesaler"}) {
           addWeekRow(s, "Demo", 1, 1, role);
         }
         addWeekRow(s, "Demo", 2, 1, "Retailer");
       },
       "datRole Trial 1, Week 1, Distributor; datRole Trial 1, Week 1, Factory; datRole Trial 1, "
       "Week 1, Wholesaler: a week"},
      {"LateWeek",
       [&](const std::string& s) {
         addWeek(s, "Demo", 1, 1);
         addWeek(s, "Demo", 1, 4);
       },
       "datRole Trial 1, Week 4, Distributor; datRole Trial 1, Week 4, Factory; datRole Trial 1, "
       "Week 4, Retailer; datRole Trial 1, Week 4, Wholesaler: the trial has no week"},
      {"NoSuchTrial", [&](const std::string& s) { addTrialRecord(s, "Demo", 3); },
       "datTrial Trial 3: the setting has no trial of that number"},
      {"TrialAhead",
       [&](const std::string& s) {
         for (int week = 1; week <= 3; ++week) addWeek(s, "Demo", 1, week);
         addTrialRecord(s, "Demo", 1);
         addTrialRecord(s, "Demo", 2);
       },
       "datTrial Trial 2: the trial is recorded as played, but no week of it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subject);
    addParticipant(c.subject, "Demo");
    c.rows(c.subject);
    prompter.shown.clear();
    GameSession fresh = freshSession();
    fresh.openDatabase("quarn.mdb");
    EXPECT_EQ(fresh.logIn({c.subject, "Demo", ""}), LoginResult::RetrySubject);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().kind, PromptKind::RecordsContradict);
    EXPECT_EQ(prompter.last().prompt.rfind(std::string("The records of ") + c.subject +
                                               " in setting Demo contradict each other",
                                           0),
              0u);
    EXPECT_NE(prompter.last().prompt.find(c.named), std::string::npos) << prompter.last().prompt;
    EXPECT_NE(prompter.last().prompt.find("Correct or remove these rows"), std::string::npos);
  }
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// A User ID without its datUser row has no records: rows of it are named
// before the moderator is asked to register it.
TEST_F(LoginTest, RecordsOfAnUnregisteredUserIdAreNamedBeforeRegistering) {
  addWeek("Ghost", "Demo", 1, 1);
  addTrialRecord("Ghost", "Demo", 1);
  EXPECT_EQ(logIn("Ghost", "Demo"), LoginResult::RetrySubject);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().kind, PromptKind::RecordsContradict);
  EXPECT_NE(prompter.last().prompt.find("datRole Trial 1, Week 1, Distributor; "),
            std::string::npos);
  EXPECT_NE(prompter.last().prompt.find("datTrial Trial 1: the User ID is not registered"),
            std::string::npos)
      << prompter.last().prompt;
  EXPECT_EQ(view.questionnaires, 0);
  EXPECT_EQ(db.count("datUser"), 0);
}

// What a session leaves when it is killed, left at the exit question, or
// told to ignore a week it could not store is resumed as before. O'Brien
// has five trials.
TEST_F(LoginTest, RecordsThatSessionsLeaveAreResumed) {
  struct Case {
    const char* subject;
    std::function<void(const std::string&)> rows;
    int16_t resumeAt;  // CurrentTrial
  };
  const std::vector<Case> cases = {
      {"Killed", [&](const std::string& s) { addWeek(s, "O'Brien", 1, 1); }, 1},
      {"Exited",
       [&](const std::string& s) {
         addWeek(s, "O'Brien", 1, 1);
         addTrialRecord(s, "O'Brien", 1);
       },
       1},
      {"KilledLater",
       [&](const std::string& s) {
         addWeek(s, "O'Brien", 1, 1);
         addTrialRecord(s, "O'Brien", 1);
         addWeek(s, "O'Brien", 2, 1);
         addWeek(s, "O'Brien", 2, 2);
       },
       2},
      {"Ignored",
       [&](const std::string& s) {
         addWeek(s, "O'Brien", 1, 1);
         addWeek(s, "O'Brien", 1, 3);
       },
       1},
      {"Trained",
       [&](const std::string& s) {
         addWeek(s, "O'Brien", -1, 1);
         addTrialRecord(s, "O'Brien", -1);
         addWeek(s, "O'Brien", -2, 1);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subject);
    addParticipant(c.subject, "O'Brien");
    c.rows(c.subject);
    GameSession fresh = freshSession();
    fresh.openDatabase("quarn.mdb");
    EXPECT_EQ(fresh.logIn({c.subject, "O'Brien", ""}), LoginResult::LoggedIn)
        << prompter.last().prompt;
    EXPECT_EQ(fresh.state().plan.currentTrial, c.resumeAt);
    fresh.endSession();
  }
}

// Said with the User ID as stored, before any training is announced.
TEST_F(LoginTest, ParticipantWhoPlayedEveryTrialIsRefused) {
  addTraining("Demo");
  addParticipant("P1", "Demo");
  addRecorded("P1", "Demo", 2);
  EXPECT_EQ(logIn("p1", "Demo"), LoginResult::RetrySubject);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().prompt, "P1 has completed all 2 trials of setting Demo");
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// No leaves the other workstation's mark as it was; Yes takes it over.
TEST_F(LoginTest, IdPlayingAtAnotherWorkstationAsksNamingIt) {
  addParticipant("P1", "Demo");
  const int64_t since = markElsewhere("P1", "lab-7", 4711, 30);
  prompter.answers = {Answer::No};
  EXPECT_EQ(logIn("p1", "Demo"), LoginResult::RetrySubject);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().prompt, "P1 is playing at workstation lab-7 (process 4711) since " +
                                        localTimeText(since) +
                                        ".\r\nTake P1 over on this workstation?  Answer Yes only "
                                        "if that session has ended.");
  EXPECT_EQ(prompter.last().kind, PromptKind::TakeOver);
  EXPECT_EQ(prompter.last().style, PromptStyle::YesNoWarning);
  EXPECT_EQ(db.count("datPlaying", "Host='lab-7' AND Process=4711"), 1);
  prompter.byKind[PromptKind::TakeOver] = Answer::Yes;
  EXPECT_EQ(logIn("P1", "Demo"), LoginResult::LoggedIn);
  EXPECT_EQ(db.count("datPlaying"), 1);
  EXPECT_TRUE(markedHere("P1"));
}

// The other workstation's session is ended only once the take-over is
// complete: turning back at the resume question leaves its mark (and so its
// session) as it was. Yes is no default for a question that ends a session.
TEST_F(LoginTest, TakeOverWaitsForTheResume) {
  addParticipant("P1", "Demo");
  markElsewhere("P1", "lab-7", 4711, 30);
  prompter.byKind[PromptKind::TakeOver] = Answer::Yes;
  prompter.byKind[PromptKind::Resume] = Answer::No;
  EXPECT_EQ(logIn("P1", "Demo"), LoginResult::RetrySubject);
  EXPECT_TRUE(prompter.shown.front().noByDefault);
  EXPECT_EQ(db.count("datPlaying", "Host='lab-7' AND Process=4711"), 1);
  EXPECT_FALSE(markedHere("P1"));
  prompter.byKind[PromptKind::Resume] = Answer::Yes;
  EXPECT_EQ(logIn("P1", "Demo"), LoginResult::LoggedIn);
  EXPECT_EQ(db.count("datPlaying"), 1);
  EXPECT_TRUE(markedHere("P1"));
}

// A name in the "Setup File" box that names no file is refused, and the
// database in use stays, with its settings.
TEST_F(LoginTest, SetupFileThatDoesNotExistIsRefused) {
  ASSERT_EQ(session.openDatabase("quarn.mdb").size(), 2u);
  for (const char* name : {"nope.mdb", "lab.conf", ""}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(session.useDatabase(name));
    EXPECT_EQ(prompter.last().kind, PromptKind::SetupFileMissing);
    EXPECT_EQ(access.location(), appFolder.string() + "/data/quarn.mdb");
  }
  EXPECT_EQ(prompter.last().prompt,
            "There is no file " + appFolder.string() +
                "/data/.\r\nPlease correct the name in the Setup File box.");
  EXPECT_EQ(session.readSettings(), (std::vector<std::string>{"Demo", "O'Brien"}));
}

// A mark without a week for a quarter of an hour, or left on this computer
// by a process that has ended, is taken without a question.
TEST_F(LoginTest, StaleOrEndedMarkDoesNotCount) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const struct {
    std::string subject, host;
    int64_t process, ago;
  } cases[] = {{"P1", thisWorkstation().host, getppid(), kMarkStaleAfterSeconds + 1},
               {"P2", thisWorkstation().host, ended, 30}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.subject);
    addParticipant(k.subject, "Demo");
    markElsewhere(k.subject, k.host, k.process, k.ago);
    GameSession fresh = freshSession();
    fresh.openDatabase("quarn.mdb");
    EXPECT_EQ(fresh.logIn({k.subject, "Demo", ""}), LoginResult::LoggedIn);
    EXPECT_EQ(prompter.count(PromptKind::TakeOver), 0);
    EXPECT_TRUE(markedHere(k.subject));
  }
}

// A file from before the schema recorded its version, and before the marks
// (and the teams, the settings' table and the classes, which came later
// still).
TEST_F(LoginTest, OlderFileIsUpgradedOnceAndGetsTheMarks) {
  db.exec(
      "DROP TABLE datPlaying; DROP TABLE sysSchema; DROP TABLE datTeamMember; "
      "DROP TABLE datTeamOrder; DROP TABLE datTeam; DROP TABLE tblSetting; "
      "DROP TABLE datClass; DROP TABLE datClassMember;");
  addParticipant("P1", "Demo");
  EXPECT_EQ(logIn("P1", "Demo"), LoginResult::LoggedIn);
  EXPECT_TRUE(markedHere("P1"));
  int upgraded = 0;
  for (const auto& shown : prompter.shown)
    upgraded += shown.prompt.find("was upgraded") != std::string::npos;
  EXPECT_EQ(upgraded, 1);
}

}  // namespace
}  // namespace quarn::testing
