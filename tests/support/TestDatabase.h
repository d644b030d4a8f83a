#pragma once

// A fresh experiment database for a test, in its own temporary folder:
//
//   quarn::testing::TestDatabase db;                       // schema, no rows
//   db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 3}, {"Delay", 2}});
//   EXPECT_EQ(db.count("datRole", "Subject='S1'"), 4);
//   auto rows = db.rows("SELECT Trial FROM datRole ORDER BY Trial");
//   EXPECT_EQ(std::get<int64_t>(rows[0].at("Trial")), 1);
//   quarn::DatabaseAccess access(db.stores, prompter, random);
//
// The folder and the file are removed when the object goes out of scope.
// Link the test with quarn_db.

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "db/TableWriter.h"
#include "db/sqlcipher/SqlCipherConnection.h"
#include "db/sqlcipher/SqlCipherStores.h"

namespace quarn::testing {

// A column value as tests write it: numbers, text, or Null (TestValue{}).
struct TestValue {
  TestValue() = default;
  TestValue(int v) : value(int64_t{v}) {}
  TestValue(int64_t v) : value(v) {}
  TestValue(double v) : value(v) {}
  TestValue(bool v) : value(int64_t{v ? 1 : 0}) {}
  TestValue(const char* v) : value(std::string(v)) {}
  TestValue(std::string v) : value(std::move(v)) {}
  CellValue value;
};

using TestRow = std::map<std::string, CellValue>;
using Columns = std::map<std::string, TestValue>;

// The error number `action` raises, 0 when it raises none.
inline int errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const QuarnError& e) {
    return e.number();
  }
  return 0;
}

// The number of rows of `table` in the file at `path`, optionally restricted
// by a WHERE clause.
inline int countRows(const std::string& path, const std::string& table,
                     const std::string& where = "") {
  SqlCipherConnection connection(path, OpenMode::ReadOnly);
  const quarn::Rows rows = connection.query("SELECT count(*) AS n FROM " + table +
                                            (where.empty() ? "" : " WHERE " + where));
  return static_cast<int>(std::get<int64_t>(rows.front().values().front()));
}

class TestDatabase {
 public:
  // Creates `name` (default quarn.mdb) with the full schema in a new folder.
  explicit TestDatabase(const std::string& name = "quarn.mdb")
      : m_folder(newFolder()), m_path(m_folder / name), stores(nullptr, m_path.string()) {
    // Every file is a copy of one template per process: copies share its
    // salt, so the key is derived once per test run instead of once per test.
    static const TemplateFile templ;
    std::filesystem::copy_file(templ.path, m_path);
  }
  ~TestDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  std::string path() const { return m_path.string(); }
  std::string folder() const { return m_folder.string(); }

  // Adds one row; columns left out keep the table's defaults.
  void insert(const std::string& table, const Columns& values) const {
    TableRow row;
    for (const auto& [column, value] : values) row.emplace_back(column, value.value);
    insertRows(path(), table, {row});
  }

  // Every row of a SELECT, columns by name.
  std::vector<TestRow> rows(const std::string& select) const {
    SqlCipherConnection connection(path(), OpenMode::ReadOnly);
    std::vector<TestRow> rows;
    for (const Row& row : connection.query(select)) {
      TestRow named;
      for (size_t c = 0; c < row.values().size(); ++c) {
        named[row.columns().names()[c]] = row.values()[c];
      }
      rows.push_back(std::move(named));
    }
    return rows;
  }

  // The number of rows of `table`, optionally restricted by a WHERE clause.
  int count(const std::string& table, const std::string& where = "") const {
    return countRows(path(), table, where);
  }

  // Runs SQL directly (DDL such as DROP TABLE, to build a damaged file).
  void exec(const std::string& sql) const {
    SqlCipherConnection connection(path(), OpenMode::ReadWrite);
    connection.executeScript(sql);
  }

 private:
  std::filesystem::path m_folder;
  std::filesystem::path m_path;

 public:
  // The stores over this file, for a DatabaseAccess.
  SqlCipherStores stores;

 private:
  // The template's folder goes when the test process ends (not when a forked
  // child does).
  struct TemplateFile {
    TemplateFile() : path(newFolder() / "template.mdb"), owner(::getpid()) {
      createDatabase(path.string());
    }
    ~TemplateFile() {
      std::error_code ignored;
      if (::getpid() == owner) std::filesystem::remove_all(path.parent_path(), ignored);
    }
    std::filesystem::path path;
    pid_t owner;
  };

  static std::filesystem::path newFolder() {
    static std::atomic<int> counter{0};
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("quarn-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
  }
};

}  // namespace quarn::testing
