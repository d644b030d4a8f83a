#include "base/Csv.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(Csv, QuotesTheFieldsAReaderWouldSplitOrTrim) {
  const struct {
    const char* text;
    const char* field;
  } cases[] = {
      {"Sterman", "Sterman"},
      {"", ""},
      {"Zo\xC3\xAB B", "Zo\xC3\xAB B"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"line\n", "\"line\n\""},
      {" lead", "\" lead\""},
      {"trail ", "\"trail \""},
      {"\tTab", "\tTab"},
  };
  for (const auto& c : cases) EXPECT_EQ(csvField(c.text), c.field) << c.text;
}

TEST(Csv, QuotedFieldKeepsAnEmptyTextApartFromNoValue) {
  EXPECT_EQ(quotedCsvField(""), "\"\"");
  EXPECT_EQ(quotedCsvField("a\"b"), "\"a\"\"b\"");
}

}  // namespace
}  // namespace quarn
