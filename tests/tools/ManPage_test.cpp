#include "tools/ManPage.h"

#include <gtest/gtest.h>

namespace quarn::admin {
namespace {

// One subsection per command of Commands.def, with its example, and the
// sections a man page needs; the text of each command is its --help text.
TEST(ManPage, HasASectionPerCommandWithExamplesFilesAndSeeAlso) {
  const std::string page = adminManPage("9.9.9");
  for (const char* part :
       {".TH QUARNGAME\\-ADMIN 1 \"\" \"quarngame\\-admin 9.9.9\"", ".SH COMMANDS",
        ".SS \"check DATADIR|SERVER [SETTING]\"\nlist every fault in the plan",
        "quarngame\\-admin check /srv/study/data Demo", ".SS \"columns [TABLE|textfile]\"",
        ".SS \"debrief DATADIR|SERVER SUBJECT [\\-\\-language CODE]\"", ".SH FILES",
        "/etc/quarngame/quarngame.conf", ".SH SEE ALSO\n.BR quarngame (1)", ".SH EXIT STATUS"}) {
    EXPECT_NE(page.find(part), std::string::npos) << part;
  }
}

TEST(ManPage, TextIsEscapedForRoff) {
  EXPECT_EQ(roffText("a\\b --x"), "a\\eb \\-\\-x");
  EXPECT_EQ(roffText(".hidden"), "\\&.hidden");
  EXPECT_EQ(roffText("'quoted"), "\\&'quoted");
}

}  // namespace
}  // namespace quarn::admin
