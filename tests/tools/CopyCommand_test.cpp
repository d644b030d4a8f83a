#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/support/EngineDatabases.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// Runs a command with its standard output caught in `shown`.
int run(admin::CommandFunction command, const std::vector<std::string>& args,
        std::string* shown = nullptr) {
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  int code = -1;
  try {
    code = command(args);
  } catch (...) {
    std::cout.rdbuf(saved);
    throw;
  }
  std::cout.rdbuf(saved);
  if (shown) *shown = out.str();
  return code;
}

int copy(const std::string& source, const std::string& target, std::string* shown = nullptr) {
  return run(admin::cmdCopy, {source, target}, shown);
}

// The lab's passphrase in a file of the owner's alone.
std::string passphraseFile(const std::string& folder, const std::string& passphrase) {
  const std::string path = folder + "/passphrase";
  std::ofstream(path) << passphrase << "\n";
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  return path;
}

// Works in another folder for as long as it lives.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& folder) : m_before(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingFolder() { std::filesystem::current_path(m_before); }

 private:
  std::filesystem::path m_before;
};

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

// The archive opens with the lab's passphrase only, not with the
// application's published one; export reads it with the same option, and a
// second copy into it adds to it.
TEST(CopyCommand, ArchiveWithThePassphraseOpensWithItOnly) {
  FileDatabase results;
  results.insert("datUser", {{"Subject", "P1"}});
  FileDatabase scratch;
  const std::string archive = scratch.folder() + "/archive.mdb";
  const std::string secret = passphraseFile(scratch.folder(), "our lab's 'own' secret");
  ASSERT_EQ(run(admin::cmdCopy, {results.choice().file, archive, "--passphrase-file", secret}), 0);

  // This process now knows the passphrase for that path: a copy of the
  // file elsewhere is opened as any file is, with the published password.
  const std::string elsewhere = scratch.folder() + "/elsewhere.mdb";
  std::filesystem::copy_file(archive, elsewhere);
  EXPECT_EQ(errorOf([&] { countRows(elsewhere, "datUser"); }), kErrDatabase + 26);
  std::string csv;
  ASSERT_EQ(run(admin::cmdExport, {archive, "datUser", "--passphrase-file", secret}, &csv), 0);
  EXPECT_NE(csv.find("\r\nP1,"), std::string::npos) << csv;

  FileDatabase later;
  later.insert("datUser", {{"Subject", "P2"}});
  ASSERT_EQ(run(admin::cmdCopy, {later.choice().file, archive, "--passphrase-file", secret}), 0);
  ASSERT_EQ(run(admin::cmdExport, {archive, "datUser", "--passphrase-file", secret}, &csv), 0);
  EXPECT_NE(csv.find("\r\nP2,"), std::string::npos) << csv;
  EXPECT_EQ(countRows(results.choice().file, "datUser"), 1) << "the source keeps its own key";
}

// An archive named relative to the working folder, as a moderator types it,
// is made with the passphrase and opens with it.
TEST(CopyCommand, ArchiveNamedInTheWorkingFolderOpensWithThePassphrase) {
  FileDatabase results;
  results.insert("datUser", {{"Subject", "P1"}});
  FileDatabase scratch;
  const std::string secret = passphraseFile(scratch.folder(), "the lab's secret");
  {
    const WorkingFolder inScratch(scratch.folder());
    ASSERT_EQ(
        run(admin::cmdCopy, {results.choice().file, "archive.mdb", "--passphrase-file", secret}),
        0);
  }
  std::string csv;
  ASSERT_EQ(run(admin::cmdExport,
                {scratch.folder() + "/archive.mdb", "datUser", "--passphrase-file", secret}, &csv),
            0);
  EXPECT_NE(csv.find("\r\nP1,"), std::string::npos) << csv;
}

TEST(CopyCommand, RefusesAMissingSourceFile) {
  FileDatabase scratch;
  EXPECT_EQ(errorOf([&] { copy(scratch.folder() + "/absent.mdb", scratch.choice().file); }),
            kErrFileNotFound);
}

}  // namespace
}  // namespace quarn::testing
