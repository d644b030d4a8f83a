#include "db/sqlcipher/InsertTransaction.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "db/DbError.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::errorOf;
using testing::TestDatabase;

const std::string kInsertUser = R"(INSERT INTO "datUser" ("Subject") VALUES (?))";

TEST(InsertTransaction, SecondCommitIsHarmless) {
  TestDatabase db;
  InsertTransaction writer(db.path(), "datUser", nullptr);
  writer.insert(kInsertUser, {std::string("S1")});
  writer.commit();
  writer.commit();
  EXPECT_EQ(db.count("datUser", "Subject='S1'"), 1);
}

TEST(InsertTransaction, NeverCreatesAFile) {
  TestDatabase db;
  const std::string path = db.folder() + "/nothing.mdb";
  EXPECT_EQ(errorOf([&] { InsertTransaction(path, "datRole", nullptr); }),
            kErrDatabase + 14 /* SQLITE_CANTOPEN */);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Two processes write weeks into one file at once; the busy timeout makes
// each wait for the other, and no row is lost.
TEST(InsertTransaction, TwoProcessesWritingAtOnceLoseNothing) {
  TestDatabase db;
  constexpr int kWeeks = 40;
  const std::string insert =
      R"(INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Week", "Role") VALUES (?, 'A', 1, ?, ?))";
  std::vector<pid_t> children;
  for (const char* subject : {"P1", "P2"}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        for (int week = 1; week <= kWeeks; ++week) {
          InsertTransaction writer(db.path(), "datRole", nullptr);
          for (int r = 0; r < kRoleCount; ++r) {
            writer.insert(insert, {std::string(subject), int64_t{week}, roleName(r)});
          }
          writer.commit();
          // Readers in between, as the login and loaders do.
          SqlCipherConnection(db.path(), OpenMode::ReadOnly).query(R"(SELECT * FROM "datRole")");
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
  EXPECT_EQ(db.count("datRole"), 2 * kWeeks * 4);
}

// SQLite reports a folder it cannot create its journal in as "unable to open
// database file"; the moderator is told which folder cannot be written. The
// write runs in a child process that gives up root's rights, which would
// write anywhere.
TEST(InsertTransaction, NamesTheFolderThatCannotBeWritten) {
  namespace fs = std::filesystem;
  TestDatabase db;
  fs::permissions(db.path(), fs::perms::all);
  fs::permissions(db.folder(),
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
      InsertTransaction writer(db.path(), "datUser", nullptr);
      writer.insert(kInsertUser, {std::string("S1")});
      writer.commit();
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
  fs::permissions(db.folder(), fs::perms::owner_all);

  EXPECT_EQ(
      message.rfind("The folder " + db.folder() + " cannot be written (Permission denied)", 0), 0u)
      << message;
  EXPECT_EQ(db.count("datUser"), 0);
}

}  // namespace
}  // namespace quarn
