#include "db/DatabaseChoice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "db/DbError.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

DatabaseChoice file(const std::string& path) {
  return {DatabaseEngine::File, path, "", ""};
}
DatabaseChoice connection(const std::string& text) {
  return {DatabaseEngine::Server, "", text, ""};
}
DatabaseChoice settings(const std::string& path) {
  return {DatabaseEngine::Server, "", "", path};
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

TEST(DatabaseChoice, LoginBoxNamesAFileInTheDataFolderUnlessItNamesAServer) {
  TestDatabase folder;
  const std::string data = folder.folder();
  const struct {
    const char* box;
    DatabaseChoice chosen;
  } cases[] = {
      {"quarn.mdb", file(data + "/quarn.mdb")},
      {"pilot.mdb", file(data + "/pilot.mdb")},
      {"postgresql://lab/quarn", connection("postgresql://lab/quarn")},
      {"  POSTGRES://lab/quarn ", connection("POSTGRES://lab/quarn")},
      {"lab.conf", settings(data + "/lab.conf")},
      {"LAB.CONF", settings(data + "/LAB.CONF")},
  };
  for (const auto& c : cases) EXPECT_EQ(chooseDatabase(data, c.box), c.chosen) << c.box;
}

// data/quarn.conf chooses the server for the installation: the box's
// default then means the server; another file named in the box stays a file.
TEST(DatabaseChoice, QuarnConfTurnsTheDefaultBoxIntoTheServer) {
  TestDatabase folder;
  const std::string data = folder.folder();
  write(data + "/quarn.conf", "postgresql://lab/quarn\n");
  EXPECT_EQ(chooseDatabase(data, "quarn.mdb"), settings(data + "/quarn.conf"));
  EXPECT_EQ(chooseDatabase(data, "pilot.mdb"), file(data + "/pilot.mdb"));
}

TEST(DatabaseChoice, AdminArgumentNamesAConnectionAFolderOrAFile) {
  TestDatabase withConf, plain;
  write(withConf.folder() + "/quarn.conf", "host=lab dbname=quarn\n");
  const struct {
    std::string argument;
    DatabaseChoice chosen;
  } cases[] = {
      {"postgresql://lab/quarn", connection("postgresql://lab/quarn")},
      {"host=lab dbname=quarn", connection("host=lab dbname=quarn")},
      {withConf.folder(), settings(withConf.folder() + "/quarn.conf")},
      {plain.folder(), file(plain.folder() + "/quarn.mdb")},
      {plain.path(), file(plain.path())},
      {"/elsewhere/lab.conf", settings("/elsewhere/lab.conf")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(chooseAdminDatabase(c.argument), c.chosen) << c.argument;
  }
}

TEST(DatabaseChoice, SettingsFileSkipsCommentsAndJoinsItsLines) {
  TestDatabase folder;
  const std::string path = folder.folder() + "/quarn.conf";
  write(path, "# the lab's server\n\n  host=lab-server\n# the database\ndbname=quarn  \n");
  EXPECT_EQ(readServerSettings(path), "host=lab-server dbname=quarn");
  EXPECT_EQ(settings(path).connectionString(), "host=lab-server dbname=quarn");
}

// Raised at the use, where DatabaseAccess retries and asks.
TEST(DatabaseChoice, SettingsFileThatNamesNothingOrIsMissingIsAFailureNamingIt) {
  TestDatabase folder;
  const std::string empty = folder.folder() + "/empty.conf";
  write(empty, "# nothing yet\n\n");
  for (const std::string& path : {empty, folder.folder() + "/absent.conf"}) {
    try {
      readServerSettings(path);
      ADD_FAILURE() << path;
    } catch (const DbError& failure) {
      EXPECT_NE(failure.description().find(path), std::string::npos) << failure.description();
    }
  }
}

// What the login window shows the moderator: a file's path, or the
// server's host, port and database, libpq's defaults filled in (an empty
// host is the local socket).
TEST(DatabaseChoice, PlaceNamesTheFileOrTheServersHostPortAndDatabase) {
  // libpq's defaults come from the environment: none for these cases.
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : {"PGHOST", "PGHOSTADDR", "PGPORT", "PGDATABASE"}) {
    if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    ::unsetenv(name);
  }
  using E = DatabaseEngine;
  const struct {
    DatabaseChoice choice;
    DatabasePlace place;
  } cases[] = {
      {{E::File, "/lab/data/quarn.mdb", "", ""}, {E::File, "/lab/data/quarn.mdb", "", "", "", ""}},
      {{E::Server, "", "postgresql://quarn@lab-3:5433/exp1", ""},
       {E::Server, "", "lab-3", "5433", "exp1", ""}},
      {{E::Server, "", "host=lab-3 dbname=exp1 user=quarn", ""},
       {E::Server, "", "lab-3", "5432", "exp1", ""}},
      {{E::Server, "", "postgresql://quarn@/exp1", ""}, {E::Server, "", "", "5432", "exp1", ""}},
  };
  for (const auto& c : cases) {
    const DatabasePlace place = c.choice.place();
    EXPECT_EQ(place, c.place) << c.choice.location() << ": " << place.host << ":" << place.port
                              << ", " << place.database;
  }
  for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace
}  // namespace quarn
