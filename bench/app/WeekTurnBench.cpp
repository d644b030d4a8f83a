// The participant's week turn with database output on: from the press of
// the order button to the start of the shipment animation (decision time,
// week step, the text line, the four datRole rows, the next week's figures),
// without (argument 0) and with (1) the participant's mark that a login
// makes, which every week refreshes.
// Runs the real main window offscreen on a real encrypted file. The
// animation is driven to its end between iterations, outside the timing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <utility>

#include "base/Clock.h"
#include "base/Random.h"
#include "bench/app/Percentiles.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseAdmin.h"
#include "db/PlayingMark.h"
#include "db/SqlCipherStores.h"
#include "db/TableWriter.h"
#include "plan/PlanReaders.h"
#include "record/ExperimentLoading.h"
#include "record/Game.h"
#include "record/modRecord.h"
#include "tests/support/TestDatabase.h"
#include "ui/QtPrompter.h"
#include "ui/frmMain.h"

namespace {

namespace fs = std::filesystem;
using namespace quarn;

using Row = TableRow;

class BenchToolkit : public QtPrompter {
 public:
  explicit BenchToolkit(std::string folder) : folder_(std::move(folder)) {
    // The end-of-trial message is answered at once; a failed write ends the run.
    answerer = [](const MessageRequest& box) {
      return box.style == PromptStyle::AbortRetryIgnore ? Answer::Abort : Answer::Ok;
    };
  }
  std::string applicationFolder() override { return folder_; }

 private:
  std::string folder_;
};

// Three 52-week trials with delay 2; the participant plays the Wholesaler
// against anchoring-and-adjustment players; every week is stored.
void WritePlan(const std::string& path) {
  createDatabase(path);
  insertRows(path, "tblPlayer",
             {{{"Name", std::string("Sterman")},
               {"Sterman", int64_t{1}},
               {"Alpha", 0.26},
               {"Beta", 0.34},
               {"Theta", 0.36}}});
  std::vector<Row> trials;
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
}

void WeekTurn(benchmark::State& state) {
  const fs::path folder =
      fs::temp_directory_path() / ("quarn-bench-week-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "data");
  const std::string file = (folder / "data" / "quarn.mdb").string();
  WritePlan(file);

  BenchToolkit toolkit(folder.string());
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  SqlCipherStores stores(nullptr, file);
  DatabaseAccess db(stores, toolkit, random);
  Game game(Services{toolkit, ticks, random, db});
  frmMain form(game);
  form.show();

  int participant = 0;
  auto newParticipant = [&] {
    game.identity.SubjectID.assign(1, 'B');
    game.identity.SubjectID += std::to_string(++participant);
    game.identity.SettingName = "Bench";
    game.plan = Plan{};
    game.CostSum = 0;
    TrainingHooks hooks;
    hooks.NextTrial = [&] { NextTrial(game, form); };
    ExperimentContext context{db,
                              toolkit,
                              game.identity,
                              game.plan,
                              game.training,
                              game.pauses,
                              folder.string() + "/Input",
                              hooks};
    loadExperiment(context);
    if (state.range(0) == 1) {
      const int64_t now = game.clock->seconds();
      game.Mark = PlayingMark{game.identity.SubjectID, "Bench", thisWorkstation(), now, now};
      db.claimParticipant(*game.Mark, now, true);
    }
    form.StartTrial();
  };

  bench::Durations durations;
  int64_t weeks = 0;
  try {
    newParticipant();
    for (auto _ : state) {
      form.txtOrder->setText(QString::number(4 + weeks % 5));
      bench::TimeIteration(state, durations, [&] { form.cmdOrder_Click(); });
      if (!form.tmrAnimation->isActive()) {
        state.SkipWithError("the press did not start the animation");
        break;
      }
      ++weeks;
      while (form.tmrAnimation->isActive()) form.tmrAnimation_Timer();
      QApplication::processEvents();  // the repaint the week's figures asked for
      if (form.cmdOrder->text() == "Next Trial") {
        form.cmdOrder_Click();
        if (form.cmdOrder->text() == "Game Over") newParticipant();
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
  form.close();
  fs::remove_all(folder);
}
BENCHMARK(WeekTurn)->ArgName("mark")->Arg(0)->Arg(1)->Iterations(1000)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  quarn::bench::RunWindowBenchmarks(argc, argv);
  return 0;
}
