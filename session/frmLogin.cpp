#include "session/frmLogin.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>

#include "session/frmNewUser.h"
#include "session/modDatabase.h"
#include "sim/PlainText.h"

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
  game_.services.db.DatabasePath =
      game_.services.toolkit.AppFolder() + "/data/" + TrimBlanks(txtDatabase->text().toStdString());
  LoadSettings();
}

void frmLogin::LoadSettings() {
  Database& db = game_.services.db;
  std::unique_ptr<Recordset> rs =
      DbOpenRecordset(db, "SELECT DISTINCT [Setting] FROM [tblBlock]", true);
  if (!rs->Eof()) {
    // Clearing the list would also clear what is typed in the box; keep it.
    QString typed = cboSetting->currentText();
    cboSetting->clear();
    while (!rs->Eof()) {
      cboSetting->addItem(QString::fromStdString(rs->Get("Setting").AsText()));
      rs->MoveNext();
    }
    cboSetting->setCurrentIndex(-1);
    cboSetting->setEditText(typed);
  }
  rs->Close();
  DbClose(db, rs);
}

void frmLogin::txtSubjectID_Change() {
  cmdStart->setEnabled(!TrimBlanks(txtSubjectID->text().toStdString()).empty());
}

void frmLogin::cmdQuit_Click() {
  game_.services.toolkit.EndApplication(0);
}

void frmLogin::reject() {
  Guard([this] { cmdQuit_Click(); });
}

std::string frmLogin::SettingText() const {
  return cboSetting->currentText().toStdString();
}

void frmLogin::cmdStart_Click() {
  Identity& identity = game_.identity;
  Toolkit& toolkit = game_.services.toolkit;

  identity.SettingName.clear();
  const QString typed = cboSetting->currentText();
  for (int i = 0; i < cboSetting->count(); ++i) {
    if (cboSetting->itemText(i) == typed) {
      identity.SettingName = typed.toStdString();
      break;
    }
  }
  if (identity.SettingName.empty()) {
    toolkit.MsgBox("Need to choose a valid setting", MsgStyle::OkOnly);
    cboSetting->setFocus(Qt::OtherFocusReason);
    cboSetting->lineEdit()->selectAll();
    return;
  }

  if (const std::string fault = TextLineFault(identity.SettingName); !fault.empty()) {
    toolkit.MsgBox("The setting name " + Printable(identity.SettingName) + " " + fault +
                       ", which would break the lines of the participant's text file.  "
                       "Please choose another setting.",
                   MsgStyle::OkWarning, "Login");
    cboSetting->setFocus(Qt::OtherFocusReason);
    return;
  }

  identity.SubjectID = TrimBlanks(txtSubjectID->text().toStdString());
  if (std::string fault = SubjectIdFault(identity.SubjectID); !fault.empty()) {
    toolkit.MsgBox(fault, MsgStyle::OkWarning, "Login");
    SelectAllAndFocus(txtSubjectID);
    return;
  }

  if (!LookupParticipant()) {
    if (toolkit.MsgBox("User ID not found.  Register as a new user?", MsgStyle::YesNoWarning,
                       "Login") == MsgResult::Yes) {
      frmNewUser questionnaire(game_, this);
      questionnaire.Form_Load();
      questionnaire.RunModal();
      if (questionnaire.Registered) {
        accept();
        return;
      }
    }
  } else {
    std::string prompt = "Continue with user " + identity.SubjectID + " on Trial " +
                         std::to_string(game_.plan.CurrentTrial + 1) + "?  Click No to change name";
    if (toolkit.MsgBox(prompt, MsgStyle::YesNo, "Resume") == MsgResult::Yes) {
      accept();
      return;
    }
  }
  SelectAllAndFocus(txtSubjectID);
}

bool frmLogin::LookupParticipant() {
  Database& db = game_.services.db;
  const Identity& identity = game_.identity;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db, "SELECT * FROM [datUser] WHERE [datUser.Subject]='" + SqlQuote(identity.SubjectID) + "';",
      true);
  if (rs->Eof()) {
    game_.plan.CurrentTrial = 0;
    rs->Close();
    DbClose(db, rs);
    return false;
  }
  rs->Close();
  DbClose(db, rs);

  rs = DbOpenRecordset(db,
                       "SELECT * FROM [datRole] WHERE [datRole.Subject]='" +
                           SqlQuote(identity.SubjectID) + "' AND [datRole.Setting]='" +
                           SqlQuote(identity.SettingName) + "' ORDER BY [datRole.Trial] DESC",
                       true);
  game_.CostSum = 0;
  game_.plan.CurrentTrial = 0;
  // Training rows carry Trial numbers below 1; a participant who has only
  // those starts at the first experiment trial.
  if (!rs->Eof()) {
    int16_t highest = rs->Get("Trial").AsInt16();
    if (highest > 0) game_.plan.CurrentTrial = highest;
  }
  rs->Close();
  DbClose(db, rs);
  return true;
}

}  // namespace quarn
