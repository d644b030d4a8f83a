// The login lookup of a returning participant (frmLogin::LookupParticipant:
// the datUser row, then the participant's datRole rows of the setting,
// highest Trial first) in a file with 1,000 and in one with 1,000,000 datRole
// rows, side by side. The files are kept in the temporary folder and reused
// by later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <map>

#include "base/Clock.h"
#include "base/Random.h"
#include "bench/app/Percentiles.h"
#include "record/Game.h"
#include "session/SqlCipher.h"
#include "session/frmLogin.h"
#include "session/modDatabase.h"
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

std::string FileWithRows(int64_t rows) {
  const fs::path file =
      fs::temp_directory_path() / ("quarn-bench-login-" + std::to_string(rows) + ".mdb");
  if (fs::exists(file)) return file.string();
  const fs::path partial = file.string() + ".partial";
  fs::remove(partial);
  CreateDatabase(partial.string());
  {
    SqlCipherConnection connection(partial.string(), OpenMode::ReadWrite);
    const std::string n = std::to_string(rows);
    const std::string session = std::to_string(kRowsPerSession);
    const std::string size = std::to_string(kSessionSize);
    // Row i: session i / 640; within it, step (trial and week) by step, the
    // four participants' four roles each.
    std::string sql = "BEGIN;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + n;
    sql += " - 1), r(i, s, k) AS (SELECT i, i / " + session + ", i % " + session;
    sql += " FROM n) INSERT INTO datRole (Subject, Setting, Trial, Week, Role, User, [Order],";
    sql += " DeltaInventory, Inventory, Delay1, Delay2, Demand, Satisfied, WeeklyCost, TotalCost,";
    sql += " TransactionTime, Date, TimeOfDay) SELECT printf('P%06d', s * " + size;
    sql += " + (k % 16) / 4), 'Lab', k / 16 / 20 + 1, k / 16 % 20 + 1,";
    sql += " CASE k % 4 WHEN 0 THEN 'Factory' WHEN 1 THEN 'Distributor' WHEN 2 THEN 'Wholesaler'";
    sql += " ELSE 'Retailer' END, CASE k % 4 WHEN 2 THEN 6 ELSE 0 END, 4 + i % 7, i % 5 - 2,";
    sql += " 12 - i % 9, 4, 4, 4 + i % 5, 4 + i % 3, i % 13, i % 997, 1500 + i % 4000,";
    sql += " '2024-05-14', '10:31:07' FROM r;";
    sql += "INSERT INTO datUser (Subject, Setting, Age) SELECT DISTINCT Subject, 'Lab', 21";
    sql += " FROM datRole;";
    sql += "COMMIT;";
    connection.Exec(sql);
  }
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
  std::unique_ptr<DatabaseEngine> engine = MakeSqlCipherEngine();
  Database db(*engine, toolkit, random);
  db.DatabasePath = FileWithRows(rows);
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
