#include "tools/Passphrase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

// The passphrase is the file's first line; a file that others may read, or
// one without a passphrase, is refused rather than used.
TEST(Passphrase, ReadsTheFirstLineOfAFileOfTheOwnersAlone) {
  TestDatabase scratch;
  const fs::perms own = fs::perms::owner_read | fs::perms::owner_write;
  const struct {
    const char* content;
    fs::perms perms;
    const char* passphrase;  // nullptr: refused
  } cases[] = {
      {"lab secret\n", own, "lab secret"},
      {"lab secret\r\nsecond line\n", own, "lab secret"},
      {"no line end", own, "no line end"},
      {"lab secret\n", own | fs::perms::group_read, nullptr},
      {"lab secret\n", own | fs::perms::others_read, nullptr},
      {"\n", own, nullptr},
      {"", own, nullptr},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const std::string path = scratch.folder() + "/pass" + std::to_string(n++);
    std::ofstream(path, std::ios::binary) << c.content;
    fs::permissions(path, c.perms);
    if (c.passphrase) {
      EXPECT_EQ(admin::readPassphraseFile(path), c.passphrase);
    } else {
      EXPECT_THROW(admin::readPassphraseFile(path), admin::UsageError);
    }
  }
  EXPECT_THROW(admin::readPassphraseFile(scratch.folder() + "/absent"), admin::UsageError);
}

}  // namespace
}  // namespace quarn::testing
