#include "sim/InputFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/Errors.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;

// An Input folder with a secret beside it and files, links, a folder and a
// FIFO inside.
class InputFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quarn-input-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    folder = root + "/Input";
    fs::create_directories(folder + "/sub");
    std::ofstream(root + "/secret.txt") << "root:x:0:0\n";
    std::ofstream(folder + "/sub/inner.txt") << "6\n";
    fs::create_symlink(root + "/secret.txt", folder + "/out-link");
    fs::create_symlink("/dev/zero", folder + "/zero-link");
    fs::create_symlink("sub/inner.txt", folder + "/in-link");
    ASSERT_EQ(mkfifo((folder + "/fifo").c_str(), 0600), 0);
    std::ofstream(folder + "/big.txt") << std::string(kMaxInputBytes + 1, '4');
  }
  void TearDown() override { fs::remove_all(root); }

  std::string root, folder;
};

TEST_F(InputFolder, ReadsFilesAndLinksInsideTheFolder) {
  for (const char* inside : {"sub/inner.txt", "in-link"}) {
    EXPECT_EQ(readInputFile(folder, inside, "Demand file"), "6\n") << inside;
  }
}

// Nothing else is opened, and a refusal never shows what a file holds.
TEST_F(InputFolder, RefusesWhatIsNotARegularFileInsideTheFolder) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"../secret.txt", "leads out of the Input folder (\"..\")"},
      {root + "/secret.txt", "is not a file name inside the Input folder"},
      {"out-link", "leads out of the Input folder"},
      {"zero-link", "leads out of the Input folder"},
      {"fifo", "is not a regular file"},
      {"sub", "is not a regular file"},
      {"big.txt", "is larger than 1048576 bytes"},
      {"none.txt", "was not found"},
  };
  for (const auto& [input, reason] : refused) {
    try {
      readInputFile(folder, input, "Demand file");
      ADD_FAILURE() << "accepted " << input;
    } catch (const QuarnError& e) {
      const std::string text = e.what();
      EXPECT_EQ(text, "Demand file " + reason) << input;
      EXPECT_EQ(text.find("root:"), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace quarn
