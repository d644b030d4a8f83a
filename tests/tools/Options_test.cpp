#include "tools/Options.h"

#include <gtest/gtest.h>

namespace quarn::testing {
namespace {

using admin::ParsedArguments;
using admin::UsageError;

ParsedArguments parse(const std::vector<std::string>& args) {
  return admin::parseArguments(args, {"--out", "--by"}, 1, "report DATABASE --out DIR",
                               {"--replace", "--svg"});
}

TEST(Options, TakesFlagsWithoutAValueBesideOptions) {
  const ParsedArguments a = parse({"--replace", "db", "--out", "dir", "--svg"});
  EXPECT_EQ(a.positional, std::vector<std::string>{"db"});
  EXPECT_EQ(a.option("--out"), "dir");
  EXPECT_TRUE(a.has("--replace"));
  EXPECT_TRUE(a.has("--svg"));
  EXPECT_FALSE(a.has("--by"));
}

TEST(Options, RefusesUnknownRepeatedOrIncompleteArguments) {
  const std::vector<std::vector<std::string>> refused = {
      {"db", "--replace", "--replace"},  // a flag twice
      {"db", "--out", "a", "--out", "b"},
      {"db", "--out"},  // no value
      {"db", "--colour", "red"},
      {"db", "other"},  // a second positional
      {"--replace"},    // none
  };
  for (const std::vector<std::string>& args : refused) {
    EXPECT_THROW(parse(args), UsageError) << args.back();
  }
}

}  // namespace
}  // namespace quarn::testing
