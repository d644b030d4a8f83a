#include "base/Text.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(Text, PrintableShowsWhatCannotBeSeenAsItsCode) {
  EXPECT_EQ(printable("a\x1b[31mb"), "a\\x1b[31mb");
  EXPECT_EQ(printable("\xEF\xBB\xBFZo\xC3\xAB"), "<U+FEFF>Zo\xC3\xAB");
  EXPECT_EQ(printable("\xe9t\xe9"), "\\xe9t\\xe9");
}

TEST(Text, NamesThatWouldBreakATextLineAreNamed) {
  EXPECT_EQ(textLineFault("Demo 2"), "");
  EXPECT_EQ(textLineFault("a,b"), "holds a comma");
  EXPECT_EQ(textLineFault("a\r\nb"), "holds a line break");
  EXPECT_EQ(textLineFault("a\tb"), "holds the control character \\x09");
  EXPECT_EQ(textLineFault("\xe9"), "holds bytes that are not UTF-8 text");
}

TEST(Text, Utf8CheckNamesTheFirstBadByte) {
  size_t bad = 0;
  EXPECT_TRUE(isUtf8("Zo\xC3\xAB"));
  EXPECT_FALSE(isUtf8("ab\xC0\xAF", &bad));  // an overlong "/"
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(isUtf8("\xED\xA0\x80"));  // a surrogate
}

TEST(Text, TrimsOnlyTheCharactersAsked) {
  EXPECT_EQ(trimBlanks("  a b \t"), "a b \t");
  EXPECT_EQ(trimSpace(" \t\v a b\r\n"), "a b");
  EXPECT_EQ(trimmed("--x-", "-"), "x");
  EXPECT_EQ(trimBlanks("   "), "");
  EXPECT_EQ(withoutByteOrderMark("\xEF\xBB\xBFx"), "x");
}

TEST(Text, AsciiCaseFoldingLeavesOtherLettersAlone) {
  EXPECT_TRUE(equalsIgnoringAsciiCase("Bot", "bOT"));
  EXPECT_FALSE(equalsIgnoringAsciiCase("Zo\xC3\xAB", "ZO\xC3\x8B"));
  EXPECT_EQ(toLowerAscii("ZO\xC3\x8B"), "zo\xC3\x8B");
}

TEST(Text, CaseBlindComparisonFoldsLettersBeyondAscii) {
  EXPECT_EQ(compareIgnoringCase("Zo\xC3\xAB", "ZO\xC3\x8B"), 0);
  EXPECT_EQ(compareIgnoringCase("p1", "P1"), 0);
  EXPECT_LT(compareIgnoringCase("a", "B"), 0);
  EXPECT_GT(compareIgnoringCase("ab", "A"), 0);
  EXPECT_NE(compareIgnoringCase("\xe9", "\xc9"), 0);  // bytes that are not UTF-8 stay apart
}

// User IDs and team names follow one rule: what names a file and stands in
// a comma-separated line, and what a reader can tell apart from another name.
TEST(Text, NamesFollowOneRule) {
  const std::string longest(kNameLength, 'x');
  const struct {
    std::string name;
    NameFault fault;
  } cases[] = {
      {"Zo\xC3\xAB O'Neil.b", NameFault::None},
      {longest, NameFault::None},
      {std::string(9, 'x') + "\xF0\x9F\x98\x80" + std::string(10, 'y'), NameFault::None},
      {"", NameFault::Empty},
      {longest + "x", NameFault::TooLong},
      {std::string(10000, 'x'), NameFault::TooLong},
      {std::string(10, 'x') + "\xF0\x9F\x98\x80" + std::string(10, 'y'), NameFault::TooLong},
      {"a,b", NameFault::Forbidden},
      {"a\nb", NameFault::Forbidden},
      {"a/b", NameFault::Forbidden},
      {"\xe9", NameFault::Forbidden},
      {"P\xE2\x80\x8B"
       "07",
       NameFault::Invisible},  // a zero-width space
      {"\xE2\x80\xAE"
       "70P",
       NameFault::Invisible},                 // a right-to-left override
      {"P07\xC2\xA0", NameFault::Invisible},  // a no-break space
      {"...", NameFault::OnlyDots},
  };
  for (const auto& c : cases) EXPECT_EQ(nameFault(c.name), c.fault) << printable(c.name);
}

TEST(Text, FoldedNamesAreEqualWhateverTheirLetterCase) {
  EXPECT_EQ(foldedName("Green"), foldedName("gREEN"));
  EXPECT_EQ(foldedName("ZO\xC3\x8B"), "zo\xC3\xAB");
  EXPECT_NE(foldedName("P07"), foldedName("P7"));
  EXPECT_EQ(foldedName("a\xe9"), "a\xe9");  // a byte that is not UTF-8 stays
}

TEST(Text, ArgumentsFillTheirMarkersInOnePass) {
  struct Case {
    const char* pattern;
    std::vector<std::string> arguments;
    const char* expected;
  };
  const Case cases[] = {
      {"Continue with user %1 on Trial %2?", {"P1", "3"}, "Continue with user P1 on Trial 3?"},
      {"Versuch %2 von %1", {"P1", "3"}, "Versuch 3 von P1"},
      {"%1 and %2", {"%2", "x"}, "%2 and x"},  // an argument is not read again
      {"100% of %1, %3 left", {"a"}, "100% of a, %3 left"},
  };
  for (const Case& c : cases) EXPECT_EQ(withArguments(c.pattern, c.arguments), c.expected);
}

}  // namespace
}  // namespace quarn
