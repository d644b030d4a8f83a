#include "db/DatabaseAdmin.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <iterator>
#include <ostream>
#include <set>
#include <vector>

#include "base/Csv.h"
#include "base/Text.h"
#include "db/DbError.h"
#include "db/Schema.h"
#include "db/TableWriter.h"
#include "db/postgres/PgRoles.h"
#include "db/postgres/PgSchema.h"
#include "db/sqlcipher/SqlCipherConnection.h"
#include "db/sqlcipher/SqlTranslation.h"

namespace quarn {

namespace {

// The shortest text that reads back as the same double.
std::string roundTripDouble(double value) {
  char buffer[32];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  return buffer;
}

struct CsvValue {
  std::string text;
  bool quoted = false;
};

struct CsvRecord {
  int line = 0;  // the line the record starts on
  std::vector<CsvValue> fields;
};

QuarnError refusal(int line, const std::string& what, int number = kErrDatabase) {
  return QuarnError(number, "line " + std::to_string(line) + ": " + what);
}

// RFC 4180 records; a quoted field may span lines. Blank lines are skipped.
std::vector<CsvRecord> parseCsv(const std::string& text) {
  std::vector<CsvRecord> records;
  size_t i = 0;
  int line = 1;
  while (i < text.size()) {
    if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      i += text[i] == '\r' ? 2 : 1;
      ++line;
      continue;
    }
    CsvRecord record;
    record.line = line;
    for (;;) {
      CsvValue field;
      if (i < text.size() && text[i] == '"') {
        field.quoted = true;
        ++i;
        for (;;) {
          if (i >= text.size()) throw refusal(record.line, "a quoted field is not closed");
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field.text.push_back('"');
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n') ++line;
          field.text.push_back(text[i++]);
        }
        if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          throw refusal(line, "text after a closing quote");
        }
      } else {
        while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          if (text[i] == '"') throw refusal(line, "a quote inside an unquoted field");
          field.text.push_back(text[i++]);
        }
      }
      record.fields.push_back(std::move(field));
      if (i < text.size() && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < text.size() && text[i] == '\r') {
        if (i + 1 >= text.size() || text[i + 1] != '\n')
          throw refusal(line, "a lone carriage return");
        ++i;
      }
      if (i < text.size()) {
        ++i;  // the line feed
        ++line;
      }
      break;
    }
    records.push_back(std::move(record));
  }
  return records;
}

// Whether `column` of `table` holds a name that is written into the
// participants' comma-separated text lines.
bool namesATextLineField(const std::string& table, const std::string& column) {
  const auto is = [](const std::string& a, const char* b) { return equalsIgnoringAsciiCase(a, b); };
  if (is(column, "Setting"))
    return is(table, "tblBlock") || is(table, "tblTraining") || is(table, "tblPause");
  if (is(column, "Name")) return is(table, "tblPlayer");
  if (is(column, "Predicter")) {
    return is(table, "tblBlock") || is(table, "tblTraining") || is(table, "tblPredicter");
  }
  return false;
}

// Refuses text that is not UTF-8, and names that would break the lines of
// the participants' text files.
void checkTexts(const std::string& table, const std::vector<std::string>& names,
                const CsvRecord& record) {
  for (size_t c = 0; c < names.size() && c < record.fields.size(); ++c) {
    const std::string& text = record.fields[c].text;
    const std::string at = "column " + names[c] + ": ";
    size_t bad = 0;
    if (!isUtf8(text, &bad)) {
      throw refusal(record.line, at + "byte " + std::to_string(bad + 1) +
                                     " of the value is not UTF-8 text (save the file as UTF-8)");
    }
    if (namesATextLineField(table, names[c])) {
      const std::string fault = textLineFault(text);
      if (!fault.empty()) {
        throw refusal(record.line, at + "the name '" + printable(text) + "' " + fault +
                                       ", which would break the lines of the participants' "
                                       "text files");
      }
    }
  }
}

}  // namespace

namespace {
constexpr const char* kFileHasNoRoles =
    "An encrypted file has no roles: whoever holds its key may do everything";
}  // namespace

void createDatabase(const std::string& path) {
  if (std::filesystem::exists(path)) {
    throw QuarnError(kErrDatabase, "The file " + path + " already exists");
  }
  try {
    SqlCipherConnection connection(path, OpenMode::Create);
    std::string script = "BEGIN;\n";
    for (const std::string& statement : createStatements(currentSchema(), DatabaseEngine::File)) {
      script += translateSql(statement) + ";\n";
    }
    connection.executeScript(script + "COMMIT;");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

void createDatabase(const DatabaseChoice& choice, const std::string& workstationRole) {
  if (choice.engine == DatabaseEngine::File) {
    if (!workstationRole.empty()) throw QuarnError(kErrDatabase, kFileHasNoRoles);
    return createDatabase(choice.file);
  }
  PgConnection server(choice.connectionString());
  createSchema(server);
  if (!workstationRole.empty()) grantWorkstationRole(server, workstationRole);
}

void grantWorkstation(const DatabaseChoice& choice, const std::string& role) {
  if (choice.engine == DatabaseEngine::File) throw QuarnError(kErrDatabase, kFileHasNoRoles);
  PgConnection server(choice.connectionString());
  grantWorkstationRole(server, role);
}

std::vector<WorkstationLogin> makeWorkstationLogins(const DatabaseChoice& choice,
                                                    const std::string& role,
                                                    const std::vector<std::string>& logins) {
  if (choice.engine == DatabaseEngine::File) throw QuarnError(kErrDatabase, kFileHasNoRoles);
  PgConnection server(choice.connectionString());
  std::vector<WorkstationLogin> made;
  for (const auto& [name, password] : createWorkstationLogins(server, role, logins)) {
    made.push_back(
        {name, password, server.host() + ":" + server.port() + ":*:" + name + ":" + password});
  }
  return made;
}

void exportCsv(DatabaseTables& db, const std::string& table, std::ostream& out) {
  const std::vector<ColumnInfo> columns = db.columns(table);
  for (size_t c = 0; c < columns.size(); ++c) {
    out << (c ? "," : "") << csvField(columns[c].name);
  }
  out << "\r\n";
  forEachRow(db, table, columns, [&](const std::vector<CellValue>& row) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c) out << ',';
      if (const auto* whole = std::get_if<int64_t>(&row[c])) {
        out << *whole;
      } else if (const auto* real = std::get_if<double>(&row[c])) {
        out << roundTripDouble(*real);
      } else if (const auto* text = std::get_if<std::string>(&row[c])) {
        out << (text->empty() ? quotedCsvField(*text) : csvField(*text));
      }
    }
    out << "\r\n";
  });
}

int importCsv(DatabaseTables& db, const std::string& table, std::istream& in) {
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::vector<CsvRecord> records = parseCsv(std::string(withoutByteOrderMark(text)));
  if (records.empty()) throw refusal(1, "no header line");

  const std::unique_ptr<TableTransaction> write = db.beginWrite();
  TableWriter writer(*write, table, db.columns(table));
  const CsvRecord& header = records.front();
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const CsvValue& field : header.fields) {
    if (!isUtf8(field.text)) throw refusal(header.line, "a column name that is not UTF-8 text");
    try {
      writer.column(field.text);
    } catch (const QuarnError& failure) {
      throw refusal(header.line, "unknown column '" + field.text + "'", failure.number());
    }
    if (!seen.insert(toLowerAscii(field.text)).second) {
      throw refusal(header.line, "column '" + field.text + "' twice");
    }
    names.push_back(field.text);
  }

  // The line of each row handed to the writer, for a failure that an engine
  // reports for a row written earlier.
  std::vector<int> lines;
  const auto lineOf = [&](const QuarnError& failure, int current) {
    const auto* rowError = dynamic_cast<const TableRowError*>(&failure);
    return rowError && rowError->row() < lines.size() ? lines[rowError->row()] : current;
  };
  int stored = 0;
  for (size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    if (record.fields.size() != names.size()) {
      throw refusal(record.line, std::to_string(record.fields.size()) +
                                     " fields where the header has " +
                                     std::to_string(names.size()));
    }
    checkTexts(table, names, record);
    TableRow row;
    for (size_t c = 0; c < names.size(); ++c) {
      const CsvValue& value = record.fields[c];
      row.emplace_back(names[c],
                       value.text.empty() && !value.quoted ? CellValue{} : CellValue{value.text});
    }
    lines.push_back(record.line);
    try {
      writer.insert(row);
    } catch (const QuarnError& failure) {
      throw refusal(lineOf(failure, record.line), failure.description(), failure.number());
    }
    ++stored;
  }
  try {
    write->commit();
  } catch (const QuarnError& failure) {
    if (!dynamic_cast<const TableRowError*>(&failure)) throw;
    throw refusal(lineOf(failure, 0), failure.description(), failure.number());
  }
  return stored;
}

}  // namespace quarn
