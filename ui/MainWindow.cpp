#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>
#include <chrono>

#include "base/Numbers.h"
#include "ui/CaptionFit.h"
#include "ui/MainWindowLayout.h"
#include "ui/PauseWindow.h"
#include "ui/QuestionnaireWindow.h"

namespace quarn {

namespace {

constexpr double kRowStep = layout::kRoleBandStep;
constexpr int kDesignedInterval = 20;           // ms between two ticks a participant watches
constexpr int kTeamLookInterval = 20;           // ms between two looks at a waited-for team
constexpr double kSmallestCaptionPoints = 6.5;  // a shrunk caption stays readable
constexpr int kRestartRetryMs = 20;  // a restart held by a question tries again this often
const PictureKind kRolePictures[kRoleCount] = {PictureKind::Factory, PictureKind::Distributor,
                                               PictureKind::Wholesaler, PictureKind::Retailer};

const char* const kStyle = R"(
QWidget#frmMain { background: #eef1f4; }
QFrame#fraDisplay { background: #eef1f4; border: none; }
QLabel { color: #26323d; }
QGroupBox {
  background: #ffffff; border: 1px solid #c3ccd5; border-radius: 6px; margin-top: 0px;
}
QGroupBox::title {
  subcontrol-origin: padding; subcontrol-position: top left; left: 4px; top: 0px;
  padding: 0 4px; color: #a0522d;
}
QGroupBox#fraPlayer { background: #f3f8f7; border: 2px solid #3f8f8a; font-weight: bold; }
QGroupBox[participant="true"] { border: 2px solid #3f8f8a; }
QLabel[boxed="true"] {
  background: #ffffff; border: 1px solid #a9b5c0; border-radius: 3px; padding: 0 4px;
  font-weight: bold;
}
QLabel[figure="spent"] { background: #fff8ea; border-color: #d9b26f; }
QLabel[figure="truck"] { background: #ffffff; border-color: #7f8f9e; }
QLabel[figure="role"] { font-size: 13pt; font-weight: bold; color: #2f4b63; }
QLabel[figure="tag"] { color: #4f5d6a; }
QLabel#lblSubject { font-weight: bold; }
QLabel[figure="small"] { color: #4f5d6a; font-size: 8pt; }
QLabel[figure="closing"] { font-size: 22pt; font-weight: bold; color: #2f4b63; }
QLineEdit#txtOrder {
  font-size: 11pt; font-weight: bold; border: 1px solid #7f8f9e; border-radius: 3px;
  background: #ffffff;
}
QLineEdit#txtOrder:disabled { background: #e6eaee; }
QPushButton#cmdOrder {
  font-weight: bold; font-size: 10pt; color: #ffffff; background: #3f8f8a;
  border: 1px solid #2f6f6b; border-radius: 5px;
}
QPushButton#cmdOrder:hover { background: #367e79; }
QPushButton#cmdOrder:focus { border: 2px solid #1f4f4c; }
QPushButton#cmdOrder:disabled { color: #eef1f4; background: #a7b9b8; border-color: #a7b9b8; }
)";

template <typename W>
W* named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

// The object name of a control array's element: "lblSpent_2".
QString indexed(const char* name, int index) {
  return QString("%1_%2").arg(name).arg(index);
}

QString text(int64_t value) {
  return QString::fromStdString(decimal(value));
}

// The game's counter ("02 of 04") in the window's language.
QString shownCounter(const std::string& counter) {
  const size_t of = counter.find(" of ");
  if (of == std::string::npos) return QString::fromStdString(counter);
  return QCoreApplication::translate("MainWindow", "%1 of %2")
      .arg(QString::fromStdString(counter.substr(0, of)),
           QString::fromStdString(counter.substr(of + 4)));
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, double left,
                  double top, double width, double height, const char* figure = nullptr,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = named(new QLabel(caption, parent), name);
  label->setAlignment(align);
  if (figure) label->setProperty("figure", figure);
  place(label, left, top, width, height);
  return label;
}

// A boxed figure, right-aligned unless told otherwise.
QLabel* makeValue(QWidget* parent, const QString& name, double left, double top, double width,
                  double height, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
  QLabel* label = makeLabel(parent, name, "0", left, top, width, height, nullptr, align);
  label->setProperty("boxed", true);
  return label;
}

void place(QWidget* widget, const layout::TwipsRect& region) {
  quarn::place(widget, region.left, region.top, region.width, region.height);
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const layout::TwipsRect& region) {
  auto* frame = named(new QGroupBox(parent), name);
  place(frame, region);
  return frame;
}

}  // namespace

DisplayFrame::DisplayFrame(QWidget* parent, const std::array<PathLine*, 37>& lines)
    : QFrame(parent), m_lines(lines) {}

void DisplayFrame::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x8f, 0xa3, 0xb5), 2, Qt::SolidLine, Qt::RoundCap));
  const auto px = [](double twips) { return twips / kTwipsPerPixel; };
  for (const PathLine* line : m_lines) {
    if (line && line->visible) {
      p.drawLine(QPointF(px(line->x1), px(line->y1)), QPointF(px(line->x2), px(line->y2)));
    }
  }
}

void MainWindow::Figure::setVisible(bool visible) const {
  value->setVisible(visible);
  tag->setVisible(visible);
}

MainWindow::MainWindow(GameSession& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_session(session), m_prompter(prompter) {
  setObjectName("frmMain");
  setWindowTitle(kMainCaption);
  setStyleSheet(kStyle);
  setAttribute(Qt::WA_StyledBackground);
  buildLayout();
  fitCaptions();
  m_skipDialog = new SkipTrainingDialog(session, this);
}

void MainWindow::buildLayout() {
  setFixedSize(toPixels(layout::kWindow.width), toPixels(layout::kWindow.height));
  m_display = named(new DisplayFrame(this, m_path), "fraDisplay");
  place(m_display, layout::kDisplay);
  // Nothing to show until the first trial is set up.
  m_display->hide();
  buildPath();
  buildTrucks();
  buildRoles();
  buildPlayerPanel();
  buildClosingScreen();

  ShipmentControls shipments{m_trucks, m_truckLabels, m_loads, m_transfers, {}, 0, 0};
  for (int r = 0; r < kRoleCount; ++r) shipments.roles[r] = m_roles[r].frame;
  shipments.roadStart = m_path[0]->x1;
  shipments.loadPathLength = toInt16(m_path[5]->x2 - m_path[5]->x1, "LoadPathLength");
  m_animation.emplace(shipments);

  m_animationTimer = named(new QTimer(this), "tmrAnimation");
  m_animationTimer->setInterval(kDesignedInterval);
  // A close request held by a question looks again this often; while it is
  // stopped, no request waits.
  m_exitRetryTimer = named(new QTimer(this), "tmrExitRetry");
  m_exitRetryTimer->setSingleShot(true);
  m_exitRetryTimer->setInterval(kRestartRetryMs);
  connect(m_exitRetryTimer, &QTimer::timeout, this, [this] { askExitIfFree(); });

  connect(m_orderButton, &QPushButton::clicked, this, [this] { onOrderButtonClicked(); });
  connect(m_orderBox, &QLineEdit::textChanged, this,
          [this] { m_orderButton->setEnabled(!m_orderBox->text().trimmed().isEmpty()); });
  connect(m_animationTimer, &QTimer::timeout, this, [this] { onAnimationTick(); });
}

// The goods path: a road per role from the left to its role, arrowheads,
// and the order roads back up the chain.
void MainWindow::buildPath() {
  const auto line = [&](int i, double x1, double y1, double x2, double y2) {
    m_path[i] = named(new PathLine(m_display, x1, y1, x2, y2), indexed("linPath", i));
  };
  line(0, 360, 240, 360, 1320);
  for (int r = 0; r < kRoleCount; ++r) {
    const double y = 1320 + kRowStep * r;
    line(1 + r, 360, y, 8880, y);
    line(11 + r, 8880, y, 8880, r == 3 ? 10680 : 2760 + kRowStep * r);
    // Arrowheads of 120-twip strokes pointing down.
    line(15 + 2 * r, 275, y - 85, 360, y);
    line(16 + 2 * r, 445, y - 85, 360, y);
    const double yd = 2760 + kRowStep * r;
    line(23 + 2 * r, 8795, yd - 85, 8880, yd);
    line(24 + 2 * r, 8965, yd - 85, 8880, yd);
  }
  for (int i = 0; i < 3; ++i) {
    const double y = 2760 + kRowStep * i;
    line(5 + i, 360, y, 8880, y);
    line(8 + i, 360, y, 360, 3960 + kRowStep * i);
    line(31 + 2 * i, 445, y - 85, 360, y);
    line(32 + 2 * i, 445, y + 85, 360, y);
  }
  // Load markers travel back along linPath(5 + i); transfer markers wait at
  // its far end. The transfer markers' tops are not a whole row step apart.
  const double kTransferTops[3] = {3000, 5760, 8400};
  for (int i = 0; i < 3; ++i) {
    m_loads[i] = named(new Shape(m_display, QColor(0xd9, 0xb2, 0x6f), QColor(0x8e, 0x66, 0x38)),
                       indexed("shpLoad", i));
    place(m_loads[i], 8520, 2520 + kRowStep * i, 375, 375);
    m_loads[i]->hide();
    m_transfers[i] = named(new Shape(m_display, QColor(0xbf, 0xdc, 0xe8), QColor(0x3f, 0x8f, 0x8a)),
                           indexed("shpTransfer", i));
    place(m_transfers[i], 120, kTransferTops[i], 495, 495);
    m_transfers[i]->hide();
  }
}

// Three truck slots per road.
void MainWindow::buildTrucks() {
  for (int j = 0; j < 3; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      const int k = r + 4 * j;
      auto* frame = named(new QFrame(m_display), indexed("fraTruck", k));
      place(frame, 480 + 2400 * j, 720 + kRowStep * r, 2175, 1215);
      auto* picture =
          named(new PictureBox(r == 0 ? PictureKind::BottleCrate : PictureKind::Truck, frame),
                indexed("imgTruck", k));
      place(picture, 0, 0, 2175, 1215);
      m_truckLabels[k] =
          r == 0 ? makeValue(frame, indexed("lblTruck", k), 720, 600, 600, 300, Qt::AlignCenter)
                 : makeValue(frame, indexed("lblTruck", k), 360, 240, 855, 375, Qt::AlignCenter);
      m_truckLabels[k]->setProperty("figure", "truck");
      makeLabel(frame, indexed("lblIndex", k), "", 2175 - 375, 0, 375, 375);
      m_trucks[k] = frame;
    }
  }
}

void MainWindow::buildRoles() {
  for (int r = 0; r < kRoleCount; ++r) {
    RoleControls& role = m_roles[r];
    role.frame = makeFrame(m_display, indexed("fraRole", r), layout::roleFrame(r));
    auto* picture = named(new PictureBox(kRolePictures[r], role.frame), indexed("imgRole", r));
    place(picture, 120, 120, 2295, 1440);
    makeLabel(role.frame, indexed("lblRole", r),
              QCoreApplication::translate("Roles", roleName(r).c_str()), 120, 1560, 2295, 495,
              "role", Qt::AlignCenter);
    role.cost.tag =
        makeLabel(role.frame, indexed("tagCost", r), tr("Cost"), 2040, 1920, 465, 240, "small");
    role.cost.value =
        makeValue(m_display, indexed("lblSpent", r), 9120, 2400 + kRowStep * r, 975, 375);
    role.cost.value->setProperty("figure", "spent");

    role.details = makeFrame(m_display, indexed("fraDetails", r), layout::roleDetails(r));
    const auto figure = [&](const char* value, const char* tag, const QString& caption, double y) {
      return Figure{makeValue(role.details, indexed(value, r), 120, y, 735, 375),
                    makeLabel(role.details, indexed(tag, r), caption, 960, y, 1620, 375, "tag")};
    };
    role.order = figure("lblOrder", "tagOrder", tr("Recent Order"), 240);
    role.backorder = figure("lblBackOrder", "tagBackOrder", tr("Back Order"), 720);
    role.inventory = figure("lblInventory", "tagInventory", tr("Inventory"), 1080);
    role.satisfied = figure("lblSatisfied", "tagSatisfied", tr("Last Satisfied"), 1680);
    role.demand = figure("lblDemand", "tagDemand", tr("Demand"), 2040);
  }
}

// The participant's panel, the total cost and the forecast.
void MainWindow::buildPlayerPanel() {
  m_playerFrame = makeFrame(m_display, "fraPlayer", layout::kPlayerPanel);
  makeLabel(m_playerFrame, "lblName", tr("Name:"), 120, 240, 660, 315, "tag");
  m_subjectLabel = makeLabel(m_playerFrame, "lblSubject", "", 780, 240, 1095, 315);
  makeLabel(m_playerFrame, "tagTrial", tr("Trial:"), 120, 600, 660, 315, "tag");
  m_trialCounter =
      makeLabel(m_playerFrame, "lblTrial", shownCounter("01 of 01"), 780, 600, 1095, 315);
  makeLabel(m_playerFrame, "tagWeek", tr("Week:"), 120, 960, 660, 315, "tag");
  m_weekCounter =
      makeLabel(m_playerFrame, "lblWeek", shownCounter("01 of 52"), 780, 960, 1095, 315);
  m_orderBox =
      new OrderBox(m_playerFrame, [this](const TypedKey& key) { return filterOrderKey(key); });
  place(m_orderBox, 120, 1320, 1695, 375);
  m_orderButton = named(new QPushButton(tr("Make Order"), m_playerFrame), "cmdOrder");
  m_orderButton->setAutoDefault(true);
  place(m_orderButton, 120, 1800, 1695, 615);

  m_teamWaiting = named(new QLabel(m_display), "lblTeamWaiting");
  m_teamWaiting->setWordWrap(true);
  m_teamWaiting->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  m_teamWaiting->setStyleSheet("font-weight: bold; color: #1f4f4c;");
  place(m_teamWaiting, layout::kTeamWaiting);
  m_teamWaiting->hide();
  // A team member waiting for the team looks at it often: each look waits
  // for nothing and reads nothing unless the server told of a change.
  m_teamTimer = named(new QTimer(this), "tmrTeam");
  m_teamTimer->setInterval(kTeamLookInterval);
  connect(m_teamTimer, &QTimer::timeout, this,
          [this] { m_session.pollTeam(std::chrono::milliseconds(0)); });

  m_totalCostFrame = makeFrame(m_display, "fraTotalCost", layout::kTotalCost);
  m_totalCost = makeValue(m_totalCostFrame, "lblTotalCost", 120, 240, 975, 375);
  makeLabel(m_totalCostFrame, "tagTotalCost", tr("Total Cost"), 1200, 240, 1095, 375, "tag");

  m_forecastFrame = makeFrame(m_display, "fraPredictor", layout::kForecast);
  makeLabel(m_forecastFrame, "lblPrefix", tr("In"), 120, 240, 330, 375, "tag");
  m_forecastWeeks =
      makeValue(m_forecastFrame, "lblPredictWeeks", 480, 240, 420, 375, Qt::AlignCenter);
  makeLabel(m_forecastFrame, "lblSuffix", tr("weeks, demand to Retailer is"), 960, 240, 3060, 375,
            "tag");
  m_forecast = makeValue(m_forecastFrame, "lblPredict", 4080, 240, 615, 375, Qt::AlignCenter);
}

void MainWindow::buildClosingScreen() {
  m_closingScreen = named(new QFrame(this), "fraClosing");
  place(m_closingScreen, layout::kDisplay);
  auto* over = named(new QLabel(tr("The experiment is over."), m_closingScreen), "lblClosing");
  over->setProperty("figure", "closing");
  over->setAlignment(Qt::AlignCenter);
  auto* alert = named(
      new QLabel(tr("Thank you for taking part.\nPlease alert your moderator."), m_closingScreen),
      "lblAlertModerator");
  alert->setProperty("figure", "role");
  alert->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(m_closingScreen);
  layout->addStretch(2);
  layout->addWidget(over);
  layout->addSpacing(toPixels(360));
  layout->addWidget(alert);
  // An online study's completion link, as text the participant can select
  // and copy (the window opens no browser).
  m_completionLink = named(new QLabel(m_closingScreen), "lblCompletionLink");
  m_completionLink->setAlignment(Qt::AlignCenter);
  m_completionLink->setWordWrap(true);
  m_completionLink->setTextFormat(Qt::PlainText);
  m_completionLink->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_completionLink->hide();
  layout->addWidget(m_completionLink);
  layout->addSpacing(toPixels(600));
  layout->addStretch(3);
  m_closingScreen->hide();
}

void MainWindow::sessionStarted(const std::string& subject, const std::string& setting) {
  m_subjectLabel->setText(QString::fromStdString(subject));
  fitCaption(*m_subjectLabel, kSmallestCaptionPoints);
  setWindowTitle(tr("%1 - Setting: %2").arg(kMainCaption, QString::fromStdString(setting)));
}

void MainWindow::trainingChanged(bool inTraining) {
  m_playerFrame->setTitle(inTraining ? tr("Training") : "");
}

void MainWindow::trialStarted(const TrialDisplay& trial) {
  m_trialCounter->setText(shownCounter(trial.counter));
  fitCaption(*m_trialCounter, kSmallestCaptionPoints);
  m_weekCounter->setText(shownCounter(trial.firstWeek));
  fitCaption(*m_weekCounter, kSmallestCaptionPoints);
  markParticipantRole(trial.participantRole);
  if (trial.playsItself()) {
    m_animationTimer->setInterval(1);
  } else {
    const double panelTop = 240 + kRowStep * trial.participantRole;
    setTop(m_playerFrame, panelTop);
    setTop(m_teamWaiting, trial.participantRole == 0
                              ? panelTop + layout::kPlayerPanel.height + layout::kTeamWaitingGap
                              : panelTop - layout::kTeamWaiting.height - layout::kTeamWaitingGap);
    // A trial without a participant sped the timer up; a participant watches
    // the shipments at the designed pace again.
    m_animationTimer->setInterval(kDesignedInterval);
  }
  const int slotCount = std::clamp<int>(trial.delay, 0, 3);
  for (int r = 0; r < kRoleCount; ++r) {
    for (int j = 0; j < slotCount; ++j)
      m_truckLabels[r + 4 * j]->setText(text(trial.initialShipment));
  }
  applyDisplayConfiguration(trial.display, trial.delay);
  if (trial.forecastWeeks != -1) {
    m_forecastWeeks->setText(text(trial.forecastWeeks));
    m_forecastFrame->show();
  } else {
    m_forecastWeeks->setText("-1");
    m_forecast->setText("-1");
    m_forecastFrame->hide();
  }
  m_animation->layOut(trial.delay);
  m_display->show();
}

void MainWindow::figuresChanged(const WeekFigures& figures) {
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleFigures& shown = figures.roles[r];
    const RoleControls& role = m_roles[r];
    role.order.value->setText(text(shown.recentOrder));
    role.backorder.value->setText(text(shown.backorder));
    role.inventory.value->setText(text(shown.inventory));
    role.satisfied.value->setText(text(shown.satisfied));
    role.demand.value->setText(text(shown.demand));
    role.cost.value->setText(text(shown.totalCost));
  }
  m_totalCost->setText(QString::fromStdString(shortestDecimal(figures.totalCost)));
  if (figures.forecast) m_forecast->setText(text(*figures.forecast));
  // A message about the figures (a training limit, the trial's end) shows
  // over this trial's week, not the one shown before.
  if (!figures.weekCounter.empty()) {
    m_weekCounter->setText(shownCounter(figures.weekCounter));
    fitCaption(*m_weekCounter, kSmallestCaptionPoints);
  }
}

void MainWindow::weekOpened(const WeekOpening& week) {
  m_weekCounter->setText(shownCounter(week.counter));
  fitCaption(*m_weekCounter, kSmallestCaptionPoints);
  if (week.simulatedOrder) {
    m_orderBox->setText(text(*week.simulatedOrder));
    return;
  }
  openOrderBox();
  // In training played together another member's moderator may end the
  // team's training while this member's week is open.
  if (m_session.watchesTeam() && !m_teamTimer->isActive()) m_teamTimer->start();
}

void MainWindow::openOrderBox() {
  m_orderBox->clear();
  // Clearing a box that is already empty raises no change event; the button
  // must not stay pressable with nothing to submit.
  m_orderButton->setEnabled(false);
  m_orderBox->setEnabled(true);
  m_orderBox->setFocus();
}

// A refused order stays in the box, selected, so that typing replaces it.
void MainWindow::reopenOrderBox() {
  if (m_session.phase() != Phase::WeekOpen) return;
  m_orderBox->setEnabled(true);
  m_orderButton->setEnabled(!m_orderBox->text().trimmed().isEmpty());
  m_orderBox->setFocus();
  m_orderBox->selectAll();
}

void MainWindow::teamWaiting(const std::string& waiting) {
  m_teamWaiting->setText(QString::fromStdString(waiting));
  m_teamWaiting->setVisible(!waiting.empty());
  if (waiting.empty()) {
    m_teamTimer->stop();
    return;
  }
  m_orderBox->setEnabled(false);
  m_orderButton->setEnabled(false);
  if (!m_teamTimer->isActive()) m_teamTimer->start();
}

void MainWindow::animationStarted(const Shipments& shipments) {
  m_orderButton->setEnabled(false);
  m_orderBox->setEnabled(false);
  m_animation->start(shipments);
  m_animationTimer->start();
}

// The week's animation run to its end at once: every truck where a session
// that watched the week would have it, with its load.
void MainWindow::weekReplayed(const Shipments& shipments) {
  m_animation->start(shipments);
  while (!m_animation->tick()) {
  }
}

void MainWindow::onAnimationTick() {
  // A question runs its own event loop, in which the timer keeps firing: the
  // week must not move on under it (nor a trial end under the exit question).
  if (m_session.held()) return;
  if (!m_animation->tick()) return;
  m_animationTimer->stop();
  m_session.animationFinished();
}

void MainWindow::trainingRestartPending() {
  m_orderBox->setEnabled(false);
  m_orderButton->setEnabled(false);
  QMetaObject::invokeMethod(
      this, [this] { runPendingRestart(); }, Qt::QueuedConnection);
}

// The restart runs from the event loop, so that restarts never nest however
// often a trial fails before any order; a question open meanwhile holds it.
void MainWindow::runPendingRestart() {
  if (!m_session.runPendingRestart()) {
    QTimer::singleShot(kRestartRetryMs, this, [this] { runPendingRestart(); });
  }
}

void MainWindow::trialEnded() {
  m_orderBox->clear();
  m_orderBox->setEnabled(false);
  m_orderButton->setEnabled(true);
  captionOrderButton(QT_TR_NOOP("Next Trial"));
  m_orderButton->setFocus();
}

void MainWindow::trialClosed() {
  m_display->hide();
  m_orderButton->setEnabled(false);
  captionOrderButton(QT_TR_NOOP("Make Order"));
}

void MainWindow::pauseStarted() {
  Prompter::ModalScope paused(m_prompter);
  PauseWindow pause(m_session, this);
  pause.runModal();
}

void MainWindow::trainingSkipped() {
  m_skipDialog->cancel();
}

void MainWindow::completionLinkShown(const std::string& address) {
  m_completionAddress = QString::fromStdString(address);
  showCompletionLink();
  m_completionLink->show();
}

void MainWindow::showCompletionLink() {
  m_completionLink->setText(tr("To complete the study, please follow this link:") + "\n" +
                            m_completionAddress);
}

void MainWindow::gameOver() {
  captionOrderButton(QT_TR_NOOP("Game Over"));
  showClosingScreen();
}

std::optional<Questionnaire> MainWindow::askQuestionnaire(
    const std::string& subject, const std::optional<Questionnaire>& previous) {
  QWidget* parent = QApplication::activeModalWidget();
  QuestionnaireWindow questionnaire(m_prompter, subject, previous, parent ? parent : this);
  return questionnaire.ask();
}

void MainWindow::onOrderButtonClicked() {
  switch (m_session.phase()) {
    case Phase::WeekOpen: {
      // The box holds at most four digits.
      bool number = false;
      const int order = m_orderBox->text().trimmed().toInt(&number);
      m_orderButton->setEnabled(false);
      m_orderBox->setEnabled(false);
      if (!m_session.submitOrder(number ? order : 0)) reopenOrderBox();
      break;
    }
    case Phase::TrialOver:
      m_session.nextTrial();
      break;
    default:
      break;
  }
}

// Digits go in (a lone 0 is typed over), Backspace edits, Enter orders, and
// during training "e" opens the moderator's skip dialog; nothing else.
bool MainWindow::filterOrderKey(const TypedKey& key) {
  if (key.isDigit()) {
    if (m_orderBox->text() == "0") m_orderBox->clear();
    return false;
  }
  if (key.kind == TypedKey::Kind::Backspace) return false;
  if (key.is('e') && m_session.inTraining()) {
    m_skipDialog->showDialog();
    return true;
  }
  if (key.kind == TypedKey::Kind::Enter && m_orderButton->isEnabled()) onOrderButtonClicked();
  return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (m_session.phase() == Phase::RestartPending && m_session.inTraining() &&
      event->text() == "e") {
    m_skipDialog->showDialog();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A request made while a question or a database wait holds the game is
  // asked once it is over: asking now would record the trial in the middle
  // of the week's writes.
  if (m_session.held()) {
    event->ignore();
    if (!m_exitPending) {
      m_exitPending = true;
      askExitWhenFree();
    }
    return;
  }
  if (!m_session.requestExit()) {
    event->ignore();
    return;
  }
  m_session.quit();
}

void MainWindow::askExitWhenFree() {
  m_exitRetryTimer->start();
}

void MainWindow::askExitIfFree() {
  if (m_session.held()) {
    m_exitRetryTimer->start();
    return;
  }
  m_exitPending = false;
  close();
}

void MainWindow::markParticipantRole(int16_t role) {
  for (int r = 0; r < kRoleCount; ++r) {
    for (QGroupBox* frame : {m_roles[r].frame, m_roles[r].details}) {
      frame->setProperty("participant", r == role);
      frame->style()->unpolish(frame);
      frame->style()->polish(frame);
    }
  }
}

// Shows the truck rows, the total cost and each role's figures as the
// configuration says; what was not found stays as it is.
void MainWindow::applyDisplayConfiguration(const DisplayConfiguration& config, int16_t delay) {
  if (config.found) {
    const bool rows[kRoleCount] = {config.factoryProduction, config.trucksToDistributor,
                                   config.trucksToWholesaler, config.trucksToRetailer};
    const int slotCount = std::clamp<int>(delay, 0, 3);
    for (int j = 0; j < slotCount; ++j) {
      for (int r = 0; r < kRoleCount; ++r) m_trucks[4 * j + r]->setVisible(rows[r]);
    }
    m_totalCostFrame->setVisible(config.totalCost);
  }
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleDisplay& option = config.roles[r];
    if (!option.found) continue;
    const RoleControls& role = m_roles[r];
    role.order.setVisible(option.recentOrder);
    role.backorder.setVisible(option.backorder);
    role.inventory.setVisible(option.inventory);
    role.satisfied.setVisible(option.satisfied);
    role.demand.setVisible(option.demand);
    role.cost.setVisible(option.cost);
  }
}

void MainWindow::showClosingScreen() {
  m_display->hide();
  // The button the participant played with stays in sight, reading "Game
  // Over"; nothing can be pressed any more.
  const QSize button = m_orderButton->size();
  m_orderButton->setEnabled(false);
  m_orderButton->setFixedSize(button);
  auto* layout = static_cast<QVBoxLayout*>(m_closingScreen->layout());
  layout->insertWidget(layout->count() - 1, m_orderButton, 0, Qt::AlignHCenter);
  m_orderButton->show();
  m_closingScreen->show();
}

void MainWindow::captionOrderButton(const char* caption) {
  m_orderCaption = caption;
  m_orderButton->setText(tr(caption));
  fitCaption(*m_orderButton, kSmallestCaptionPoints);
}

void MainWindow::languageChosen(const std::string& language) {
  if (onLanguageChosen) onLanguageChosen(language);
}

// A new language (a setting's, at the login): the captions the window keeps
// from its start are shown again in it; the others come with the game's
// next events.
void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::LanguageChange) return;
  const std::pair<const char*, const char*> captions[] = {
      {"lblName", QT_TR_NOOP("Name:")},
      {"tagTrial", QT_TR_NOOP("Trial:")},
      {"tagWeek", QT_TR_NOOP("Week:")},
      {"tagTotalCost", QT_TR_NOOP("Total Cost")},
      {"lblPrefix", QT_TR_NOOP("In")},
      {"lblSuffix", QT_TR_NOOP("weeks, demand to Retailer is")},
      {"lblClosing", QT_TR_NOOP("The experiment is over.")},
      {"lblAlertModerator", QT_TR_NOOP("Thank you for taking part.\nPlease alert your moderator.")},
  };
  for (const auto& [name, caption] : captions) {
    if (auto* label = findChild<QLabel*>(name)) label->setText(tr(caption));
  }
  if (!m_completionAddress.isEmpty()) showCompletionLink();
  const std::pair<const char*, const char*> roleCaptions[] = {
      {"tagCost", QT_TR_NOOP("Cost")},
      {"tagOrder", QT_TR_NOOP("Recent Order")},
      {"tagBackOrder", QT_TR_NOOP("Back Order")},
      {"tagInventory", QT_TR_NOOP("Inventory")},
      {"tagSatisfied", QT_TR_NOOP("Last Satisfied")},
      {"tagDemand", QT_TR_NOOP("Demand")},
  };
  for (int r = 0; r < kRoleCount; ++r) {
    for (const auto& [name, caption] : roleCaptions) {
      if (auto* label = findChild<QLabel*>(indexed(name, r))) label->setText(tr(caption));
    }
    if (auto* label = findChild<QLabel*>(indexed("lblRole", r))) {
      label->setText(QCoreApplication::translate("Roles", roleName(r).c_str()));
    }
  }
  m_orderButton->setText(tr(m_orderCaption));
  fitCaptions();
}

// A translated caption can be longer than the English one its place was
// made for: its font then shrinks (or it wraps) until the caption fits
// (English captions fit as they are and keep their font). The participant's
// panel sets its values beside the widest of its captions.
void MainWindow::fitCaptions() {
  for (QLabel* label : findChildren<QLabel*>()) {
    const QString figure = label->property("figure").toString();
    const bool caption = figure == "tag" || figure == "small" || figure == "role";
    const bool panelRow = label->parentWidget() == m_playerFrame;
    if (caption && !panelRow && !label->text().contains('\n')) {
      fitCaption(*label, kSmallestCaptionPoints);
    }
  }
  fitCaption(*m_orderButton, kSmallestCaptionPoints);
  layOutPlayerRows();
}

// Name, trial and week: each caption with its value beside it, a blank
// apart, in the panel's width; the captions take at most half of it.
void MainWindow::layOutPlayerRows() {
  const std::pair<const char*, QLabel*> rows[] = {
      {"lblName", m_subjectLabel}, {"tagTrial", m_trialCounter}, {"tagWeek", m_weekCounter}};
  int widest = 0;
  int blank = 0;
  for (const auto& [name, value] : rows) {
    QLabel* tag = m_playerFrame->findChild<QLabel*>(name);
    tag->setStyleSheet("");
    tag->ensurePolished();
    const QFontMetrics metrics(tag->font());
    widest = std::max(widest, metrics.size(0, tag->text()).width());
    blank = std::max({blank, metrics.horizontalAdvance(' '),
                      QFontMetrics(value->font()).horizontalAdvance(' ')});
  }
  const int left = toPixels(120);
  const int right = toPixels(layout::kPlayerPanel.width - 120);
  widest = std::min(widest, (right - left) / 2);
  for (const auto& [name, value] : rows) {
    auto* tag = m_playerFrame->findChild<QLabel*>(name);
    const int valueLeft = left + widest + blank;
    tag->setGeometry(left, tag->y(), widest, tag->height());
    value->setGeometry(valueLeft, value->y(), right - valueLeft, value->height());
    fitCaption(*tag, kSmallestCaptionPoints);
    fitCaption(*value, kSmallestCaptionPoints);
  }
}

}  // namespace quarn
