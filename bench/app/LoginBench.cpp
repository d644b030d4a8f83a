// The login of a returning participant in a file with 1,000 and in one with
// 1,000,000 datRole rows, side by side:
// - LoginLookup: the lookup the login makes through DatabaseAccess and the
//   stores (the datUser row without regard to letter case, then the
//   participant's highest Trial of the setting);
// - LogIn: GameSession::logIn, the whole move (the setting, the plan check,
//   the lookup, the workstation mark, the resume question answered Yes); the
//   mark is removed again outside the timing.
// The files are kept in the temporary folder and reused by later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "base/Clock.h"
#include "base/Random.h"
#include "bench/app/Percentiles.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseAdmin.h"
#include "db/TableWriter.h"
#include "db/sqlcipher/SqlCipherStores.h"
#include "game/GameSession.h"
#include "ui/QtPrompter.h"

namespace {

namespace fs = std::filesystem;
using namespace quarn;

// Participants play in lab sessions of four at a time, so the rows of one
// participant are spread among those of three others; each plays two
// 20-week trials (160 rows).
constexpr int64_t kSessionSize = 4;
constexpr int64_t kRowsPerParticipant = 2 * 20 * 4;
constexpr int64_t kRowsPerSession = kSessionSize * kRowsPerParticipant;

std::string ParticipantId(int64_t n) {
  std::string digits = std::to_string(n);
  std::string id = "P";
  if (digits.size() < 6) id.append(6 - digits.size(), '0');
  id += digits;
  return id;
}

// A participant in the middle of the file whose rows are all there.
std::string LookedUpParticipant(int64_t rows) {
  return ParticipantId((rows / kRowsPerSession) / 2 * kSessionSize + 1);
}

const char* const kRoles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

// Row i: session i / 640; within it, step (trial and week) by step, the
// four participants' four roles each.
WeekRow RowNumber(int64_t i) {
  const int64_t session = i / kRowsPerSession, k = i % kRowsPerSession;
  WeekRow row;
  row.subject = ParticipantId(session * kSessionSize + (k % 16) / 4);
  row.setting = "Lab";
  row.trial = static_cast<int16_t>(k / 16 / 20 + 1);
  row.week = static_cast<int16_t>(k / 16 % 20 + 1);
  row.role = kRoles[k % 4];
  row.participant = k % 4 == 2;
  row.stage.order = static_cast<int32_t>(4 + i % 7);
  row.stage.deltaInventory = static_cast<int32_t>(i % 5 - 2);
  row.stage.inventory = static_cast<int32_t>(12 - i % 9);
  row.stage.delaySlots = {4, 4};
  row.stage.demand = static_cast<int32_t>(4 + i % 5);
  row.stage.satisfied = static_cast<int32_t>(4 + i % 3);
  row.stage.weeklyCost = static_cast<int32_t>(i % 13);
  row.stage.totalCost = static_cast<int32_t>(i % 997);
  row.stage.decisionTime = static_cast<int32_t>(1500 + i % 4000);
  row.date = "2024-05-14";
  row.timeOfDay = "10:31:07";
  return row;
}

// The plan of setting Lab: three trials, the participant at the Wholesaler.
void WritePlan(const std::string& path) {
  insertRows(path, "tblPlayer", {{{"Name", std::string("Bot")}, {"Demand", int64_t{1}}}});
  insertRows(path, "tblBlock",
             {{{"Setting", std::string("Lab")},
               {"Index", int64_t{1}},
               {"Runs", int64_t{3}},
               {"Delay", int64_t{2}},
               {"numweeks", int64_t{20}},
               {"InitialDemand", int64_t{4}},
               {"JumpWeek", int64_t{5}},
               {"SecondDemand", int64_t{8}},
               {"DisplayOption", std::string("Standard")},
               {"Factory", std::string("Bot")},
               {"Distributor", std::string("Bot")},
               {"Wholesaler", std::string("Subject")},
               {"Retailer", std::string("Bot")},
               {"FirstOrder", int64_t{4}},
               {"MinOrder", int64_t{0}},
               {"MaxOrder", int64_t{100}},
               {"MaxNoise", int64_t{0}},
               {"InitInventory", int64_t{12}},
               {"InitDelayAmount", int64_t{4}},
               {"CostInventory", 0.5},
               {"CostBackOrder", 1.0},
               {"CostTransit", 0.0}}});
}

// The application folder whose data/quarn.mdb holds `rows` datRole rows.
std::string FolderWithRows(int64_t rows) {
  const fs::path folder = fs::temp_directory_path() / ("quarn-bench-login-" + std::to_string(rows));
  const fs::path file = folder / "data" / "quarn.mdb";
  if (fs::exists(file)) return folder.string();
  const fs::path partial = file.string() + ".partial";
  fs::create_directories(file.parent_path());
  fs::remove(partial);
  createDatabase(partial.string());
  WritePlan(partial.string());
  SqlCipherStores stores(nullptr, partial.string());
  {
    auto writer = stores.results().openWeekRows();
    for (int64_t i = 0; i < rows; ++i) writer->insert(RowNumber(i));
    writer->commit();
  }
  std::vector<TableRow> participants;
  for (int64_t n = 0; n < (rows + kRowsPerSession - 1) / kRowsPerSession * kSessionSize; ++n) {
    participants.push_back(
        {{"Subject", ParticipantId(n)}, {"Setting", std::string("Lab")}, {"Age", int64_t{21}}});
  }
  insertRows(partial.string(), "datUser", participants);
  fs::rename(partial, file);
  return folder.string();
}

// The services of one login, on the file of `rows` rows.
struct LoginServices {
  explicit LoginServices(int64_t rows) : folder(FolderWithRows(rows)) {
    prompter.answerer = [](const MessageRequest& box) {
      return box.kind == PromptKind::Resume ? Answer::Yes : Answer::Abort;
    };
    db.setLocation(folder + "/data/quarn.mdb");
  }
  GameServices services() {
    return {prompter, ticks, random, SystemWallClock::instance(), db, folder};
  }

  std::string folder;
  QtPrompter prompter;
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  SqlCipherStores stores;
  DatabaseAccess db{stores, prompter, random};
};

std::map<std::string, std::map<int64_t, double>> medians;

void LoginLookup(benchmark::State& state) {
  const int64_t rows = state.range(0);
  LoginServices login(rows);
  // The subject as typed: the lookup finds it without regard to letter case.
  std::string typed = LookedUpParticipant(rows);
  typed[0] = 'p';
  auto lookUp = [&] {
    const std::optional<std::string> stored = login.db.findParticipant(typed);
    return stored ? login.db.highestTrial(*stored, "Lab") : std::nullopt;
  };
  // The first open of a file derives its key; a lab pays that once a run.
  if (lookUp() != std::optional<int16_t>{2}) {
    state.SkipWithError("the participant was not found at trial 2");
    return;
  }
  bench::Durations durations;
  for (auto _ : state) bench::TimeIteration(state, durations, [&] { lookUp(); });
  durations.Report(state);
  medians["lookup"][rows] = durations.Quantile(0.5);
}

void LogIn(benchmark::State& state) {
  const int64_t rows = state.range(0);
  LoginServices login(rows);
  const std::string subject = LookedUpParticipant(rows);
  bench::Durations durations;
  for (auto _ : state) {
    GameSession session(login.services());
    session.openDatabase("quarn.mdb");
    LoginResult result = LoginResult::RetrySubject;
    bench::TimeIteration(state, durations, [&] { result = session.logIn({subject, "Lab", ""}); });
    if (result != LoginResult::LoggedIn || session.state().plan.currentTrial != 2) {
      state.SkipWithError("the participant did not log in at trial 2");
      return;
    }
    session.endSession();
  }
  durations.Report(state);
  medians["logIn"][rows] = durations.Quantile(0.5);
}

BENCHMARK(LoginLookup)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LogIn)->Arg(1000)->Arg(1000000)->Iterations(200)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  quarn::bench::RunWindowBenchmarks(argc, argv);
  for (auto& [what, byRows] : medians) {
    if (byRows.count(1000) && byRows.count(1000000) && byRows[1000] > 0) {
      std::printf("%s, median at 1,000,000 rows / median at 1,000 rows: %.2f\n", what.c_str(),
                  byRows[1000000] / byRows[1000]);
    }
  }
  return 0;
}
