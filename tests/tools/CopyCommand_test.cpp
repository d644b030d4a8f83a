#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/support/EngineDatabases.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

int copy(const std::string& source, const std::string& target, std::string* shown = nullptr) {
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  int code = -1;
  try {
    code = admin::cmdCopy({source, target});
  } catch (...) {
    std::cout.rdbuf(saved);
    throw;
  }
  std::cout.rdbuf(saved);
  if (shown) *shown = out.str();
  return code;
}

// An archive of a server's results: a new encrypted file.
TEST(CopyCommand, MakesTheTargetFileWhenItDoesNotExist) {
  ServerDatabase server;
  server.insert("tblPlayer", {{"Name", "Sterman"}});
  server.insert("datUser", {{"Subject", "P1"}});
  FileDatabase scratch;
  const std::string archive = scratch.folder() + "/archive.mdb";
  std::string shown;
  ASSERT_EQ(copy(server.connection(), archive, &shown), 0);
  EXPECT_NE(shown.find("tblPlayer: 1 row copied\n"), std::string::npos) << shown;
  EXPECT_EQ(countRows(archive, "datUser", "Subject='P1'"), 1);
}

// A copy that fails leaves no half-made file behind.
TEST(CopyCommand, RemovesTheNewTargetFileWhenTheCopyFails) {
  FileDatabase scratch;
  const std::string archive = scratch.folder() + "/archive.mdb";
  EXPECT_THROW(copy("host=127.0.0.1 port=1 dbname=quarn connect_timeout=2", archive), QuarnError);
  EXPECT_FALSE(std::filesystem::exists(archive));
}

TEST(CopyCommand, RefusesAMissingSourceFile) {
  FileDatabase scratch;
  EXPECT_EQ(errorOf([&] { copy(scratch.folder() + "/absent.mdb", scratch.choice().file); }),
            kErrFileNotFound);
}

}  // namespace
}  // namespace quarn::testing
