#include "db/SchemaUpgrade.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "db/DatabaseAdmin.h"
#include "db/DbError.h"
#include "db/OpenDatabase.h"
#include "db/postgres/PgSchema.h"
#include "tests/support/EngineDatabases.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;

std::string dataFile(const std::string& name) {
  return std::string(QUARN_DB_TEST_DATA) + "/" + name;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string textOf(const Rows& rows) {
  std::string text;
  for (const Row& row : rows) {
    for (const CellValue& value : row.values()) text += cellText(value) + "|";
    text += "\n";
  }
  return text;
}

// Every table's columns (type, NOT NULL, default, key) and every index, as
// the engine reports them; on the server also its functions (arguments,
// settings, body, owner's rights, who may run them). The server keeps its
// own rowid column last, wherever an upgrade appended columns after it.
std::string schemaText(DatabaseTables& db, DatabaseEngine engine) {
  if (engine == DatabaseEngine::File) {
    std::string columns;
    for (const Row& table : db.reads().query(
             R"(SELECT "name" FROM "sqlite_master" WHERE "type" = 'table' ORDER BY "name")")) {
      const std::string name = table.cell("name").toText();
      columns += name + ":\n" + textOf(db.reads().query("PRAGMA table_info(\"" + name + "\")"));
    }
    return columns + textOf(db.reads().query(
                         R"(SELECT "tbl_name", "name",
                         replace(replace(replace("sql", '[', ''), ']', ''), '"', '')
                  FROM "sqlite_master" WHERE "type" = 'index' ORDER BY "tbl_name", "name")"));
  }
  return textOf(db.reads().query(
             R"(SELECT table_name, column_name, data_type, is_nullable, column_default
                FROM information_schema.columns WHERE table_schema = current_schema()
                ORDER BY table_name, column_name = 'rowid', ordinal_position)")) +
         textOf(db.reads().query(
             R"(SELECT tablename, indexname, replace(indexdef, current_schema() || '.', '')
                FROM pg_indexes WHERE schemaname = current_schema() ORDER BY 1, 2)")) +
         textOf(db.reads().query(
             R"(SELECT p.proname, pg_get_function_identity_arguments(p.oid), p.prosecdef,
                       replace(array_to_string(p.proconfig, ','), current_schema(), ''),
                       md5(p.prosrc), p.proowner = c.relowner,
                       has_function_privilege('public', p.oid, 'EXECUTE')
                FROM pg_proc p JOIN pg_class c ON c.oid = '"datPlaying"'::regclass
                WHERE p.pronamespace = current_schema()::regnamespace ORDER BY 1)"));
}

// A database as the program wrote it before versions were recorded, with a
// record in every table (tests/db/data: made by make-version1-file).
class Version1File {
 public:
  static constexpr DatabaseEngine kEngine = DatabaseEngine::File;
  Version1File() { fs::copy_file(dataFile("version1.mdb"), path()); }

  DatabaseChoice choice() const { return {DatabaseEngine::File, path(), "", ""}; }
  std::string path() const { return m_fresh.folder() + "/old.mdb"; }
  void exec(const std::string& sql) const {
    SqlCipherConnection connection(path(), OpenMode::ReadWrite);
    connection.executeScript(sql);
  }
  testing::EngineDatabase& fresh() { return m_fresh; }

 private:
  testing::FileDatabase m_fresh;
};

class Version1Server {
 public:
  static constexpr DatabaseEngine kEngine = DatabaseEngine::Server;
  Version1Server() {
    const std::string schema =
        "version1_" + std::to_string(getpid()) + "_" + std::to_string(++s_count);
    PgConnection(testing::testServerUri()).exec("CREATE SCHEMA " + schema);
    m_connection = testing::testServerKeywords("options='-c search_path=" + schema + "'");
    m_schema = schema;
    exec(readAll(dataFile("version1-server.sql")) + readAll(dataFile("version1-records.sql")));
  }
  ~Version1Server() {
    try {
      PgConnection cleaner(testing::testServerUri());
      cleaner.exec("SET client_min_messages TO warning");
      cleaner.exec("DROP SCHEMA " + m_schema + " CASCADE");
    } catch (const PgError&) {
    }
  }
  Version1Server(const Version1Server&) = delete;
  Version1Server& operator=(const Version1Server&) = delete;

  DatabaseChoice choice() const { return {DatabaseEngine::Server, "", m_connection, ""}; }
  void exec(const std::string& sql) const { PgConnection(m_connection).execScript(sql); }
  testing::EngineDatabase& fresh() { return m_fresh; }

 private:
  static inline std::atomic<int> s_count{0};
  std::string m_schema;
  std::string m_connection;
  testing::ServerDatabase m_fresh;
};

// The fields of ",a,b".
std::vector<std::string> fieldsAfterComma(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 1;
  for (size_t comma = text.find(',', start); comma != std::string::npos;
       comma = text.find(',', start)) {
    fields.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(text.substr(start));
  return fields;
}

// What the rows stored before hold in each of `table`'s `columns`: the
// column's default, or nothing.
std::vector<std::string> defaultsOf(const std::string& table,
                                    const std::vector<std::string>& columns) {
  std::vector<std::string> defaults;
  for (const std::string& name : columns) {
    const ColumnDescription* column = findColumn(currentSchema(), table, name);
    const bool holdsValue = column && column->defaultValue && *column->defaultValue != "''";
    defaults.push_back(holdsValue ? *column->defaultValue : "");
  }
  return defaults;
}

// `after` with the columns an upgrade appended to `table` (named in its
// header line, holding their defaults in every row) taken away again, as far
// as they are: whatever else differs from `before` stays to be seen.
std::string withoutAddedColumns(const std::string& table, const std::string& after,
                                const std::string& before) {
  std::istringstream afterLines(after);
  std::istringstream beforeLines(before);
  std::string result;
  std::string line;
  std::string old;
  bool header = true;
  std::vector<std::string> defaults;
  while (std::getline(afterLines, line)) {
    if (std::getline(beforeLines, old) && line.size() > old.size() &&
        line.compare(0, old.size() - 1, old, 0, old.size() - 1) == 0) {
      const std::string added = line.substr(old.size() - 1, line.size() - old.size());
      if (header) defaults = defaultsOf(table, fieldsAfterComma(added));
      if (header || fieldsAfterComma(added) == defaults) line = old;
    }
    header = false;
    result += line + "\n";
  }
  return result;
}

template <class T>
class SchemaUpgradeTest : public ::testing::Test {
 protected:
  std::optional<SchemaUpgrade> upgrade() { return openStores(old.choice())->upgradeSchema(); }
  std::string csvOf(const std::string& table) {
    std::ostringstream out;
    exportCsv(*openTables(old.choice()), table, out);
    return out.str();
  }
  T old;
};

using Version1Databases = ::testing::Types<Version1File, Version1Server>;
struct Version1Names {
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, Version1File> ? "File" : "Server";
  }
};
TYPED_TEST_SUITE(SchemaUpgradeTest, Version1Databases, Version1Names);

TYPED_TEST(SchemaUpgradeTest, KeepsEveryRecord) {
  // Every table the version 1 database holds (the later versions' tables
  // come with the upgrade).
  std::map<std::string, std::string> before;
  for (const char* table : kExperimentTables) {
    if (hasTable(*openTables(this->old.choice()), table)) before[table] = this->csvOf(table);
  }
  ASSERT_EQ(schemaVersionOf(this->old.choice()), 1);

  const std::optional<SchemaUpgrade> done = this->upgrade();

  ASSERT_TRUE(done);
  EXPECT_EQ(done->from, 1);
  EXPECT_EQ(done->to, currentSchema().version);
  EXPECT_EQ(schemaVersionOf(this->old.choice()), currentSchema().version);
  for (const auto& [table, rows] : before) {
    EXPECT_EQ(withoutAddedColumns(table, this->csvOf(table), rows), rows) << table;
    EXPECT_NE(rows.find("\r\n"), rows.rfind("\r\n")) << table << " has no row";
  }
  EXPECT_GE(before.size(), 11u);
}

TYPED_TEST(SchemaUpgradeTest, GivesTheSchemaOfANewDatabase) {
  this->upgrade();
  EXPECT_EQ(schemaText(*openTables(this->old.choice()), TypeParam::kEngine),
            schemaText(this->old.fresh().tables(), TypeParam::kEngine));
}

TYPED_TEST(SchemaUpgradeTest, IsDoneOnce) {
  EXPECT_TRUE(this->upgrade());
  EXPECT_FALSE(this->upgrade());
  EXPECT_FALSE(openStores(this->old.fresh().choice())->upgradeSchema());
}

TYPED_TEST(SchemaUpgradeTest, RefusesANewerDatabaseAndLeavesItAlone) {
  this->upgrade();
  this->old.exec(R"(UPDATE "sysSchema" SET "Version" = 99)");
  for (const auto& open : std::vector<std::function<void()>>{
           [&] { this->upgrade(); }, [&] { schemaVersionOf(this->old.choice()); }}) {
    try {
      open();
      ADD_FAILURE() << "a newer database was opened";
    } catch (const QuarnError& refusal) {
      EXPECT_EQ(refusal.number(), kErrUnrecognizedFormat);
      EXPECT_NE(refusal.description().find("schema version 99"), std::string::npos);
    }
  }
}

// A later version that adds a column to tblPlayer: one line of the
// description, nothing else.
Schema withPlayerColumn() {
  Schema later = currentSchema();
  later.version += 1;
  for (TableDescription& table : later.tables) {
    if (table.name == "tblPlayer") {
      table.columns.emplace_back("Patience", ColumnType::Integer, "3", true, later.version);
    }
  }
  return later;
}

TYPED_TEST(SchemaUpgradeTest, AddedColumnReadsItsDefaultInOlderRows) {
  const Schema later = withPlayerColumn();
  if constexpr (TypeParam::kEngine == DatabaseEngine::File) {
    upgradeFile(this->old.path(), nullptr, later);
  } else {
    PgConnection connection(this->old.choice().connectionString());
    upgradeServer(connection, later);
  }
  const Rows players = openStores(this->old.choice())->plan().players();
  ASSERT_EQ(players.size(), 2u);
  for (const Row& player : players) EXPECT_EQ(player.cell("Patience").toInt32(), 3);
}

// A workstation role that an earlier `grant` gave the right to change the
// marks directly keeps only what today's grant gives: the mark functions.
TEST(ServerUpgrade, LeavesAnEarlierWorkstationRoleTodaysRightsOnly) {
  Version1Server old;
  const std::string role = "ws_upgrade_" + std::to_string(getpid());
  PgConnection admin(testing::testServerUri());
  admin.exec("DROP ROLE IF EXISTS " + role);
  admin.exec("CREATE ROLE " + role + " LOGIN");
  old.exec(R"(GRANT SELECT, INSERT, DELETE, UPDATE ("LastWeek") ON "datPlaying" TO )" + role +
           R"(; GRANT SELECT, INSERT ON "datRole" TO )" + role +
           R"(; GRANT SELECT ON "tblBlock" TO )" + role);

  ASSERT_TRUE(openStores(old.choice())->upgradeSchema());

  const std::string station = old.choice().connectionString() + " user=" + role;
  const PlayingMark mine{"P9", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  EXPECT_FALSE(
      openStores({DatabaseEngine::Server, "", station, ""})
          ->participants()
          .markPlaying(mine, [](const PlayingMark&, std::optional<int64_t>) { return true; }));
  const auto refused =
      testing::pgErrorOf([&] { PgConnection(station).exec(R"(DELETE FROM "datPlaying")"); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->sqlState(), "42501");
  admin.exec("DROP OWNED BY " + role);
  admin.exec("DROP ROLE " + role);
}

// The statements that take the tables and columns of versions after
// `version` away again.
std::string laterColumnsDropped(int version) {
  std::string sql;
  for (const TableDescription& table : currentSchema().tables) {
    if (table.since > version) {
      sql += "DROP TABLE \"" + table.name + "\";";
      continue;
    }
    for (const ColumnDescription& column : table.columns) {
      if (column.since > version) {
        sql += "ALTER TABLE \"" + table.name + "\" DROP COLUMN \"" + column.name + "\";";
      }
    }
  }
  return sql;
}

// A version 5 server's workstation role could add team rows directly; from
// version 6 on it writes them only through the team functions, which check
// the member's mark.
TEST(ServerUpgrade, TakesTheTeamTablesFromAVersion5WorkstationRole) {
  testing::ServerDatabase db;
  const std::string role = "ws_upgrade5_" + std::to_string(getpid());
  PgConnection admin(testing::testServerUri());
  admin.exec("DROP ROLE IF EXISTS " + role);
  admin.exec("CREATE ROLE " + role + " LOGIN");
  grantWorkstation(db.choice(), role);
  PgConnection owner(db.connection());
  owner.execScript(R"(GRANT INSERT ON "datTeamMember", "datTeamOrder", "datTeam" TO )" + role +
                   R"(; DROP FUNCTION quarn_join_team, quarn_store_team_order,
                                    quarn_record_team_member;
                      UPDATE "sysSchema" SET "Version" = 5;)" +
                   laterColumnsDropped(5));

  const std::optional<SchemaUpgrade> done = openStores(db.choice())->upgradeSchema();
  ASSERT_TRUE(done);
  EXPECT_EQ(done->from, 5);

  const std::string station = db.connection() + " user=" + role;
  const auto refused = testing::pgErrorOf([&] {
    PgConnection(station).exec(
        R"(INSERT INTO "datTeamOrder" ("Setting", "Team", "Trial", "Week", "Member", "Order")
           VALUES ('A', 'Blue', 1, 1, 1, 40))");
  });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->sqlState(), "42501");
  const auto stores = openStores({DatabaseEngine::Server, "", station, ""});
  const PlayingMark mine{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  ASSERT_FALSE(stores->participants().markPlaying(
      mine, [](const PlayingMark&, std::optional<int64_t>) { return true; }));
  EXPECT_EQ(stores->teams().join({"A", "Blue"}, "P1", 2, mine.token).member, 1);
  EXPECT_TRUE(
      stores->teams().storeOrder({"A", "Blue"}, {1, false, 1, 1, 6, "P1", 900}, mine.token));
  admin.exec("DROP OWNED BY " + role);
  admin.exec("DROP ROLE " + role);
}

TEST(FileUpgrade, KeepsTheFileAsItWasBesideIt) {
  Version1File old;
  const std::string original = readAll(old.path());
  fs::copy_file(old.path(), old.path() + ".bak-1");  // left by an earlier upgrade

  const std::optional<SchemaUpgrade> done = upgradeFile(old.path());

  ASSERT_TRUE(done);
  EXPECT_EQ(done->backup, old.path() + ".bak-1-2");
  EXPECT_EQ(readAll(done->backup), original);
  EXPECT_EQ(readAll(old.path() + ".bak-1"), original);
  EXPECT_NE(readAll(old.path()), original);
}

TEST(FileUpgrade, LeavesAFileWithoutTheExperimentsTablesAlone) {
  testing::TestDatabase db;
  db.exec(R"(DROP TABLE "sysSchema"; DROP TABLE "datUser";)");
  EXPECT_FALSE(upgradeFile(db.path()));
  EXPECT_FALSE(fs::exists(db.path() + ".bak-0"));
}

TEST(FileUpgrade, GivesAnOlderFileTheWorkstationMarks) {
  Version1File old;
  old.exec(R"(DROP TABLE "datPlaying")");
  upgradeFile(old.path());
  EXPECT_EQ(testing::countRows(old.path(), "datPlaying"), 0);
}

}  // namespace
}  // namespace quarn
