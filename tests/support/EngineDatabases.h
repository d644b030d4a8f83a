#pragma once

// A fresh experiment database on either engine, for tests that run alike on
// both (typed tests over Engines):
//
//   template <class T> class ResultStoreTest : public ::testing::Test { T db; };
//   TYPED_TEST_SUITE(ResultStoreTest, quarn::testing::Engines, quarn::testing::EngineNames);
//   ...
//   this->db.insert("datUser", {{"Subject", "P1"}});
//   EXPECT_EQ(this->db.count("datRole", R"("Trial" = 2)"), 4);
//
// FileDatabase is an encrypted file in a folder of its own; ServerDatabase
// the experiment's tables in a schema of its own on the throw-away server
// (QUARN_PG_TEST_DIR), dropped at its end. Where clauses are written for
// both: names in double quotes, text in single quotes.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/DatabaseAdmin.h"
#include "db/OpenDatabase.h"
#include "db/TableWriter.h"
#include "db/sqlcipher/CommitGroup.h"
#include "db/sqlcipher/SqlCipherTables.h"
#include "tests/db/postgres/TestServer.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

class EngineDatabase {
 public:
  virtual ~EngineDatabase() = default;
  virtual DatabaseChoice choice() const = 0;
  virtual Stores& stores() = 0;
  virtual DatabaseTables& tables() = 0;

  // Adds one row; columns left out keep the table's defaults.
  void insert(const std::string& table, const Columns& values) {
    TableRow row;
    for (const auto& [column, value] : values) row.emplace_back(column, value.value);
    insertRows(tables(), table, {row});
  }

  int count(const std::string& table, const std::string& where = "") {
    const Rows rows = tables().reads().query("SELECT count(*) AS \"n\" FROM \"" + table + "\"" +
                                             (where.empty() ? "" : " WHERE " + where));
    return rows.front().cell("n").toInt32();
  }
};

class FileDatabase final : public EngineDatabase {
 public:
  DatabaseChoice choice() const override { return {DatabaseEngine::File, m_file.path(), "", ""}; }
  Stores& stores() override { return m_file.stores; }
  DatabaseTables& tables() override { return m_tables; }
  std::string folder() const { return m_file.folder(); }

 private:
  TestDatabase m_file;
  SqlCipherTables m_tables{m_file.path()};
};

// The file as the browser's server writes it: every thread's writes are
// committed in groups (see writeToFile) while it lives.
class GroupedFileDatabase final : public EngineDatabase {
 public:
  GroupedFileDatabase() { groupFileCommits(true); }
  ~GroupedFileDatabase() override { groupFileCommits(false); }
  GroupedFileDatabase(const GroupedFileDatabase&) = delete;
  GroupedFileDatabase& operator=(const GroupedFileDatabase&) = delete;
  DatabaseChoice choice() const override { return m_file.choice(); }
  Stores& stores() override { return m_file.stores(); }
  DatabaseTables& tables() override { return m_file.tables(); }

 private:
  FileDatabase m_file;
};

class ServerDatabase final : public EngineDatabase {
 public:
  ServerDatabase()
      : m_schema(newSchema()),
        m_connection(testServerKeywords("options='-c search_path=" + m_schema + "'")) {
    createDatabase(choice());
    m_stores = openStores(choice());
    m_tables = openTables(choice());
  }
  ~ServerDatabase() override {
    m_stores.reset();
    m_tables.reset();
    try {
      PgConnection cleaner(testServerUri());
      cleaner.exec("SET client_min_messages TO warning");
      cleaner.exec("DROP SCHEMA " + m_schema + " CASCADE");
    } catch (const PgError&) {
      // The server goes with its schemas at the end of the run anyway.
    }
  }
  ServerDatabase(const ServerDatabase&) = delete;
  ServerDatabase& operator=(const ServerDatabase&) = delete;

  DatabaseChoice choice() const override { return {DatabaseEngine::Server, "", m_connection, ""}; }
  Stores& stores() override { return *m_stores; }
  DatabaseTables& tables() override { return *m_tables; }
  const std::string& connection() const { return m_connection; }

 private:
  static std::string newSchema() {
    static std::atomic<int> counter{0};
    const std::string name = "engine_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    PgConnection db(testServerUri());
    db.exec("CREATE SCHEMA " + name);
    return name;
  }

  std::string m_schema;
  std::string m_connection;
  std::unique_ptr<Stores> m_stores;
  std::unique_ptr<DatabaseTables> m_tables;
};

using Engines = ::testing::Types<FileDatabase, ServerDatabase>;
// The stores that write in the server's sessions: on the file also with
// grouped commits.
using WritingEngines = ::testing::Types<FileDatabase, GroupedFileDatabase, ServerDatabase>;

struct EngineNames {
  template <class T>
  static std::string GetName(int) {
    if (std::is_same_v<T, GroupedFileDatabase>) return "GroupedFile";
    return std::is_same_v<T, FileDatabase> ? "File" : "Server";
  }
};

}  // namespace quarn::testing
