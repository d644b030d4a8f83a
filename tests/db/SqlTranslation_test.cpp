#include "db/sqlcipher/SqlTranslation.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(SqlTranslation, NamesBecomeBracketedAndLiteralsStayAsTheyAre) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(SELECT "Index" FROM "tblBlock")", "SELECT [Index] FROM [tblBlock]"},
      {"SELECT [tblBlock.Setting] FROM [tblBlock]", "SELECT [tblBlock].[Setting] FROM [tblBlock]"},
      {R"(WHERE a = 'say "hi" [x.y]')", R"(WHERE a = 'say "hi" [x.y]')"},
      {R"(WHERE a = 'it''s')", R"(WHERE a = 'it''s')"},
      {R"(SELECT "a""b")", R"(SELECT "a""b")"},
  };
  for (const auto& [sql, translated] : cases) EXPECT_EQ(translateSql(sql), translated) << sql;
}

TEST(SqlTranslation, QuotedIdentifierDoublesItsQuotes) {
  EXPECT_EQ(quoteIdentifier(R"(a"b)"), R"("a""b")");
}

}  // namespace
}  // namespace quarn
