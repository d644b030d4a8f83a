#include "ui/LoginWindow.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "base/Text.h"
#include "ui/CaptionFit.h"
#include "ui/KeyFilter.h"

namespace quarn {

namespace {

// Runs `handler` when `target` loses the focus to another control of the same
// window (not when the window itself is deactivated, e.g. by a message box).
class LostFocusFilter : public QObject {
 public:
  LostFocusFilter(QObject* target, std::function<void()> handler)
      : QObject(target), m_handler(std::move(handler)) {
    target->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) m_handler();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> m_handler;
};

template <class Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

// The database in use as the moderator reads it: the file's path, or the
// server's host, port and database.
QString databaseText(const DatabasePlace& place) {
  const auto text = [](const std::string& s) { return QString::fromStdString(s); };
  if (place.engine == DatabaseEngine::File) return text(place.file);
  if (!place.failure.empty()) {
    return QCoreApplication::translate("LoginWindow", "server named in %1 (%2)")
        .arg(text(place.file), text(place.failure));
  }
  const QString host = place.host.empty()
                           ? QCoreApplication::translate("LoginWindow", "the local socket")
                           : text(place.host);
  const QString database = place.database.empty()
                               ? QCoreApplication::translate("LoginWindow", "of the login user")
                               : text(place.database);
  return QCoreApplication::translate("LoginWindow", "server %1:%2, database %3")
      .arg(host, text(place.port), database);
}

}  // namespace

LoginWindow::LoginWindow(GameSession& session, QWidget* parent)
    : GuardedDialog(parent), m_session(session) {
  setObjectName("frmLogin");
  setWindowTitle(tr("Quarngame Login"));
  setModal(true);

  auto* subjectLabel = named(new QLabel(tr("User ID:"), this), "lblUserID");
  m_subjectBox = named(new QLineEdit(this), "txtSubjectID");
  // The key filter stops typing at the limit; pasted, dropped and composed
  // text is held to it here.
  m_subjectBox->setMaxLength(kSubjectIdLength);
  auto* databaseLabel = named(new QLabel(tr("Setup File:"), this), "lblSetup");
  m_databaseBox = named(new QLineEdit(this), "txtDatabase");
  // The database in use, so that the moderator sees it before the start.
  m_databaseInUse = named(new QLabel(this), "lblDatabaseInUse");
  m_databaseInUse->setTextFormat(Qt::PlainText);
  m_databaseInUse->setWordWrap(true);
  auto* settingLabel = named(new QLabel(tr("Setting:"), this), "lblSetting");
  m_settingBox = named(new QComboBox(this), "cboSetting");
  m_settingBox->setEditable(true);
  // Enter in the box must not add the typed text to the list: only the
  // database's settings are valid choices.
  m_settingBox->setInsertPolicy(QComboBox::NoInsert);
  // The box's completer would replace a typed "demo" with an item "Demo"
  // once typing ends: settings differing in letter case are different
  // experiments, so the text stays as typed.
  m_settingBox->setCompleter(nullptr);
  m_settingBox->setMinimumContentsLength(16);
  // A team setting's members type their team's name here.
  auto* teamLabel = named(new QLabel(tr("Team:"), this), "lblTeam");
  m_teamBox = named(new QLineEdit(this), "txtTeam");
  m_teamBox->setMaxLength(kSubjectIdLength);
  m_teamBox->setEnabled(false);
  connect(m_settingBox, &QComboBox::currentTextChanged, this,
          [this](const QString& setting) { enableTeamBox(setting); });
  m_startButton = named(new QPushButton(tr("Start"), this), "cmdStart");
  m_startButton->setDefault(true);
  m_quitButton = named(new QPushButton(tr("Quit"), this), "cmdQuit");
  m_quitButton->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(subjectLabel, 0, 0);
  grid->addWidget(m_subjectBox, 0, 1);
  grid->addWidget(databaseLabel, 1, 0);
  grid->addWidget(m_databaseBox, 1, 1);
  grid->addWidget(m_databaseInUse, 2, 1);
  grid->addWidget(settingLabel, 3, 0);
  grid->addWidget(m_settingBox, 3, 1);
  grid->addWidget(teamLabel, 4, 0);
  grid->addWidget(m_teamBox, 4, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(m_startButton);
  buttons->addWidget(m_quitButton);
  grid->addLayout(buttons, 5, 0, 1, 2);
  // The application folder in use, in a line of its own below the buttons.
  m_folderLabel = named(new QLabel(this), "lblFolder");
  m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_folderLabel->setStyleSheet("color: #4f5d6a;");
  grid->addWidget(m_folderLabel, 6, 0, 1, 2);
  setTabOrder(m_subjectBox, m_settingBox);
  setTabOrder(m_settingBox, m_teamBox);
  setTabOrder(m_teamBox, m_startButton);
  setTabOrder(m_startButton, m_quitButton);
  setTabOrder(m_quitButton, m_databaseBox);
  keepTitleWhole(*this);

  connect(m_subjectBox, &QLineEdit::textChanged, this, [this] {
    m_startButton->setEnabled(!trimBlanks(m_subjectBox->text().toStdString()).empty());
  });
  connect(m_startButton, &QPushButton::clicked, this, [this] { guard([this] { start(); }); });
  connect(m_quitButton, &QPushButton::clicked, this,
          [this] { guard([this] { m_session.quit(); }); });
  new LostFocusFilter(m_databaseBox, [this] { guard([this] { openDatabase(); }); });
  // Ctrl+A, Ctrl+C and the like edit rather than type: they pass in a full
  // box; a paste is held to the limit by the box itself.
  new KeyFilter(m_subjectBox, [this](const TypedKey& key) {
    return key.kind == TypedKey::Kind::Character && !key.withControl &&
           m_subjectBox->text().size() >= kSubjectIdLength && !m_subjectBox->hasSelectedText();
  });
}

void LoginWindow::load() {
  m_databaseBox->setText("quarn.mdb");
  m_subjectBox->clear();
  m_startButton->setEnabled(false);
  m_subjectBox->setFocus(Qt::OtherFocusReason);
  openDatabase();  // a missing file takes the focus to its box
}

void LoginWindow::showFolder(const std::string& folder) {
  m_folder = folder;
  m_folderLabel->setText(tr("Folder: %1").arg(QString::fromStdString(folder)));
}

void LoginWindow::changeEvent(QEvent* event) {
  GuardedDialog::changeEvent(event);
  if (event->type() != QEvent::LanguageChange) return;
  setWindowTitle(tr("Quarngame Login"));
  keepTitleWhole(*this);
  const std::pair<const char*, const char*> captions[] = {
      {"lblUserID", QT_TR_NOOP("User ID:")},
      {"lblSetup", QT_TR_NOOP("Setup File:")},
      {"lblSetting", QT_TR_NOOP("Setting:")},
      {"lblTeam", QT_TR_NOOP("Team:")},
  };
  for (const auto& [name, caption] : captions) {
    if (auto* label = findChild<QLabel*>(name)) label->setText(tr(caption));
  }
  m_startButton->setText(tr("Start"));
  m_quitButton->setText(tr("Quit"));
  if (!m_folder.empty()) showFolder(m_folder);
  if (!m_databaseInUse->text().isEmpty()) showDatabaseInUse();
}

void LoginWindow::reject() {
  guard([this] { m_session.quit(); });
}

void LoginWindow::openDatabase() {
  if (!m_session.useDatabase(m_databaseBox->text().toStdString())) {
    // Once the focus has moved on: taken back in the middle of the move, the
    // box would lose its selection.
    QMetaObject::invokeMethod(
        this, [this] { backToDatabase(); }, Qt::QueuedConnection);
    return;
  }
  showDatabaseInUse();
  showSettings(m_session.readSettings());
}

void LoginWindow::showDatabaseInUse() {
  m_databaseInUse->setText(tr("In use: %1").arg(databaseText(m_session.databaseInUse())));
  fitDatabaseLine();
}

// The line wraps within the width the boxes give it; the window grows to
// the height that takes (a laid-out window does not grow by itself for a
// text that wraps to more lines).
void LoginWindow::fitDatabaseLine() {
  layout()->activate();
  m_databaseInUse->setMinimumHeight(m_databaseInUse->heightForWidth(m_databaseInUse->width()));
  layout()->activate();
  if (height() < minimumSizeHint().height()) resize(width(), minimumSizeHint().height());
}

void LoginWindow::resizeEvent(QResizeEvent* event) {
  GuardedDialog::resizeEvent(event);
  const int needed = m_databaseInUse->heightForWidth(m_databaseInUse->width());
  if (needed != m_databaseInUse->minimumHeight()) {
    QMetaObject::invokeMethod(
        this, [this] { fitDatabaseLine(); }, Qt::QueuedConnection);
  }
}

void LoginWindow::showSettings(const std::vector<std::string>& settings) {
  if (settings.empty()) return;
  // Clearing the list would also clear what is typed in the box; keep it.
  const QString typed = m_settingBox->currentText();
  m_settingBox->clear();
  for (const std::string& setting : settings)
    m_settingBox->addItem(QString::fromStdString(setting));
  m_settingBox->setCurrentIndex(-1);
  m_settingBox->setEditText(typed);
}

void LoginWindow::enableTeamBox(const QString& setting) {
  m_teamBox->setEnabled(m_session.isTeamSetting(setting.toStdString()));
}

void LoginWindow::start() {
  const LoginRequest request{m_subjectBox->text().toStdString(),
                             m_settingBox->currentText().toStdString(),
                             m_teamBox->isEnabled() ? m_teamBox->text().toStdString() : ""};
  switch (m_session.logIn(request)) {
    case LoginResult::LoggedIn:
      accept();
      break;
    case LoginResult::RetrySubject:
      backToSubject();
      break;
    case LoginResult::RetrySetting:
      backToSetting();
      break;
  }
}

void LoginWindow::backToSubject() {
  m_subjectBox->setFocus(Qt::OtherFocusReason);
  m_subjectBox->selectAll();
}

void LoginWindow::backToDatabase() {
  m_databaseBox->setFocus(Qt::OtherFocusReason);
  m_databaseBox->selectAll();
}

void LoginWindow::backToSetting() {
  m_settingBox->setFocus(Qt::OtherFocusReason);
  m_settingBox->lineEdit()->selectAll();
}

}  // namespace quarn
