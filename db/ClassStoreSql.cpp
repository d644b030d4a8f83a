#include "db/ClassStoreSql.h"

#include <algorithm>
#include <ctime>
#include <map>

#include "base/Text.h"

namespace quarn {

namespace {

// A class's columns as read: the password's hash stays in the table.
constexpr const char* kClassColumns =
    R"("Code", "Setting", "Identity", "Forming", "Leftover", "LeftoverPlayer", "State",
       "Opened", "PausesPassed", "TrainingsEnded")";
constexpr const char* kStudentColumns = R"("Code", "Subject", "Name", "Arrival", "Team")";

std::string selectClasses() {
  return std::string("SELECT ") + kClassColumns + R"( FROM "datClass" )";
}

std::string selectStudents() {
  return std::string("SELECT ") + kStudentColumns + R"( FROM "datClassMember" WHERE "Code" = ? )";
}

std::string textOf(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? std::string() : cell.toText();
}

int64_t numberOf(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  if (const auto* number = std::get_if<int64_t>(&cell.value())) return *number;
  return 0;
}

// A word this version does not know reads as the column's default.
ClassRow classOf(const Row& row) {
  ClassRow c;
  c.code = textOf(row, "Code");
  c.setting = textOf(row, "Setting");
  c.identity = classIdentityOf(textOf(row, "Identity")).value_or(ClassIdentity::Name);
  c.forming = classFormingOf(textOf(row, "Forming")).value_or(ClassForming::Arrival);
  c.leftover = textOf(row, "Leftover");
  c.leftoverPlayer = textOf(row, "LeftoverPlayer");
  c.state = classStateOf(textOf(row, "State")).value_or(ClassState::Ended);
  c.opened = textOf(row, "Opened");
  c.pausesPassed = numberOf(row, "PausesPassed");
  c.trainingsEnded = numberOf(row, "TrainingsEnded");
  return c;
}

ClassStudent studentOf(const Row& row) {
  return {textOf(row, "Code"), textOf(row, "Subject"), textOf(row, "Name"),
          numberOf(row, "Arrival"), textOf(row, "Team")};
}

std::vector<ClassStudent> studentsOf(const Rows& rows) {
  std::vector<ClassStudent> students;
  for (const Row& row : rows) students.push_back(studentOf(row));
  return students;
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[20];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

bool codeTaken(ClassSql& sql, const std::string& code) {
  return !sql.query(R"(SELECT "Code" FROM "datClass" WHERE "Code" = ?)", {code}).empty();
}

std::string normalOrAsGiven(const std::string& code) {
  return normalClassCode(code).value_or(code);
}

}  // namespace

std::string SqlClassStore::open(ClassRow row, const std::function<std::string()>& drawCode) {
  if (row.opened.empty()) row.opened = utcNow();
  write([&](ClassSql& sql) {
    if (row.code.empty() || codeTaken(sql, row.code)) {
      do {
        row.code = drawCode();
      } while (codeTaken(sql, row.code));
    }
    sql.execute(
        std::string(R"(INSERT INTO "datClass" ("Password", )") + kClassColumns +
            ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {row.password, row.code, row.setting, std::string(classIdentityName(row.identity)),
         std::string(classFormingName(row.forming)), row.leftover, row.leftoverPlayer,
         std::string(classStateName(row.state)), row.opened, row.pausesPassed, row.trainingsEnded});
  });
  return row.code;
}

std::optional<ClassRow> SqlClassStore::find(const std::string& code) {
  Rows rows;
  read([&](ClassSql& sql) {
    rows = sql.query(selectClasses() + R"(WHERE "Code" = ?)", {normalOrAsGiven(code)});
  });
  if (rows.empty()) return std::nullopt;
  return classOf(rows.front());
}

std::vector<ClassRow> SqlClassStore::list() {
  Rows rows;
  read([&](ClassSql& sql) {
    rows = sql.query(selectClasses() + R"(ORDER BY "Opened" DESC, "Code")", {});
  });
  std::vector<ClassRow> classes;
  for (const Row& row : rows) classes.push_back(classOf(row));
  return classes;
}

bool SqlClassStore::passwordOpens(const std::string& code, const std::string& password) {
  const std::string normal = normalOrAsGiven(code);
  std::optional<std::string> head;
  read([&](ClassSql& sql) { head = passwordHead(sql, normal); });
  // The slow hash is made outside any transaction.
  const std::optional<std::string> hash =
      head ? classPasswordHashUnder(*head, password) : std::nullopt;
  if (!hash) return false;
  bool matches = false;
  read([&](ClassSql& sql) { matches = passwordIs(sql, normal, *hash); });
  return matches;
}

namespace {

std::optional<std::string> storedPassword(ClassSql& sql, const std::string& code) {
  const Rows rows = sql.query(R"(SELECT "Password" FROM "datClass" WHERE "Code" = ?)", {code});
  if (rows.empty()) return std::nullopt;
  return textOf(rows.front(), "Password");
}

}  // namespace

std::optional<std::string> SqlClassStore::passwordHead(ClassSql& sql, const std::string& code) {
  const std::optional<std::string> stored = storedPassword(sql, code);
  if (!stored || stored->rfind('$') == std::string::npos) return std::nullopt;
  return stored->substr(0, stored->rfind('$'));
}

bool SqlClassStore::passwordIs(ClassSql& sql, const std::string& code, const std::string& hash) {
  return storedPassword(sql, code) == hash;
}

bool SqlClassStore::setState(const std::string& code, ClassState state) {
  bool found = false;
  write([&](ClassSql& sql) {
    const std::string normal = normalOrAsGiven(code);
    found = codeTaken(sql, normal);
    if (!found) return;
    sql.execute(R"(UPDATE "datClass" SET "State" = ? WHERE "Code" = ?)",
                {std::string(classStateName(state)), normal});
  });
  return found;
}

bool SqlClassStore::giveWord(const std::string& code, ClassWord word) {
  bool found = false;
  write([&](ClassSql& sql) {
    const std::string normal = normalOrAsGiven(code);
    found = codeTaken(sql, normal);
    if (!found) return;
    // Counted in the row itself: two teachers' pages that give the word at
    // once count twice.
    sql.execute(
        word == ClassWord::PassPause
            ? R"(UPDATE "datClass" SET "PausesPassed" = "PausesPassed" + 1 WHERE "Code" = ?)"
            : R"(UPDATE "datClass" SET "TrainingsEnded" = "TrainingsEnded" + 1
                         WHERE "Code" = ?)",
        {normal});
  });
  return found;
}

ClassStudent SqlClassStore::arrive(const std::string& code, const std::string& subject,
                                   const std::string& name) {
  ClassStudent student;
  write([&](ClassSql& sql) {
    const std::string normal = normalOrAsGiven(code);
    for (const ClassStudent& s : studentsOf(sql.query(selectStudents(), {normal}))) {
      if (foldedName(s.subject) == foldedName(subject)) {
        student = s;
        return;
      }
    }
    const Rows last = sql.query(
        R"(SELECT max("Arrival") AS "Last" FROM "datClassMember" WHERE "Code" = ?)", {normal});
    student = {normal, subject, name, (last.empty() ? 0 : numberOf(last.front(), "Last")) + 1, ""};
    sql.execute(std::string(R"(INSERT INTO "datClassMember" ()") + kStudentColumns +
                    ") VALUES (?, ?, ?, ?, ?)",
                {student.code, student.subject, student.name, student.arrival, student.team});
  });
  return student;
}

ClassStudent SqlClassStore::arriveNamed(const std::string& code, const std::string& name) {
  ClassStudent student;
  write([&](ClassSql& sql) {
    const std::string normal = normalOrAsGiven(code);
    const std::string given(trimBlanks(name));
    int64_t last = 0;
    for (const ClassStudent& s : studentsOf(sql.query(selectStudents(), {normal}))) {
      if (!s.name.empty() && foldedName(s.name) == foldedName(given)) {
        student = s;
        return;
      }
      last = std::max(last, s.arrival);
    }
    student = {normal, "", given, last + 1, ""};
    for (int64_t number = student.arrival;; ++number) {
      const std::string digits = std::to_string(number);
      student.subject =
          normal + "-" + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
      const bool taken = !sql.query(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ?
                        UNION SELECT "Subject" FROM "datClassMember" WHERE "Subject" = ?)",
                                    {student.subject, student.subject})
                              .empty();
      if (!taken) break;
    }
    sql.execute(std::string(R"(INSERT INTO "datClassMember" ()") + kStudentColumns +
                    ") VALUES (?, ?, ?, ?, ?)",
                {student.code, student.subject, student.name, student.arrival, student.team});
  });
  return student;
}

std::vector<ClassStudent> SqlClassStore::students(const std::string& code) {
  Rows rows;
  read([&](ClassSql& sql) {
    rows = sql.query(selectStudents() + R"(ORDER BY "Arrival")", {normalOrAsGiven(code)});
  });
  return studentsOf(rows);
}

std::optional<ClassStudent> SqlClassStore::studentNamed(const std::string& code,
                                                        const std::string& name) {
  const std::string folded = foldedName(trimBlanks(name));
  for (const ClassStudent& student : students(code)) {
    if (!student.name.empty() && foldedName(student.name) == folded) return student;
  }
  return std::nullopt;
}

void SqlClassStore::place(const std::string& code, const std::string& subject,
                          const std::string& team) {
  write([&](ClassSql& sql) {
    sql.execute(R"(UPDATE "datClassMember" SET "Team" = ? WHERE "Code" = ? AND "Subject" = ?)",
                {team, normalOrAsGiven(code), subject});
  });
}

}  // namespace quarn

namespace quarn {

std::string SqlClassStore::placeByArrival(const std::string& code, const std::string& subject,
                                          int size) {
  std::string team;
  write([&](ClassSql& sql) {
    const std::string normal = normalOrAsGiven(code);
    std::map<std::string, int> placed;
    for (const ClassStudent& s : studentsOf(sql.query(selectStudents(), {normal}))) {
      if (foldedName(s.subject) == foldedName(subject) && !s.team.empty()) {
        team = s.team;
        return;
      }
      if (!s.team.empty()) ++placed[s.team];
    }
    for (int number = 1;; ++number) {
      team = classTeamName(normal, number);
      if (placed[team] < size) break;
    }
    sql.execute(R"(UPDATE "datClassMember" SET "Team" = ? WHERE "Code" = ? AND "Subject" = ?)",
                {team, normal, subject});
  });
  return team;
}

}  // namespace quarn
