#include "ui/frmMain.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QVBoxLayout>

#include "base/Numbers.h"
#include "plan/PauseSchedule.h"
#include "record/modRecord.h"
#include "sim/TrialStart.h"
#include "ui/modDisplay.h"

namespace quarn {

namespace {

constexpr int kRowStep = 2640;  // twips between two roles' bands
const PictureKind kRolePictures[kRoleCount] = {PictureKind::Factory, PictureKind::Distributor,
                                               PictureKind::Wholesaler, PictureKind::Retailer};

const char* const kStyle = R"(
frmMain, QWidget#frmMain { background: #eef1f4; }
QFrame#fraDisplay { background: #eef1f4; border: none; }
QLabel { color: #26323d; }
QGroupBox {
  background: #ffffff; border: 1px solid #c3ccd5; border-radius: 6px; margin-top: 0px;
}
QGroupBox::title {
  subcontrol-origin: border; subcontrol-position: top left; left: 8px; top: -1px;
  padding: 0 4px; color: #a0522d; font-weight: bold;
}
QGroupBox#fraPlayer { background: #f3f8f7; border: 2px solid #3f8f8a; }
QGroupBox[participant="true"] { border: 2px solid #3f8f8a; }
QLabel[boxed="true"] {
  background: #ffffff; border: 1px solid #a9b5c0; border-radius: 3px; padding: 0 4px;
  font-weight: bold;
}
QLabel[figure="spent"] { background: #fff8ea; border-color: #d9b26f; }
QLabel[figure="truck"] { background: #ffffff; border-color: #7f8f9e; }
QLabel[figure="role"] { font-size: 13pt; font-weight: bold; color: #2f4b63; }
QLabel[figure="tag"] { color: #4f5d6a; }
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
W* Named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QString Indexed(const char* name, int index) {
  return QString("%1_%2").arg(name).arg(index);
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, double left,
                  double top, double width, double height, const char* figure = nullptr,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = Named(new QLabel(caption, parent), name);
  label->setAlignment(align);
  if (figure) label->setProperty("figure", figure);
  Place(label, left, top, width, height);
  return label;
}

QLabel* MakeValue(QWidget* parent, const QString& name, double left, double top, double width,
                  double height, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
  QLabel* label = MakeLabel(parent, name, "0", left, top, width, height, nullptr, align);
  label->setProperty("boxed", true);
  return label;
}

QGroupBox* MakeFrame(QWidget* parent, const QString& name, double left, double top, double width,
                     double height) {
  auto* frame = Named(new QGroupBox(parent), name);
  Place(frame, left, top, width, height);
  return frame;
}

}  // namespace

DisplayFrame::DisplayFrame(QWidget* parent) : QFrame(parent) {}

void DisplayFrame::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (!lines) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x8f, 0xa3, 0xb5), 2, Qt::SolidLine, Qt::RoundCap));
  const auto px = [](double twips) { return twips / kTwipsPerPixel; };
  for (const PathLine* line : *lines) {
    if (line && line->visible) {
      p.drawLine(QPointF(px(line->X1), px(line->Y1)), QPointF(px(line->X2), px(line->Y2)));
    }
  }
}

OrderBox::OrderBox(frmMain& form, QWidget* parent) : QLineEdit(parent), form_(form) {
  // Paste, drops and middle-click insert bypass the key filter; the validator
  // keeps them to digits as well.
  setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
}

void OrderBox::keyPressEvent(QKeyEvent* event) {
  int code = 0;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      code = 13;
      break;
    case Qt::Key_Backspace:
      code = 8;
      break;
    case Qt::Key_Delete:
      // X11 gives Delete the character 127; it edits and types nothing.
      if (!event->matches(QKeySequence::Cut)) QLineEdit::keyPressEvent(event);
      return;
    default:
      if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
          event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        return;
      }
      if (event->text().isEmpty()) {
        // Keys that type nothing (arrows, Home, Delete, Tab) edit or move as usual.
        QLineEdit::keyPressEvent(event);
        return;
      }
      code = event->text().at(0).unicode();
  }
  if (form_.txtOrder_KeyPress(code) != 0) QLineEdit::keyPressEvent(event);
}

void OrderBox::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  selectAll();
}

void OrderBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  selectAll();
}

frmMain::frmMain(Game& game, QWidget* parent) : QWidget(parent), game(game) {
  setObjectName("frmMain");
  setWindowTitle(kMainCaption);
  setStyleSheet(kStyle);
  setAttribute(Qt::WA_StyledBackground);
  BuildLayout();
  // The start-up sets it again; the lines never move, so the value is the same.
  SetLoadPathLength();
}

void frmMain::BuildLayout() {
  setFixedSize(ToPixels(15495), ToPixels(11415));
  fraDisplay = Named(new DisplayFrame(this), "fraDisplay");
  fraDisplay->lines = &linPath;
  Place(fraDisplay, 240, 120, 15015, 11055);
  // Nothing to show until the first trial is set up.
  fraDisplay->hide();
  QWidget* d = fraDisplay;

  // The goods path.
  const auto line = [&](int i, double x1, double y1, double x2, double y2) {
    linPath[i] = Named(new PathLine(d, x1, y1, x2, y2), Indexed("linPath", i));
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

  // Trucks, three slotCount per row.
  for (int j = 0; j < 3; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      const int k = r + 4 * j;
      auto* frame = Named(new QFrame(d), Indexed("fraTruck", k));
      Place(frame, 480 + 2400 * j, 720 + kRowStep * r, 2175, 1215);
      imgTruck[k] =
          Named(new PictureBox(r == 0 ? PictureKind::BottleCrate : PictureKind::Truck, frame),
                Indexed("imgTruck", k));
      Place(imgTruck[k], 0, 0, 2175, 1215);
      lblTruck[k] =
          r == 0 ? MakeValue(frame, Indexed("lblTruck", k), 720, 600, 600, 300, Qt::AlignCenter)
                 : MakeValue(frame, Indexed("lblTruck", k), 360, 240, 855, 375, Qt::AlignCenter);
      lblTruck[k]->setProperty("figure", "truck");
      lblIndex[k] = MakeLabel(frame, Indexed("lblIndex", k), "", 2175 - 375, 0, 375, 375);
      fraTruck[k] = frame;
    }
  }

  for (int r = 0; r < kRoleCount; ++r) {
    const double top = 240 + kRowStep * r;
    fraRole[r] = MakeFrame(d, Indexed("fraRole", r), 7560, top, 2535, 2175);
    imgRole[r] = Named(new PictureBox(kRolePictures[r], fraRole[r]), Indexed("imgRole", r));
    Place(imgRole[r], 120, 120, 2295, 1440);
    lblRole[r] = MakeLabel(fraRole[r], Indexed("lblRole", r), QString::fromStdString(roleName(r)),
                           120, 1560, 2295, 495, "role", Qt::AlignCenter);
    tagCost[r] =
        MakeLabel(fraRole[r], Indexed("tagCost", r), "Cost", 2040, 1920, 450, 240, "small");
    lblSpent[r] = MakeValue(d, Indexed("lblSpent", r), 9120, 2400 + kRowStep * r, 975, 375);
    lblSpent[r]->setProperty("figure", "spent");

    fraDetails[r] = MakeFrame(d, Indexed("fraDetails", r), 10200, top, 2655, 2535);
    const auto figure = [&](const char* value, const char* tag, const char* caption, double y,
                            std::array<QLabel*, 4>& values, std::array<QLabel*, 4>& tags) {
      values[r] = MakeValue(fraDetails[r], Indexed(value, r), 120, y, 735, 375);
      tags[r] = MakeLabel(fraDetails[r], Indexed(tag, r), caption, 960, y, 1620, 375, "tag");
    };
    figure("lblOrder", "tagOrder", "Recent Order", 240, lblOrder, tagOrder);
    figure("lblBackOrder", "tagBackOrder", "Back Order", 720, lblBackOrder, tagBackOrder);
    figure("lblInventory", "tagInventory", "Inventory", 1080, lblInventory, tagInventory);
    figure("lblSatisfied", "tagSatisfied", "Last Satisfied", 1680, lblSatisfied, tagSatisfied);
    figure("lblDemand", "tagDemand", "Demand", 2040, lblDemand, tagDemand);
  }

  // The participant's panel.
  fraPlayer = MakeFrame(d, "fraPlayer", 12960, 240, 1935, 2535);
  lblName = MakeLabel(fraPlayer, "lblName", "Name:", 120, 240, 660, 315, "tag");
  lblSubject = MakeLabel(fraPlayer, "lblSubject", "", 780, 240, 1095, 315);
  lblSubject->setStyleSheet("font-weight: bold;");
  tagTrial = MakeLabel(fraPlayer, "tagTrial", "Trial:", 120, 600, 660, 315, "tag");
  lblTrial = MakeLabel(fraPlayer, "lblTrial", "01 of 01", 780, 600, 1095, 315);
  tagWeek = MakeLabel(fraPlayer, "tagWeek", "Week:", 120, 960, 660, 315, "tag");
  lblWeek = MakeLabel(fraPlayer, "lblWeek", "01 of 52", 780, 960, 1095, 315);
  txtOrder = Named(new OrderBox(*this, fraPlayer), "txtOrder");
  txtOrder->setMaxLength(4);
  txtOrder->setAlignment(Qt::AlignCenter);
  Place(txtOrder, 120, 1320, 1695, 375);
  cmdOrder = Named(new QPushButton("Make Order", fraPlayer), "cmdOrder");
  cmdOrder->setAutoDefault(true);
  Place(cmdOrder, 120, 1800, 1695, 615);

  fraTotalCost = MakeFrame(d, "fraTotalCost", 120, 9960, 2415, 735);
  lblTotalCost = MakeValue(fraTotalCost, "lblTotalCost", 120, 240, 975, 375);
  tagTotalCost = MakeLabel(fraTotalCost, "tagTotalCost", "Total Cost", 1200, 240, 1095, 375, "tag");

  fraPredictor = MakeFrame(d, "fraPredictor", 2640, 9960, 4815, 735);
  lblPrefix = MakeLabel(fraPredictor, "lblPrefix", "In", 120, 240, 330, 375, "tag");
  lblPredictWeeks = MakeValue(fraPredictor, "lblPredictWeeks", 480, 240, 420, 375, Qt::AlignCenter);
  lblSuffix = MakeLabel(fraPredictor, "lblSuffix", "weeks, demand to Retailer is", 960, 240, 3060,
                        375, "tag");
  lblPredict = MakeValue(fraPredictor, "lblPredict", 4080, 240, 615, 375, Qt::AlignCenter);

  // Load markers travel back along linPath(5 + i); transfer markers wait at its far end.
  // The transfer markers' tops are not a whole row step apart.
  const double kTransferTops[3] = {3000, 5760, 8400};
  for (int i = 0; i < 3; ++i) {
    shpLoad[i] = Named(new Shape(d, QColor(0xd9, 0xb2, 0x6f), QColor(0x8e, 0x66, 0x38)),
                       Indexed("shpLoad", i));
    Place(shpLoad[i], 8520, 2520 + kRowStep * i, 375, 375);
    shpLoad[i]->hide();
    shpTransfer[i] = Named(new Shape(d, QColor(0xbf, 0xdc, 0xe8), QColor(0x3f, 0x8f, 0x8a)),
                           Indexed("shpTransfer", i));
    Place(shpTransfer[i], 120, kTransferTops[i], 495, 495);
    shpTransfer[i]->hide();
  }

  BuildClosingScreen();

  tmrAnimation = Named(new QTimer(this), "tmrAnimation");
  tmrAnimation->setInterval(20);

  connect(cmdOrder, &QPushButton::clicked, this, [this] { cmdOrder_Click(); });
  connect(txtOrder, &QLineEdit::textChanged, this, [this] { txtOrder_Change(); });
  connect(tmrAnimation, &QTimer::timeout, this, [this] { tmrAnimation_Timer(); });
}

void frmMain::BuildClosingScreen() {
  fraClosing = Named(new QFrame(this), "fraClosing");
  Place(fraClosing, 240, 120, 15015, 11055);
  lblClosing = Named(new QLabel("The experiment is over.", fraClosing), "lblClosing");
  lblClosing->setProperty("figure", "closing");
  lblClosing->setAlignment(Qt::AlignCenter);
  lblAlertModerator =
      Named(new QLabel("Thank you for taking part.\nPlease alert your moderator.", fraClosing),
            "lblAlertModerator");
  lblAlertModerator->setProperty("figure", "role");
  lblAlertModerator->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(fraClosing);
  layout->addStretch(2);
  layout->addWidget(lblClosing);
  layout->addSpacing(ToPixels(360));
  layout->addWidget(lblAlertModerator);
  layout->addSpacing(ToPixels(600));
  layout->addStretch(3);
  fraClosing->hide();
}

void frmMain::ShowClosingScreen() {
  fraDisplay->hide();
  // The button the participant played with stays in sight, reading "Game
  // Over"; nothing can be pressed any more.
  const QSize button = cmdOrder->size();
  cmdOrder->setEnabled(false);
  cmdOrder->setFixedSize(button);
  auto* layout = static_cast<QVBoxLayout*>(fraClosing->layout());
  layout->insertWidget(layout->count() - 1, cmdOrder, 0, Qt::AlignHCenter);
  cmdOrder->show();
  fraClosing->show();
}

void frmMain::SetLoadPathLength() {
  LoadPathLength = toInt16(linPath[5]->X2 - linPath[5]->X1, "LoadPathLength");
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (hooks.ConfirmExit && hooks.ConfirmExit()) {
    event->ignore();
    return;
  }
  event->accept();
}

void frmMain::RestartTrainingTrial() {
  txtOrder->setEnabled(false);
  cmdOrder->setEnabled(false);
  restartPending_ = true;
  QMetaObject::invokeMethod(
      this, [this] { RunPendingRestart(); }, Qt::QueuedConnection);
}

void frmMain::RunPendingRestart() {
  // The skip password or a new login may have moved on already.
  if (!restartPending_) return;
  if (game.services.prompter.modalOpen()) {
    constexpr int kRetryMs = 20;
    QTimer::singleShot(kRetryMs, this, [this] { RunPendingRestart(); });
    return;
  }
  restartPending_ = false;
  NextTrial(game, *this);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
  if (restartPending_ && game.training.active && event->text() == "e") {
    if (hooks.ShowPassword) hooks.ShowPassword();
    return;
  }
  QWidget::keyPressEvent(event);
}

void frmMain::MarkParticipantRole(int16_t role) {
  for (int r = 0; r < kRoleCount; ++r) {
    for (QGroupBox* frame : {fraRole[r], fraDetails[r]}) {
      frame->setProperty("participant", r == role);
      frame->style()->unpolish(frame);
      frame->style()->polish(frame);
    }
  }
}

void frmMain::SetOrderCaption(const std::string& caption) {
  cmdOrder->setText(QString::fromStdString(caption));
}

void frmMain::SetPlayerCaption(const std::string& caption) {
  fraPlayer->setTitle(QString::fromStdString(caption));
}

void frmMain::ApplyDisplayConfiguration(const std::string& name) {
  quarn::ApplyDisplayConfiguration(*this, name);
}

namespace {

// Whether the participant has an experiment trial left to play. During
// training that is the trial training hands over to: a participant who has
// played every trial is refused before training, instead of replaying it and
// ending on a game-over sum of nothing.
bool HasTrialLeft(const Game& game) {
  const int experimentTrial =
      game.training.active ? game.training.resumeTrial + 1 : game.plan.currentTrial;
  return experimentTrial < game.plan.trialCount();
}

}  // namespace

void frmMain::StartTrial() {
  restartPending_ = false;
  if (!HasTrialLeft(game)) {
    game.services.prompter.ask("Subject has already completed all trials in setting " +
                                   game.identity.SettingName + ".  Please relogin",
                               PromptStyle::Ok);
    if (hooks.Startup) hooks.Startup();
    return;
  }
  ChainContext context = MakeChainContext(game);
  startTrialChain(context, game.services.prompter.applicationFolder() + "/Input");
  SetupTrialDisplay(*this);
}

void frmMain::cmdOrder_Click() {
  game.times.OrderPressTime = game.services.ticks.now();

  if (cmdOrder->text() != "Next Trial") {
    cmdOrder->setEnabled(false);
    txtOrder->setEnabled(false);
    game.chain.currentWeek = narrow16(game.chain.currentWeek + 1, "CurrentWeek");
    // The box holds at most four characters: a participant's digits, or in a
    // trial without one a simulated order the chain does not use.
    bool number = false;
    const int order = txtOrder->text().trimmed().toInt(&number);
    game.chain.participantOrder = static_cast<int16_t>(number ? order : 0);
    ChainContext context = MakeChainContext(game);
    closeWeek(context);
    StartShipmentAnimation(*this);
    return;
  }

  fraDisplay->hide();
  cmdOrder->setEnabled(false);
  cmdOrder->setText("Make Order");
  if (pauseDue(game.pauses, game.plan.currentTrial) && hooks.ShowPause) hooks.ShowPause();
  NextTrial(game, *this);
}

int frmMain::txtOrder_KeyPress(int keyAscii) {
  if (keyAscii >= '0' && keyAscii <= '9') {
    if (txtOrder->text() == "0") txtOrder->clear();
    return keyAscii;
  }
  if (keyAscii == 8) return keyAscii;
  if (keyAscii == 'e' && game.training.active) {
    if (hooks.ShowPassword) hooks.ShowPassword();
    return 0;
  }
  if (keyAscii == 13 && cmdOrder->isEnabled()) cmdOrder_Click();
  return 0;
}

void frmMain::txtOrder_Change() {
  cmdOrder->setEnabled(!txtOrder->text().trimmed().isEmpty());
}

void frmMain::tmrAnimation_Timer() {
  // A modal box runs its own event loop, in which the timer keeps firing: the
  // week must not move on (or a trial end underneath an exit question).
  if (game.services.prompter.modalOpen()) return;
  const TrialPlan& trial = game.plan.current();
  const double roadStart = linPath[0]->X1;
  const int slotCount = std::min<int>(trial.delay, 3);
  for (int j = 0; j < slotCount; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = fraTruck[r + 4 * j];
      if (Visible(truck)) {
        SetLeft(truck, Left(truck) + 480);
        if (Left(truck) >= Left(fraRole[r])) {
          // Delivered: the truck comes back to the start of the road with the
          // shipment that has just left the upstream role.
          const std::vector<int32_t>& pipeline = game.chain.roles[r].delaySlots;
          lblTruck[r + 4 * j]->setText(
              QString::fromStdString(decimal(pipeline.empty() ? 0 : pipeline.back())));
          truck->hide();
          SetLeft(truck, roadStart);
          truck->show();
        }
      }
      if (r < 3) {
        Shape* load = shpLoad[r];
        if (Visible(load)) {
          SetLeft(load, Left(load) - LoadPathLength / static_cast<double>(AnimationTicksLeft));
          if (Left(load) < roadStart) {
            load->hide();
            SetLeft(load, LoadPathLength);
            shpTransfer[r]->show();
          }
        } else {
          shpTransfer[r]->hide();
        }
      }
    }
  }
  --AnimationTicksLeft;
  if (AnimationTicksLeft <= 0) {
    tmrAnimation->stop();
    FinishShipmentAnimation(*this);
  }
}

}  // namespace quarn
