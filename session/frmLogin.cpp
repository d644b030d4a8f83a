#include "session/frmLogin.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>

#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/SettingCheck.h"
#include "record/ExperimentLoading.h"
#include "record/modRecord.h"
#include "session/frmNewUser.h"

namespace quarn {

namespace {

// Runs `handler` when `target` loses the focus to another control of the same
// window (not when the window itself is deactivated, e.g. by a message box).
class LostFocusFilter : public QObject {
 public:
  LostFocusFilter(QObject* target, std::function<void()> handler)
      : QObject(target), handler_(std::move(handler)) {
    target->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) {
      Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) handler_();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};

void SelectAllAndFocus(QLineEdit* box) {
  box->setFocus(Qt::OtherFocusReason);
  box->selectAll();
}

}  // namespace

std::string SubjectIdFault(const std::string& subjectId) {
  // A comma would shift the fields of the participant's text lines.
  static const std::string kForbidden = "/\\:*?\"<>|,";
  bool onlyDots = !subjectId.empty();
  for (unsigned char c : subjectId) {
    if (c < 0x20 || c == 0x7F || kForbidden.find(static_cast<char>(c)) != std::string::npos) {
      return "A User ID cannot hold a comma, any of the characters / \\ : * ? \" < > | or "
             "control characters.  Please enter another User ID.";
    }
    if (c != '.') onlyDots = false;
  }
  if (onlyDots) return "A User ID cannot be made of dots only.  Please enter another User ID.";
  return "";
}

frmLogin::frmLogin(Game& game, QWidget* parent) : SessionDialog(parent), game_(game) {
  setObjectName("frmLogin");
  setWindowTitle("Quarngame Login");
  setModal(true);

  lblUserID = new QLabel("User ID:", this);
  lblUserID->setObjectName("lblUserID");
  txtSubjectID = new QLineEdit(this);
  txtSubjectID->setObjectName("txtSubjectID");
  // The key filter stops typing at the limit; pasted, dropped and composed
  // text is held to it here.
  txtSubjectID->setMaxLength(kSubjectIdLength);
  lblSetup = new QLabel("Setup File:", this);
  lblSetup->setObjectName("lblSetup");
  txtDatabase = new QLineEdit(this);
  txtDatabase->setObjectName("txtDatabase");
  lblSetting = new QLabel("Setting:", this);
  lblSetting->setObjectName("lblSetting");
  cboSetting = new QComboBox(this);
  cboSetting->setObjectName("cboSetting");
  cboSetting->setEditable(true);
  // Enter in the box must not add the typed text to the list: only the
  // database's settings are valid choices.
  cboSetting->setInsertPolicy(QComboBox::NoInsert);
  // The box's completer would replace a typed "demo" with an item "Demo"
  // once typing ends: settings differing in letter case are different
  // experiments, so the text stays as typed.
  cboSetting->setCompleter(nullptr);
  cboSetting->setMinimumContentsLength(16);
  cmdStart = new QPushButton("Start", this);
  cmdStart->setObjectName("cmdStart");
  cmdStart->setDefault(true);
  cmdQuit = new QPushButton("Quit", this);
  cmdQuit->setObjectName("cmdQuit");
  cmdQuit->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(lblUserID, 0, 0);
  grid->addWidget(txtSubjectID, 0, 1);
  grid->addWidget(lblSetup, 1, 0);
  grid->addWidget(txtDatabase, 1, 1);
  grid->addWidget(lblSetting, 2, 0);
  grid->addWidget(cboSetting, 2, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdStart);
  buttons->addWidget(cmdQuit);
  grid->addLayout(buttons, 3, 0, 1, 2);
  setTabOrder(txtSubjectID, cboSetting);
  setTabOrder(cboSetting, cmdStart);
  setTabOrder(cmdStart, cmdQuit);
  setTabOrder(cmdQuit, txtDatabase);

  connect(txtSubjectID, &QLineEdit::textChanged, this, [this] { txtSubjectID_Change(); });
  connect(cmdStart, &QPushButton::clicked, this, [this] { Guard([this] { cmdStart_Click(); }); });
  connect(cmdQuit, &QPushButton::clicked, this, [this] { Guard([this] { cmdQuit_Click(); }); });
  new LostFocusFilter(txtDatabase, [this] { Guard([this] { txtDatabase_LostFocus(); }); });
  new KeyPressFilter(txtSubjectID, [this](int ascii, QKeyEvent*) {
    return ascii != 8 && ascii != 13 && txtSubjectID->text().size() > 20 &&
           !txtSubjectID->hasSelectedText();
  });
}

void frmLogin::Form_Load() {
  txtDatabase->setText("quarn.mdb");
  txtDatabase_LostFocus();
  txtSubjectID->clear();
  txtSubjectID_Change();
  txtSubjectID->setFocus(Qt::OtherFocusReason);
}

void frmLogin::txtDatabase_LostFocus() {
  game_.services.db.setLocation(game_.services.prompter.applicationFolder() + "/data/" +
                                std::string(trimBlanks(txtDatabase->text().toStdString())));
  LoadSettings();
}

void frmLogin::LoadSettings() {
  const std::vector<std::string> settings = game_.services.db.settings();
  if (!settings.empty()) {
    // Clearing the list would also clear what is typed in the box; keep it.
    QString typed = cboSetting->currentText();
    cboSetting->clear();
    for (const std::string& setting : settings) {
      cboSetting->addItem(QString::fromStdString(setting));
    }
    cboSetting->setCurrentIndex(-1);
    cboSetting->setEditText(typed);
  }
}

void frmLogin::txtSubjectID_Change() {
  cmdStart->setEnabled(!trimBlanks(txtSubjectID->text().toStdString()).empty());
}

void frmLogin::cmdQuit_Click() {
  game_.services.prompter.endApplication(0);
}

void frmLogin::reject() {
  Guard([this] { cmdQuit_Click(); });
}

std::string frmLogin::SettingText() const {
  return cboSetting->currentText().toStdString();
}

void frmLogin::cmdStart_Click() {
  if (!TakeSetting() || !TakeSubjectId()) return;
  const int16_t trialCount = CheckChosenPlan();
  if (!FindParticipant()) {
    game_.plan.currentTrial = 0;
    RegisterNewParticipant();
    return;
  }
  ResumeKnownParticipant(trialCount);
}

// SettingName: the item equal to the box's text, exactly as typed.
bool frmLogin::TakeSetting() {
  Identity& identity = game_.identity;
  identity.SettingName.clear();
  const QString typed = cboSetting->currentText();
  for (int i = 0; i < cboSetting->count(); ++i) {
    if (cboSetting->itemText(i) == typed) {
      identity.SettingName = typed.toStdString();
      return SettingNameFitsTextLines();
    }
  }
  game_.services.prompter.ask("Need to choose a valid setting", PromptStyle::Ok);
  cboSetting->setFocus(Qt::OtherFocusReason);
  cboSetting->lineEdit()->selectAll();
  return false;
}

// A setting name with a comma or a line break would shift or split the
// comma-separated lines of the participant's text file.
bool frmLogin::SettingNameFitsTextLines() {
  const std::string& setting = game_.identity.SettingName;
  const std::string fault = textLineFault(setting);
  if (fault.empty()) return true;
  game_.services.prompter.ask("The setting name " + printable(setting) + " " + fault +
                                  ", which would break the lines of the participant's text "
                                  "file.  Please choose another setting.",
                              PromptStyle::OkWarning, "Login");
  cboSetting->setFocus(Qt::OtherFocusReason);
  return false;
}

bool frmLogin::TakeSubjectId() {
  Identity& identity = game_.identity;
  identity.SubjectID = std::string(trimBlanks(txtSubjectID->text().toStdString()));
  if (std::string fault = SubjectIdFault(identity.SubjectID); !fault.empty()) {
    game_.services.prompter.ask(fault, PromptStyle::OkWarning, "Login");
    BackToSubjectId();
    return false;
  }
  return true;
}

// Refuses a faulty plan of the chosen setting the way the start-up does (the
// refusal ends the application), before the participant is looked up or
// registered, so that nothing is written for a plan that cannot be played.
// Returns the setting's number of experiment trials.
int16_t frmLogin::CheckChosenPlan() {
  DatabaseAccess& db = game_.services.db;
  Prompter& prompter = game_.services.prompter;
  const std::string& setting = game_.identity.SettingName;
  Plan players;
  loadPlayers(db.planTables(), players);
  const std::vector<PlanFault> faults = checkSetting(db.planTables(), players.players, setting,
                                                     prompter.applicationFolder() + "/Input");
  if (const PlanFault* fault = firstFault(faults)) refusePlan(prompter, *fault);
  return db.blockTrialCount(setting);
}

void frmLogin::RegisterNewParticipant() {
  Prompter& toolkit = game_.services.prompter;
  if (toolkit.ask("User ID not found.  Register as a new user?", PromptStyle::YesNoWarning,
                  "Login") == Answer::Yes) {
    frmNewUser questionnaire(game_, this);
    questionnaire.Form_Load();
    questionnaire.RunModal();
    if (questionnaire.Registered && MarkPlayingHere()) {
      accept();
      return;
    }
  }
  BackToSubjectId();
}

void frmLogin::ResumeKnownParticipant(int16_t trialCount) {
  Prompter& toolkit = game_.services.prompter;
  const Identity& identity = game_.identity;
  if (!MarkPlayingHere()) {
    BackToSubjectId();
    return;
  }
  // Read once the participant is marked: a workstation taken over may have
  // played on until then.
  ReadResumeTrial();
  if (game_.plan.currentTrial >= trialCount) {
    ReleaseMark(game_);
    const std::string trials =
        trialCount == 1 ? "the only trial" : "all " + std::to_string(trialCount) + " trials";
    toolkit.ask(
        identity.SubjectID + " has completed " + trials + " of setting " + identity.SettingName,
        PromptStyle::OkWarning, "Login");
    BackToSubjectId();
    return;
  }
  const std::string prompt = "Continue with user " + identity.SubjectID + " on Trial " +
                             std::to_string(game_.plan.currentTrial + 1) +
                             "?  Click No to change name";
  if (toolkit.ask(prompt, PromptStyle::YesNo, "Resume") == Answer::Yes) {
    accept();
    return;
  }
  ReleaseMark(game_);
  BackToSubjectId();
}

// Marks the participant as playing on this workstation. Another
// workstation's mark that counts is named to the moderator, who may take the
// participant over; No refuses the User ID, and nothing is written.
bool frmLogin::MarkPlayingHere() {
  DatabaseAccess& db = game_.services.db;
  const Identity& identity = game_.identity;
  ReleaseMark(game_);
  const int64_t now = game_.clock->seconds();
  const PlayingMark mine{identity.SubjectID, identity.SettingName, thisWorkstation(), now, now};
  if (const std::optional<PlayingMark> other = db.claimParticipant(mine, now, false)) {
    const std::string prompt = identity.SubjectID + " is playing at workstation " +
                               describeWorkstation(other->at) + " since " +
                               localTimeText(other->since) + ".\r\nTake " + identity.SubjectID +
                               " over on this workstation?  Answer Yes only if that session has "
                               "ended.";
    if (game_.services.prompter.ask(prompt, PromptStyle::YesNoWarning, "Login") != Answer::Yes) {
      return false;
    }
    db.claimParticipant(mine, now, true);
  }
  game_.Mark = mine;
  return true;
}

void frmLogin::BackToSubjectId() {
  SelectAllAndFocus(txtSubjectID);
}

bool frmLogin::LookupParticipant() {
  if (!FindParticipant()) {
    game_.plan.currentTrial = 0;
    return false;
  }
  ReadResumeTrial();
  return true;
}

// Looks the User ID up in datUser: as typed first (the key's index finds it
// at once), then without regard to letter case, beyond ASCII too. A
// participant found takes the spelling stored in datUser for the rest of the
// session: rows, text file and label.
bool frmLogin::FindParticipant() {
  Identity& identity = game_.identity;
  const std::optional<std::string> stored = game_.services.db.findParticipant(identity.SubjectID);
  if (stored) identity.SubjectID = *stored;
  return stored.has_value();
}

// CurrentTrial: the trial after the highest one recorded for the
// participant in the setting.
void frmLogin::ReadResumeTrial() {
  const Identity& identity = game_.identity;
  const std::optional<int16_t> highest =
      game_.services.db.highestTrial(identity.SubjectID, identity.SettingName);
  game_.CostSum = 0;
  game_.plan.currentTrial = 0;
  // Training rows carry Trial numbers below 1; a participant who has only
  // those starts at the first experiment trial.
  if (highest && *highest > 0) game_.plan.currentTrial = *highest;
}

}  // namespace quarn
