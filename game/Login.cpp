#include "game/Login.h"

#include <algorithm>
#include <iterator>

#include "analysis/RecordCheck.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "game/ExperimentLoading.h"
#include "game/TeamPlay.h"
#include "game/WorkstationMark.h"
#include "plan/PlanReaders.h"
#include "plan/RowReader.h"
#include "plan/SettingCheck.h"

namespace quarn {

namespace {

class Login {
 public:
  Login(GameServices& services, GameState& state, GameView& view)
      : m_services(services), m_state(state), m_view(view) {}

  LoginResult run(const std::vector<std::string>& settings, const LoginRequest& request) {
    if (!takeSetting(settings, request.setting)) return LoginResult::RetrySetting;
    if (!takeSubject(request.subject)) return LoginResult::RetrySubject;
    const int16_t trialCount = checkChosenPlan();
    if (!takeTeam(request.team)) return LoginResult::RetrySubject;
    // The participant reads the rest (the questionnaire first) in the
    // setting's language; the records stay in English.
    m_view.languageChosen(m_services.db.planTables().settingLanguage(m_state.identity.setting));
    const bool known = findParticipant();
    if (!recordsAgree(known)) return LoginResult::RetrySubject;
    if (!teamTakesParticipant()) return LoginResult::RetrySubject;
    if (!known) {
      m_state.plan.currentTrial = 0;
      return registerNewParticipant() && joinTeam() ? LoginResult::LoggedIn
                                                    : LoginResult::RetrySubject;
    }
    return resumeKnownParticipant(trialCount) && joinTeam() ? LoginResult::LoggedIn
                                                            : LoginResult::RetrySubject;
  }

 private:
  Answer ask(const std::string& text, PromptStyle style, const std::string& title,
             PromptKind kind) {
    return m_services.prompter.ask(text, style, title, kind);
  }
  std::string translate(const char* context, const char* text) const {
    return m_services.prompter.translate(context, text);
  }

  // The setting exactly as offered: "demo" is not "Demo".
  bool takeSetting(const std::vector<std::string>& settings, const std::string& typed) {
    std::string& setting = m_state.identity.setting;
    setting.clear();
    if (std::find(settings.begin(), settings.end(), typed) == settings.end()) {
      ask(translate("Login", "Need to choose a valid setting"), PromptStyle::Ok, "",
          PromptKind::InvalidSetting);
      return false;
    }
    setting = typed;
    // A comma or a line break would shift or split the text file's lines.
    const std::string fault = textLineFault(setting);
    if (fault.empty()) return true;
    ask(withArguments(translate("Login",
                                "The setting name %1 %2, which would break the lines of the "
                                "participant's text file.  Please choose another setting."),
                      {printable(setting), translate("Text", fault.c_str())}),
        PromptStyle::OkWarning, translate("Login", "Login"), PromptKind::SettingBreaksTextLines);
    return false;
  }

  bool takeSubject(const std::string& typed) {
    std::string& subject = m_state.identity.subject;
    subject = std::string(trimBlanks(typed));
    const std::string fault = subjectIdFault(subject);
    if (fault.empty()) return true;
    ask(translate("Login", fault.c_str()), PromptStyle::OkWarning, translate("Login", "Login"),
        PromptKind::SubjectIdRefused);
    return false;
  }

  // Refuses a faulty plan the way the game's start does (the refusal ends
  // the application) before the participant is looked up or registered, so
  // that nothing is written for a plan that cannot be played. Returns the
  // setting's number of experiment trials.
  int16_t checkChosenPlan() {
    DatabaseAccess& db = m_services.db;
    const std::string& setting = m_state.identity.setting;
    Plan players;
    loadPlayers(db.planTables(), players);
    const std::vector<PlanFault> faults =
        checkSetting(db.planTables(), players.players, setting, m_services.appFolder + "/Input");
    if (const PlanFault* fault = firstFault(faults)) refusePlan(m_services.prompter, *fault);
    // A plan without refusals makes one trial per Run of its rows.
    m_blocks =
        readBlocks(db.planTables(), players.players, setting, m_services.appFolder + "/Input")
            .trials;
    return narrow16(static_cast<int64_t>(m_blocks.size()), "Trials");
  }

  // A team setting needs the team's name, which follows the rule of User
  // IDs; any other setting ignores the box.
  bool takeTeam(const std::string& typed) {
    TeamSession& team = m_state.team;
    team = TeamSession{};
    if (!hasTeamTrial(m_blocks)) return true;
    const std::string name(trimBlanks(typed));
    const std::string fault = teamNameFault(name);
    if (!fault.empty()) {
      ask(translate("Login", fault.c_str()), PromptStyle::OkWarning, translate("Login", "Login"),
          PromptKind::TeamNameNeeded);
      return false;
    }
    team.key = {m_state.identity.setting, name};
    team.size = teamSize(m_blocks.front());
    return true;
  }

  // Whether the team named takes the participant, asked before anything is
  // written (the questionnaire, the mark): a full team, or a participant
  // who is a member of another team of the setting, is refused. The team
  // goes on under the name its first member gave it.
  bool teamTakesParticipant() {
    TeamSession& team = m_state.team;
    if (!team.active()) return true;
    DatabaseAccess& db = m_services.db;
    const TeamJoin open = db.read(
        [&] { return db.teams().wouldJoin(team.key, m_state.identity.subject, team.size); });
    return acceptJoin(open);
  }

  // Joins the team named at the login: the member number kept from an
  // earlier login or fixed by the moderator, else the next one free.
  bool joinTeam() {
    TeamSession& team = m_state.team;
    if (!team.active()) return true;
    DatabaseAccess& db = m_services.db;
    const TeamJoin joined = db.read([&] {
      return db.teams().join(team.key, m_state.identity.subject, team.size, markSecret(m_state));
    });
    if (acceptJoin(joined)) return true;
    releaseWorkstation(m_services, m_state);
    return false;
  }

  // Takes the member number and the team's stored name of a join, or says
  // why the team refuses.
  bool acceptJoin(const TeamJoin& join) {
    TeamSession& team = m_state.team;
    if (join.member) {
      team.key.team = join.team;
      team.member = *join.member;
      return true;
    }
    if (!join.otherTeam.empty()) {
      ask(withArguments(translate("Login",
                                  "%1 is a member of team %2 in this setting.  Please type %2 in "
                                  "the Team box."),
                        {m_state.identity.subject, join.otherTeam}),
          PromptStyle::OkWarning, translate("Login", "Login"), PromptKind::TeamOfOtherMember);
    } else {
      team.key.team = join.team;
      readTeamMembers(m_services, m_state);
      std::vector<std::string> members;
      for (const TeamMember& m : team.members) members.push_back(m.subject);
      ask(withArguments(translate("Login", "Team %1 is full: its members are %2."),
                        {team.key.team, joinText(members, ", ")}),
          PromptStyle::OkWarning, translate("Login", "Login"), PromptKind::TeamFull);
    }
    team = TeamSession{};
    return false;
  }

  // The User ID as datUser holds it: as typed, or else without regard to
  // letter case. A participant found goes on under the stored spelling.
  bool findParticipant() {
    std::string& subject = m_state.identity.subject;
    const std::optional<std::string> stored = m_services.db.findParticipant(subject);
    if (stored) subject = *stored;
    return stored.has_value();
  }

  // Records that contradict each other are not built on: the moderator is
  // told which rows and what to do, before anything is written.
  bool recordsAgree(bool registered) {
    constexpr size_t kShownContradictions = 5;
    constexpr size_t kShownRows = 4;
    const Identity& identity = m_state.identity;
    const RecordKeys keys = m_services.db.recordKeys(identity.setting, identity.subject);
    const std::vector<RecordContradiction> found =
        registered ? findContradictions(keys, m_blocks) : unregisteredRecords(keys);
    if (found.empty()) return true;
    std::string rows;
    for (size_t i = 0; i < found.size() && i < kShownContradictions; ++i) {
      rows += describeContradiction(found[i], kShownRows, &m_services.prompter) + "\r\n";
    }
    ask(withArguments(
            translate("Login",
                      "The records of %1 in setting %2 contradict each other, and the game would "
                      "file this participant's weeks under the wrong trials:\r\n%3"
                      "Correct or remove these rows (quarngame-admin check lists them all), or "
                      "give the participant another User ID."),
            {identity.subject, identity.setting, rows}),
        PromptStyle::OkWarning, translate("Login", "Login"), PromptKind::RecordsContradict);
    return false;
  }

  bool registerNewParticipant() {
    if (ask(translate("Login", "User ID not found.  Register as a new user?"),
            PromptStyle::YesNoWarning, translate("Login", "Login"),
            PromptKind::RegisterNewUser) != Answer::Yes) {
      return false;
    }
    if (!storeQuestionnaire()) return false;
    switch (claimWorkstation(m_services, m_state)) {
      case Claim::Marked:
        return true;
      case Claim::TakeOverAgreed:
        completeTakeOver(m_services, m_state);
        return true;
      case Claim::Refused:
        break;
    }
    return false;
  }

  // Asks the questionnaire until its row is stored or it is cancelled. A row
  // that cannot be stored leaves nothing behind; the answers are offered
  // again, so that the moderator can try once more. Incomplete answers (the
  // window never gives them; a view that brought them from elsewhere may)
  // are said and refused, storing nothing.
  bool storeQuestionnaire() {
    const Identity& identity = m_state.identity;
    std::optional<Questionnaire> answers;
    for (;;) {
      answers = m_view.askQuestionnaire(identity.subject, answers);
      if (!answers) return false;
      if (const std::optional<Prompt> fault = questionnaireFault(*answers, m_services.prompter)) {
        m_services.prompter.ask(*fault);
        return false;
      }
      const ParticipantRow row{identity.subject, identity.setting,    answers->age,
                               answers->gender,  answers->schoolYear, answers->major};
      try {
        m_services.db.registerParticipant(row);
        return true;
      } catch (const QuarnError& failure) {
        ask(withArguments(
                translate("Login", "The participant could not be registered.\r\nError %1: %2"),
                {std::to_string(failure.number()), failure.description()}),
            PromptStyle::OkWarning, translate("Login", "New User Questionaire"),
            PromptKind::RegistrationFailed);
      }
    }
  }

  // A participant marked at another workstation is taken over only once the
  // resume is confirmed: backing out at either question leaves that session
  // playing.
  bool resumeKnownParticipant(int16_t trialCount) {
    const Identity& identity = m_state.identity;
    const Claim claim = claimWorkstation(m_services, m_state);
    if (claim == Claim::Refused) return false;
    readResumeTrial();
    if (refuseCompleted(trialCount)) return false;
    if (ask(withArguments(
                translate("Login", "Continue with user %1 on Trial %2?  Click No to change name"),
                {identity.subject, std::to_string(m_state.plan.currentTrial + 1)}),
            PromptStyle::YesNo, translate("Login", "Resume"), PromptKind::Resume) != Answer::Yes) {
      releaseWorkstation(m_services, m_state);
      return false;
    }
    if (claim == Claim::TakeOverAgreed) {
      completeTakeOver(m_services, m_state);
      // Read again now that the participant is marked here: the session
      // taken over may have played on until then.
      readResumeTrial();
      if (refuseCompleted(trialCount)) return false;
    }
    return true;
  }

  bool refuseCompleted(int16_t trialCount) {
    const Identity& identity = m_state.identity;
    if (m_state.plan.currentTrial < trialCount) return false;
    releaseWorkstation(m_services, m_state);
    const std::string text =
        trialCount == 1
            ? withArguments(translate("Login", "%1 has completed the only trial of setting %2"),
                            {identity.subject, identity.setting})
            : withArguments(translate("Login", "%1 has completed all %3 trials of setting %2"),
                            {identity.subject, identity.setting, std::to_string(trialCount)});
    ask(text, PromptStyle::OkWarning, translate("Login", "Login"), PromptKind::CompletedAll);
    return true;
  }

  // The trial after the highest one recorded for the participant in the
  // setting. Training rows carry Trial numbers below 1; a participant who has
  // only those starts at the first experiment trial.
  void readResumeTrial() {
    const Identity& identity = m_state.identity;
    const std::optional<int16_t> highest =
        m_services.db.highestTrial(identity.subject, identity.setting);
    m_state.costSum = 0;
    m_state.plan.currentTrial = highest && *highest > 0 ? *highest : 0;
    if (m_state.team.active() && m_state.plan.currentTrial > 0) resumeTeamTrialLeft();
  }

  // A team member whose last trial was left in the middle (or not recorded
  // at its end) goes on with it: the team waits at its open week.
  void resumeTeamTrialLeft() {
    const Identity& identity = m_state.identity;
    const int16_t last = m_state.plan.currentTrial;
    if (static_cast<size_t>(last) > m_blocks.size()) return;
    const std::optional<int16_t> week =
        m_services.db.highestWeek(identity.subject, identity.setting, last);
    if (week.value_or(0) < m_blocks[static_cast<size_t>(last - 1)].weeks ||
        !m_services.db.trialRecorded(identity.subject, identity.setting, last)) {
      m_state.plan.currentTrial = static_cast<int16_t>(last - 1);
    }
  }

  GameServices& m_services;
  GameState& m_state;
  GameView& m_view;
  std::vector<TrialPlan> m_blocks;  // the setting's experiment trials
};

}  // namespace

std::optional<Prompt> questionnaireFault(const Questionnaire& answers, const Prompter& prompter) {
  const bool gendered =
      std::any_of(std::begin(kQuestionnaireGenders), std::end(kQuestionnaireGenders),
                  [&](const char* gender) { return answers.gender == gender; });
  if (!gendered) {
    return Prompt{prompter.translate("QuestionnaireWindow", "Please indicate gender"),
                  PromptStyle::OkWarning,
                  prompter.translate("QuestionnaireWindow", "Gender Missing"),
                  PromptKind::QuestionnaireIncomplete};
  }
  if (!answers.age || *answers.age < kYoungestAge || *answers.age > kOldestAge) {
    return Prompt{prompter.translate("QuestionnaireWindow",
                                     "Please enter your age (I know you're older than 5)"),
                  PromptStyle::OkWarning,
                  prompter.translate("QuestionnaireWindow", "Age Missing or Invalid"),
                  PromptKind::QuestionnaireIncomplete};
  }
  return std::nullopt;
}

LoginResult logIn(GameServices& services, GameState& state, GameView& view,
                  const std::vector<std::string>& settings, const LoginRequest& request) {
  return Login(services, state, view).run(settings, request);
}

}  // namespace quarn
