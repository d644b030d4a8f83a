// The participant's week turn with database output on: from the click on the
// order button to the start of the shipment animation (MainWindow closes the
// box and calls GameSession::submitOrder: decision time, week step, the
// workstation mark's refresh, the text line, the four datRole rows), without
// (argument 0) and with (1) the participant's workstation mark.
// The real main window runs offscreen on a real encrypted file as the game's
// view; the order is typed with key events and the click is a mouse event.
// The animation is driven to its end between iterations, outside the timing;
// trials and participants follow each other through the game's moves.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Random.h"
#include "bench/app/Percentiles.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseAdmin.h"
#include "db/TableWriter.h"
#include "db/sqlcipher/SqlCipherStores.h"
#include "game/GameSession.h"
#include "tests/support/TestDatabase.h"
#include "ui/MainWindow.h"
#include "ui/QtPrompter.h"

namespace {

namespace fs = std::filesystem;
using namespace quarn;

constexpr int kParticipants = 30;

// Answers every box at once: a returning participant resumes, messages are
// acknowledged, and a failed write ends the run.
void AnswerAtOnce(QtPrompter& prompter) {
  prompter.answerer = [](const MessageRequest& box) {
    if (box.kind == PromptKind::Resume) return Answer::Yes;
    if (box.style == PromptStyle::AbortRetryIgnore) return Answer::Abort;
    return Answer::Ok;
  };
}

// Three 52-week trials with delay 2; the participant plays the Wholesaler
// against anchoring-and-adjustment players; every week is stored. The
// participants B1, B2, ... are registered, so that a login resumes them.
void WritePlan(const std::string& path) {
  createDatabase(path);
  insertRows(path, "tblPlayer",
             {{{"Name", std::string("Sterman")},
               {"Sterman", int64_t{1}},
               {"Alpha", 0.26},
               {"Beta", 0.34},
               {"Theta", 0.36}}});
  std::vector<TableRow> trials;
  for (int64_t index = 1; index <= 3; ++index) {
    trials.push_back({{"Setting", std::string("Bench")},
                      {"Index", index},
                      {"Delay", int64_t{2}},
                      {"numweeks", int64_t{52}},
                      {"InitialDemand", int64_t{4}},
                      {"JumpWeek", int64_t{5}},
                      {"SecondDemand", int64_t{8}},
                      {"DisplayOption", std::string("ShowAll")},
                      {"Factory", std::string("Sterman")},
                      {"Distributor", std::string("Sterman")},
                      {"Wholesaler", std::string("Subject")},
                      {"Retailer", std::string("Sterman")},
                      {"FirstOrder", int64_t{4}},
                      {"MinOrder", int64_t{0}},
                      {"MaxOrder", int64_t{100}},
                      {"MaxNoise", int64_t{2}},
                      {"InitInventory", int64_t{12}},
                      {"InitDelayAmount", int64_t{4}},
                      {"CostInventory", 0.5},
                      {"CostBackOrder", 1.0},
                      {"CostTransit", 0.0},
                      {"DatabaseOutput", int64_t{1}}});
  }
  insertRows(path, "tblBlock", trials);
  insertRows(path, "tblDisplay", {{{"Configuration", std::string("ShowAll")}}});
  std::vector<TableRow> participants;
  for (int n = 1; n <= kParticipants; ++n) {
    participants.push_back(
        {{"Subject", "B" + std::to_string(n)}, {"Setting", std::string("Bench")}});
  }
  insertRows(path, "datUser", participants);
}

void WeekTurn(benchmark::State& state) {
  const bool withMark = state.range(0) == 1;
  const fs::path folder =
      fs::temp_directory_path() / ("quarn-bench-week-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "data");
  const std::string file = (folder / "data" / "quarn.mdb").string();
  WritePlan(file);

  QtPrompter prompter;
  AnswerAtOnce(prompter);
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  SqlCipherStores stores(nullptr, file);
  DatabaseAccess db(stores, prompter, random);
  const GameServices services{prompter, ticks,          random, SystemWallClock::instance(),
                              db,       folder.string()};

  std::unique_ptr<MainWindow> window;
  std::unique_ptr<GameSession> session;
  int participant = 0;
  // A new participant logs in and starts; without the mark, the end of the
  // session removes it at once and the weeks run without its refresh.
  auto nextParticipant = [&] {
    if (window) window->close();
    window.reset();
    session = std::make_unique<GameSession>(services);
    window = std::make_unique<MainWindow>(*session, prompter);
    session->setView(window.get());
    window->show();
    session->openDatabase("quarn.mdb");
    const std::string subject = "B" + std::to_string(++participant);
    return participant <= kParticipants &&
           session->logIn({subject, "Bench", ""}) == LoginResult::LoggedIn &&
           session->startGame() && (withMark || (session->endSession(), true));
  };

  bench::Durations durations;
  int64_t weeks = 0;
  try {
    if (!nextParticipant()) state.SkipWithError("the first participant did not start");
    for (auto _ : state) {
      auto* orderBox = window->findChild<QLineEdit*>("txtOrder");
      auto* orderButton = window->findChild<QPushButton*>("cmdOrder");
      auto* animation = window->findChild<QTimer*>("tmrAnimation");
      QTest::keyClicks(orderBox, QString::number(4 + weeks % 5));
      bench::TimeIteration(state, durations,
                           [&] { QTest::mouseClick(orderButton, Qt::LeftButton); });
      if (session->phase() != Phase::Animating || !animation->isActive()) {
        state.SkipWithError("the click did not start the animation");
        break;
      }
      ++weeks;
      while (animation->isActive()) QMetaObject::invokeMethod(animation, "timeout");
      QApplication::processEvents();  // the repaint the week's figures asked for
      if (session->phase() == Phase::TrialOver) session->nextTrial();
      if (session->phase() == Phase::GameOver && !nextParticipant()) {
        state.SkipWithError("no participant left to play");
        break;
      }
    }
  } catch (const ApplicationEnd&) {
    state.SkipWithError("a write failed and the run was aborted");
  }
  durations.Report(state);
  state.counters["participants"] = participant;
  if (testing::countRows(file, "datRole") != 4 * weeks) {
    state.SkipWithError("weeks missing in datRole");
  }
  if (withMark == (testing::countRows(file, "datPlaying") == 0)) {
    state.SkipWithError("the workstation mark is not as asked");
  }
  if (window) window->close();
  window.reset();
  session.reset();
  fs::remove_all(folder);
}
BENCHMARK(WeekTurn)->ArgName("mark")->Arg(0)->Arg(1)->Iterations(1000)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  quarn::bench::RunWindowBenchmarks(argc, argv);
  return 0;
}
