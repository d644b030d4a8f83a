#include "db/postgres/PgSchema.h"

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "db/Schema.h"
#include "db/postgres/PgError.h"
#include "tests/db/postgres/TestServer.h"

namespace quarn {
namespace {

using testing::pgErrorOf;
using testing::ScratchSchema;

// Each table as lines: its columns in order ("Name type [not null] [default
// X]"), its key, its indexes. Both engines' schemas are described this way.
using TableLines = std::map<std::string, std::vector<std::string>>;

std::string columnLine(const std::string& name, const std::string& type, bool notNull,
                       const std::string& defaultValue) {
  std::string line = name + " " + type;
  if (notNull) line += " not null";
  if (!defaultValue.empty()) line += " default " + defaultValue;
  return line;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// SQLite's result rows as text.
std::vector<std::vector<std::string>> fileRows(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  std::vector<std::vector<std::string>> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = sqlite3_column_text(statement, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  sqlite3_finalize(statement);
  return rows;
}

// The tables of the encrypted file's schema, built in memory, with the
// server's names for the column types.
TableLines fileSchema() {
  const std::map<std::string, std::string> serverType = {
      {"INTEGER", "bigint"}, {"REAL", "double precision"}, {"TEXT", "text"}};
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  EXPECT_EQ(sqlite3_exec(db, schemaSql(), nullptr, nullptr, nullptr), SQLITE_OK);
  TableLines tables;
  for (const auto& table : fileRows(db, "SELECT name FROM sqlite_master WHERE type = 'table'")) {
    auto& lines = tables[table[0]];
    std::map<int, std::string> key;
    for (const auto& c : fileRows(db, "PRAGMA table_info(" + table[0] + ")")) {
      // cid, name, type, notnull, dflt_value, pk
      lines.push_back(columnLine(c[1], serverType.at(c[2]), c[3] == "1", c[4]));
      if (c[5] != "0") key[std::stoi(c[5])] = c[1];
    }
    std::vector<std::string> keyColumns;
    for (const auto& [position, column] : key) keyColumns.push_back(column);
    lines.push_back("key (" + joined(keyColumns) + ")");
    // seq, name, unique, origin ("c": made by CREATE INDEX, "pk": the key)
    auto indexes = fileRows(db, "PRAGMA index_list(" + table[0] + ")");
    std::sort(indexes.begin(), indexes.end(),
              [](const auto& a, const auto& b) { return a[1] < b[1]; });
    for (const auto& index : indexes) {
      if (index[3] != "c") continue;
      std::vector<std::string> columns;
      for (const auto& c : fileRows(db, "PRAGMA index_info(" + index[1] + ")")) {
        columns.push_back(c[2]);
      }
      lines.push_back("index " + index[1] + " (" + joined(columns) + ")");
    }
  }
  sqlite3_close(db);
  return tables;
}

std::string text(const PgValue& value) {
  return std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : "";
}

// The tables of the connection's current schema, described like fileSchema.
TableLines serverSchema(PgConnection& db) {
  TableLines tables;
  for (const auto& c :
       db.exec("SELECT table_name, column_name, data_type, is_nullable, column_default "
               "FROM information_schema.columns WHERE table_schema = current_schema() "
               "ORDER BY table_name, ordinal_position")
           .rows) {
    // A default comes back as an expression: '0', '''''::text'.
    std::string defaultValue = text(c[4]);
    defaultValue = defaultValue.substr(0, defaultValue.find("::"));
    tables[text(c[0])].push_back(
        columnLine(text(c[1]), text(c[2]), text(c[3]) == "NO", defaultValue));
  }
  for (auto& [table, lines] : tables) {
    const PgResult key = db.exec(
        "SELECT a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
        "AND a.attnum = ANY(i.indkey) WHERE i.indrelid = quote_ident($1)::regclass "
        "AND i.indisprimary ORDER BY array_position(i.indkey, a.attnum)",
        {table});
    std::vector<std::string> keyColumns;
    for (const auto& row : key.rows) keyColumns.push_back(text(row[0]));
    lines.push_back("key (" + joined(keyColumns) + ")");
    const PgResult indexes = db.exec(
        "SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() "
        "AND tablename = $1 AND indexname NOT LIKE '%\\_pkey' ORDER BY indexname",
        {table});
    for (const auto& index : indexes.rows) {
      // indexdef: CREATE INDEX "name" ON schema."table" USING btree ("a", "b")
      std::string definition = text(index[1]);
      definition = definition.substr(definition.find(" USING btree ") + 13);
      std::erase(definition, '"');
      lines.push_back("index " + text(index[0]) + " " + definition);
    }
  }
  return tables;
}

TEST(PgSchema, CreatesEveryTableAsInTheFile) {
  ScratchSchema scratch;
  createSchema(scratch.db);
  TableLines expected = fileSchema();
  ASSERT_FALSE(expected.empty());
  // Every table numbers its rows like the file's hidden rowid; last, so that
  // the other columns stand where they stand in the file.
  for (auto& [table, lines] : expected) {
    const auto key = std::find_if(lines.begin(), lines.end(),
                                  [](const std::string& line) { return line.starts_with("key"); });
    lines.insert(key, "rowid bigint not null");
  }
  // The server's own indexes, for what the file does without one.
  auto& roleLines = expected.at("datRole");
  roleLines.insert(roleLines.end() - 1, "index idxRoleRowid (rowid)");
  expected.at("datUser").push_back(
      "index idxUserSubjectCaseBlind (lower((Subject COLLATE und-x-icu)))");
  const TableLines actual = serverSchema(scratch.db);
  EXPECT_EQ(actual.size(), expected.size());
  for (const auto& [table, lines] : expected) {
    SCOPED_TRACE(table);
    ASSERT_TRUE(actual.count(table));
    EXPECT_EQ(joined(actual.at(table)), joined(lines));
  }
}

TEST(PgSchema, RefusesWhenAnyTableExistsAndCreatesNothing) {
  struct Case {
    const char* name;
    const char* existing;  // SQL run before the create
  };
  const std::vector<Case> cases = {
      {"a created schema", nullptr},
      {"one table", R"(CREATE TABLE "datTrial" (x bigint))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchSchema scratch;
    if (c.existing) {
      scratch.db.exec(c.existing);
    } else {
      createSchema(scratch.db);
      scratch.db.exec(R"(INSERT INTO "datUser" ("Subject") VALUES ('S1'))");
    }
    const int64_t tablesBefore = scratch.count("pg_tables WHERE schemaname = current_schema()");

    const auto error = pgErrorOf([&] { createSchema(scratch.db); });
    ASSERT_TRUE(error);
    EXPECT_NE(error->description().find("already holds"), std::string::npos);
    EXPECT_EQ(scratch.count("pg_tables WHERE schemaname = current_schema()"), tablesBefore);
    if (!c.existing) {
      EXPECT_EQ(scratch.count(R"("datUser")"), 1);
    }
  }
}

TEST(PgSchema, NumbersRowsInInsertionOrderThroughUpdates) {
  ScratchSchema scratch;
  createSchema(scratch.db);
  for (const char* setting : {"Third", "First", "Second"}) {
    scratch.db.exec(R"(INSERT INTO "tblTraining" ("Setting") VALUES ($1))", {std::string(setting)});
  }
  // An update writes a new version of the row elsewhere in the table.
  scratch.db.exec(R"(UPDATE "tblTraining" SET "Password" = 'y' WHERE "Setting" = 'Third')");
  const PgResult rows = scratch.db.exec(R"(SELECT "Setting" FROM "tblTraining" ORDER BY rowid)");
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[0][0], PgValue(std::string("Third")));
  EXPECT_EQ(rows.rows[1][0], PgValue(std::string("First")));
  EXPECT_EQ(rows.rows[2][0], PgValue(std::string("Second")));
}

}  // namespace
}  // namespace quarn
