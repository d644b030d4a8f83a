#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "db/DatabaseCopy.h"
#include "tests/support/EngineDatabases.h"
#include "tests/support/Processes.h"
#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn::testing {

namespace fs = std::filesystem;

// The demo experiment laid out as the application finds it: <app>/data holds
// quarn.mdb, <app>/Input the demand file. The data folder is the test
// database's folder, so `db` reads what the sessions wrote.
class DemoFolder {
 public:
  DemoFolder() {
    const fs::path made = fs::path(db.folder()) / "made" / "data";
    admin::cmdDemo({made.string()});
    fs::copy_file(made / "quarn.mdb", db.path(), fs::copy_options::overwrite_existing);
    app = fs::path(db.folder()) / "app";
    fs::create_directories(app);
    fs::create_directory_symlink(db.folder(), app / "data");
    fs::copy(made.parent_path() / "Input", app / "Input");
  }

  // Copies the demo (as the test has changed it) to a schema of its own on
  // the test server, and names that in data/quarn.conf: from now on the
  // sessions play into the server. quarn.mdb stays for resultsToFile.
  void moveToServer() {
    server = std::make_unique<ServerDatabase>();
    SqlCipherTables file(db.path());
    copyDatabase(file, server->tables());
    std::ofstream(fs::path(db.folder()) / "quarn.conf") << server->connection() << "\n";
  }

  // The sessions' results copied from the server into quarn.mdb, so that
  // `db` reads them as if they had been played into the file.
  void resultsToFile() {
    SqlCipherTables file(db.path());
    copyDatabase(server->tables(), file);
  }

  // Where the sessions play: the file, or the server after moveToServer.
  EngineDatabase& played() {
    if (server) return *server;
    if (!m_file) m_file = std::make_unique<FileTables>(db);
    return *m_file;
  }

  std::string dataDir() const { return (app / "data").string(); }
  std::string textFile(const std::string& subject) const {
    return (app / "data" / (subject + ".txt")).string();
  }

  TestDatabase db;
  fs::path app;
  std::unique_ptr<ServerDatabase> server;

 private:
  // The demo file as an EngineDatabase.
  class FileTables final : public EngineDatabase {
   public:
    explicit FileTables(TestDatabase& file) : m_file(file), m_tables(file.path()) {}
    DatabaseChoice choice() const override { return {DatabaseEngine::File, m_file.path(), "", ""}; }
    Stores& stores() override { return m_file.stores; }
    DatabaseTables& tables() override { return m_tables; }

   private:
    TestDatabase& m_file;
    SqlCipherTables m_tables;
  };
  std::unique_ptr<FileTables> m_file;
};

// The role columns that put the members on `stages` (Subject1 first):
// `, "Retailer" = 'Subject1', "Factory" = 'Subject2'`.
inline std::string memberAssignments(const std::vector<std::string>& stages) {
  std::string assignments;
  for (size_t m = 0; m < stages.size(); ++m) {
    assignments += ", \"" + stages[m] + "\" = 'Subject" + std::to_string(m + 1) + "'";
  }
  return assignments;
}

// Gives `setting` the demo's training row: each participant trains alone.
inline void copyDemoTraining(TestDatabase& db, const std::string& setting) {
  db.exec(
      "CREATE TEMP TABLE t AS SELECT * FROM tblTraining WHERE Setting = 'Demo';"
      "UPDATE t SET Setting = '" +
      setting + "'; INSERT INTO tblTraining SELECT * FROM t; DROP TABLE t;");
}

// The setting's training row names the members on the stages of its trials
// (Subject1 first): the team trains together, `weeks` weeks a training
// trial.
inline void trainTogether(TestDatabase& db, const std::string& setting,
                          const std::vector<std::string>& stages, int weeks) {
  db.exec("UPDATE tblTraining SET Weeks = " + std::to_string(weeks) + memberAssignments(stages) +
          " WHERE Setting = '" + setting + "'");
}

// `quarngame-admin pilot` on the demo setting, as a process of its own with
// its output in `outFile`.
// `options` follow the pilot's arguments ("--pace", "100").
inline pid_t startPilotOf(const DemoFolder& demo, const std::string& setting,
                          const std::string& subject, const std::string& outFile,
                          const std::vector<std::string>& options = {}) {
  std::vector<std::string> args = {QUARN_ADMIN_TOOL, "pilot", demo.dataDir(), setting, subject};
  args.insert(args.end(), options.begin(), options.end());
  return startProcess(std::move(args), outFile);
}

inline pid_t startPilot(const DemoFolder& demo, const std::string& subject,
                        const std::string& outFile, const std::vector<std::string>& options = {}) {
  return startPilotOf(demo, "Demo", subject, outFile, options);
}

// The exit code of a finished process, or -signal when a signal ended it.
inline int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a participant's text file counted by the week each names:
// its head of User ID, setting, trial and week ("P1,Demo,2,7,").
inline std::map<std::string, int> textLinesByWeek(const std::string& path) {
  std::map<std::string, int> lines;
  const std::string text = readFile(path);
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = text.substr(at, end - at);
    size_t head = 0;
    for (int field = 0; field < 4 && head != std::string::npos; ++field) {
      const size_t comma = line.find(',', head);
      head = comma == std::string::npos ? comma : comma + 1;
    }
    ++lines[line.substr(0, head)];
  }
  return lines;
}

inline int64_t intOf(const TestRow& row, const char* column) {
  const CellValue& value = row.at(column);
  if (const auto* i = std::get_if<int64_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) return static_cast<int64_t>(*d);
  return 0;  // Null
}

}  // namespace quarn::testing
