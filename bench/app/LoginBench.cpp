// The login lookup of a returning participant (frmLogin::LookupParticipant:
// the datUser row, then the participant's highest Trial of the setting) in a file with 1,000 and in
// one with 1,000,000 datRole rows, side by side. The files are kept in the temporary folder and
// reused by later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <map>

#include "base/Clock.h"
#include "base/Random.h"
#include "bench/app/Percentiles.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseAdmin.h"
#include "db/SqlCipherStores.h"
#include "db/TableWriter.h"
#include "record/Game.h"
#include "session/frmLogin.h"
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
  row.order = static_cast<int32_t>(4 + i % 7);
  row.deltaInventory = static_cast<int32_t>(i % 5 - 2);
  row.inventory = static_cast<int32_t>(12 - i % 9);
  row.delaySlots = {4, 4};
  row.demand = static_cast<int32_t>(4 + i % 5);
  row.satisfied = static_cast<int32_t>(4 + i % 3);
  row.weeklyCost = static_cast<int32_t>(i % 13);
  row.totalCost = static_cast<int32_t>(i % 997);
  row.transactionTime = static_cast<int32_t>(1500 + i % 4000);
  row.date = "2024-05-14";
  row.timeOfDay = "10:31:07";
  return row;
}

std::string FileWithRows(int64_t rows) {
  const fs::path file =
      fs::temp_directory_path() / ("quarn-bench-login-" + std::to_string(rows) + ".mdb");
  if (fs::exists(file)) return file.string();
  const fs::path partial = file.string() + ".partial";
  fs::remove(partial);
  createDatabase(partial.string());
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
  return file.string();
}

std::map<int64_t, double> medians;

void LoginLookup(benchmark::State& state) {
  const int64_t rows = state.range(0);
  QtPrompter toolkit;
  toolkit.answerer = [](const MessageRequest&) { return Answer::Abort; };
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  SqlCipherStores stores(nullptr, FileWithRows(rows));
  DatabaseAccess db(stores, toolkit, random);
  Game game(Services{toolkit, ticks, random, db});
  game.identity.SubjectID = LookedUpParticipant(rows);
  game.identity.SettingName = "Lab";
  frmLogin login(game);

  // The first open of a file derives its key; a lab pays that once a run.
  if (!login.LookupParticipant() || game.plan.currentTrial != 2) {
    state.SkipWithError("the participant was not found at trial 2");
    return;
  }
  bench::Durations durations;
  for (auto _ : state) {
    bench::TimeIteration(state, durations, [&] { login.LookupParticipant(); });
  }
  durations.Report(state);
  medians[rows] = durations.Quantile(0.5);
}
BENCHMARK(LoginLookup)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  quarn::bench::RunWindowBenchmarks(argc, argv);
  if (medians.count(1000) && medians.count(1000000) && medians[1000] > 0) {
    std::printf("login lookup, median at 1,000,000 rows / median at 1,000 rows: %.2f\n",
                medians[1000000] / medians[1000]);
  }
  return 0;
}
