#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "session/SqlCipher.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::ErrorOf;
using testing::TestDatabase;

// The queries as the loaders build them, with values that hold quotes.
TEST(Reader, CallerFormsWithQuotedValuesOverAReadOnlySnapshot) {
  TestDatabase db;
  const std::string setting = "O'Brien [v.2]";
  db.Insert("tblBlock", {{"Setting", setting}, {"RandomGroup", 0}, {"Index", 1}, {"Delay", 1}});
  db.Insert("tblBlock", {{"Setting", setting}, {"RandomGroup", 2}, {"Index", 5}, {"Delay", 2}});
  db.Insert("tblBlock", {{"Setting", setting}, {"RandomGroup", 1}, {"Index", 1}, {"Delay", 3}});
  db.Insert("tblBlock", {{"Setting", "Other"}, {"Delay", 9}});

  auto blocks =
      db.engine->Open(db.Path(),
                      "SELECT * FROM tblBlock WHERE [tblBlock.Setting]='" + SqlQuote(setting) +
                          "' ORDER BY [tblBlock.RandomGroup] DESC,  [tblBlock.Index];",
                      true);
  std::vector<int> delays;
  for (; !blocks->Eof(); blocks->MoveNext()) delays.push_back(blocks->Get("delay").AsInt16());
  EXPECT_EQ(delays, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(ErrorOf([&] { blocks->Get("Colour"); }), kErrItemNotFound);

  // A value can never widen the query.
  auto injected = db.engine->Open(
      db.Path(), "SELECT * FROM tblBlock WHERE Setting='" + SqlQuote("x' OR '1'='1") + "'", true);
  EXPECT_EQ(injected->RecordCount(), 0);
  EXPECT_EQ(ErrorOf([&] { injected->Get("Setting"); }), kErrNoCurrentRecord);

  // A reader is a static copy over a read-only connection.
  db.Insert("tblPlayer", {{"Name", "A"}});
  auto snapshot = db.engine->Open(db.Path(), "tblPlayer", true);
  db.Insert("tblPlayer", {{"Name", "B"}});
  snapshot->MoveLast();
  EXPECT_EQ(snapshot->RecordCount(), 1);
  EXPECT_NE(ErrorOf([&] { snapshot->AddNew(); }), 0);

  // Even a statement that would write fails on the read-only connection.
  EXPECT_EQ(ErrorOf([&] { db.engine->Open(db.Path(), "DELETE FROM tblPlayer", true); }),
            kErrDatabase + 8 /* SQLITE_READONLY */);
  EXPECT_NE(ErrorOf([&] { db.engine->Open(db.Path(), "SELECT 1; DELETE FROM tblPlayer", true); }),
            0);
  EXPECT_EQ(db.Count("tblPlayer"), 2);
}

// Rows reach the file only by Close, typed, with the defaults for columns
// left out; a writer never creates a file.
TEST(Writer, RowsAreStoredOnlyByCloseWithDefaultsIntoAnExistingFile) {
  TestDatabase db;
  {
    auto gone = db.engine->Open(db.Path(), "datUser", false);
    gone->AddNew();
    gone->Set("Subject", std::string("gone"));
    gone->Update();
  }
  auto rs = db.engine->Open(db.Path(), "[datRole]", false);
  rs->AddNew();
  rs->Set("Subject", std::string("S"));
  rs->Set("Setting", std::string("A"));
  rs->Set("Trial", 2.5);  // rounds half to even
  rs->Set("Week", std::string("07"));
  rs->Set("role", std::string("Factory"));
  rs->Set("Order", int64_t{12});
  EXPECT_EQ(ErrorOf([&] { rs->Set("Delay4", int64_t{1}); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs->Set("Inventory", std::string("lots")); }), kErrDataTypeConversion);
  rs->Update();
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), kErrUpdateWithoutAddNew);
  EXPECT_EQ(db.Count("datRole"), 0);
  rs->Close();
  rs->Close();  // a second close is harmless
  EXPECT_EQ(db.Count("datUser") * 10 + db.Count("datRole"), 1);
  EXPECT_EQ(db.Count("datRole",
                     "Trial=2 AND Week=7 AND Training=0 AND User=0 AND [Order]=12 "
                     "AND PNoise IS NULL AND Delay2 IS NULL"),
            1);

  const std::string path = db.Folder() + "/nothing.mdb";
  EXPECT_EQ(ErrorOf([&] { db.engine->Open(path, "datRole", false); }), kErrDatabase + 14);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Two processes write weeks into one file at once; the busy timeout makes
// each wait for the other, and no row is lost.
TEST(Concurrency, TwoProcessesWritingAtOnceLoseNothing) {
  TestDatabase db;
  constexpr int kWeeks = 40;
  std::vector<pid_t> children;
  for (const char* subject : {"P1", "P2"}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        auto engine = MakeSqlCipherEngine();
        for (int week = 1; week <= kWeeks; ++week) {
          auto rs = engine->Open(db.Path(), "datRole", false);
          for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
            rs->AddNew();
            rs->Set("Subject", std::string(subject));
            rs->Set("Setting", std::string("A"));
            rs->Set("Trial", int64_t{1});
            rs->Set("Week", int64_t{week});
            rs->Set("Role", std::string(role));
            rs->Update();
          }
          rs->Close();
          // Readers in between, as the login and loaders do.
          engine->Open(db.Path(), "SELECT * FROM datRole WHERE Subject='P1'", true);
        }
        _exit(0);
      } catch (...) {
        _exit(1);
      }
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(db.Count("datRole"), 2 * kWeeks * 4);
}

// SQLite reports a folder it cannot create its journal in as "unable to open
// database file"; the moderator is told which folder cannot be written. The
// write runs in a child process that gives up root's rights, which would
// write anywhere.
TEST(Writer, NamesTheFolderThatCannotBeWritten) {
  namespace fs = std::filesystem;
  TestDatabase db;
  fs::permissions(db.Path(), fs::perms::all);
  fs::permissions(db.Folder(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::string result = "stored";
    if (::geteuid() == 0 && ::setuid(65534) != 0) result = "setuid failed";
    try {
      auto rs = db.engine->Open(db.Path(), "datUser", false);
      rs->AddNew();
      rs->Set("Subject", std::string("S1"));
      rs->Update();
      rs->Close();
    } catch (const QuarnError& e) {
      result = e.description();
    }
    (void)!::write(channel[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  fs::permissions(db.Folder(), fs::perms::owner_all);

  EXPECT_EQ(
      message.rfind("The folder " + db.Folder() + " cannot be written (Permission denied)", 0), 0u)
      << message;
  EXPECT_EQ(db.Count("datUser"), 0);
}

}  // namespace
}  // namespace quarn
