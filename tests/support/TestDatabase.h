#pragma once

// A fresh experiment database for a test, in its own temporary folder:
//
//   quarn::testing::TestDatabase db;                       // schema, no rows
//   db.Insert("tblBlock", {{"Setting", "A"}, {"Runs", 3}, {"Delay", 2}});
//   EXPECT_EQ(db.Count("datRole", "Subject='S1'"), 4);
//   auto rows = db.Rows("SELECT Trial FROM datRole ORDER BY Trial");
//   EXPECT_EQ(std::get<int64_t>(rows[0].at("Trial")), 1);
//   quarn::Database session(*db.engine, toolkit, random);
//   session.DatabasePath = db.Path();
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

#include "session/SqlCipher.h"
#include "session/modDatabase.h"

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
  FieldValue value;
};

using TestRow = std::map<std::string, FieldValue>;
using Columns = std::map<std::string, TestValue>;

// The error number `action` raises, 0 when it raises none.
inline int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const QuarnError& e) {
    return e.number();
  }
  return 0;
}

class TestDatabase {
 public:
  // Creates `name` (default quarn.mdb) with the full schema in a new folder.
  explicit TestDatabase(const std::string& name = "quarn.mdb")
      : engine(MakeSqlCipherEngine()), folder_(NewFolder()), path_(folder_ / name) {
    // Every file is a copy of one template per process: copies share its
    // salt, so the key is derived once per test run instead of once per test.
    static const TemplateFile templ;
    std::filesystem::copy_file(templ.path, path_);
  }
  ~TestDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  std::string Path() const { return path_.string(); }
  std::string Folder() const { return folder_.string(); }

  // Adds one row; columns left out keep the table's defaults.
  void Insert(const std::string& table, const Columns& values) {
    auto rs = engine->Open(Path(), table, false);
    rs->AddNew();
    for (const auto& [column, value] : values) rs->Set(column, value.value);
    rs->Update();
    rs->Close();
  }

  // Every row of a SELECT (or a bare table name), columns by name.
  std::vector<TestRow> Rows(const std::string& select) const {
    auto rs = engine->Open(Path(), select, true);
    std::vector<TestRow> rows;
    std::vector<std::string> names = ColumnNames(select);
    for (; !rs->Eof(); rs->MoveNext()) {
      TestRow row;
      for (const std::string& name : names) row[name] = rs->Get(name).Value();
      rows.push_back(std::move(row));
    }
    return rows;
  }

  // The number of rows of `table`, optionally restricted by a WHERE clause.
  int Count(const std::string& table, const std::string& where = "") const {
    auto rs = engine->Open(
        Path(), "SELECT count(*) AS n FROM " + table + (where.empty() ? "" : " WHERE " + where),
        true);
    return static_cast<int>(std::get<int64_t>(rs->Get("n").Value()));
  }

  // Runs SQL directly (DDL such as DROP TABLE, to build a damaged file).
  void Exec(const std::string& sql) {
    SqlCipherConnection connection(Path(), OpenMode::ReadWrite);
    connection.Exec(sql);
  }

  std::unique_ptr<DatabaseEngine> engine;

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;

  // The template's folder goes when the test process ends (not when a forked
  // child does).
  struct TemplateFile {
    TemplateFile() : path(NewFolder() / "template.mdb"), owner(::getpid()) {
      CreateDatabase(path.string());
    }
    ~TemplateFile() {
      std::error_code ignored;
      if (::getpid() == owner) std::filesystem::remove_all(path.parent_path(), ignored);
    }
    std::filesystem::path path;
    pid_t owner;
  };

  static std::filesystem::path NewFolder() {
    static std::atomic<int> counter{0};
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("quarn-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
  }

  // The result's column names, from a table's schema or the query's header.
  std::vector<std::string> ColumnNames(const std::string& select) const {
    SqlCipherConnection connection(Path(), OpenMode::ReadOnly);
    return connection.ResultColumns(select.find(' ') == std::string::npos
                                        ? "SELECT * FROM " + QuoteIdentifier(select)
                                        : select);
  }
};

}  // namespace quarn::testing
