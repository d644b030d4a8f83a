#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <istream>
#include <iterator>
#include <ostream>
#include <set>

#include "base/Text.h"
#include "session/SqlCipher.h"

namespace quarn {

namespace {

// The shortest text that reads back as the same double.
std::string RoundTripDouble(double value) {
  char buffer[32];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  return buffer;
}

std::string CsvField(const std::string& text, bool forceQuotes) {
  bool quote = forceQuotes || text.find_first_of(",\"\r\n") != std::string::npos ||
               (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

struct CsvValue {
  std::string text;
  bool quoted = false;
};

struct CsvRecord {
  int line = 0;  // the line the record starts on
  std::vector<CsvValue> fields;
};

QuarnError Refusal(int line, const std::string& what, int number = kErrDatabase) {
  return QuarnError(number, "line " + std::to_string(line) + ": " + what);
}

// RFC 4180 records; a quoted field may span lines. Blank lines are skipped.
std::vector<CsvRecord> ParseCsv(const std::string& text) {
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
          if (i >= text.size()) throw Refusal(record.line, "a quoted field is not closed");
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
          throw Refusal(line, "text after a closing quote");
        }
      } else {
        while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          if (text[i] == '"') throw Refusal(line, "a quote inside an unquoted field");
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
          throw Refusal(line, "a lone carriage return");
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
bool NamesATextLineField(const std::string& table, const std::string& column) {
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
void CheckTexts(const std::string& table, const std::vector<std::string>& names,
                const CsvRecord& record) {
  for (size_t c = 0; c < names.size() && c < record.fields.size(); ++c) {
    const std::string& text = record.fields[c].text;
    const std::string at = "column " + names[c] + ": ";
    size_t bad = 0;
    if (!isUtf8(text, &bad)) {
      throw Refusal(record.line, at + "byte " + std::to_string(bad + 1) +
                                     " of the value is not UTF-8 text (save the file as UTF-8)");
    }
    if (NamesATextLineField(table, names[c])) {
      const std::string fault = textLineFault(text);
      if (!fault.empty()) {
        throw Refusal(record.line, at + "the name '" + printable(text) + "' " + fault +
                                       ", which would break the lines of the participants' "
                                       "text files");
      }
    }
  }
}

}  // namespace

void CreateDatabase(const std::string& path) {
  if (std::filesystem::exists(path)) {
    throw QuarnError(kErrDatabase, "The file " + path + " already exists");
  }
  try {
    SqlCipherConnection connection(path, OpenMode::Create);
    connection.Exec(std::string("BEGIN;\n") + SchemaSql() + "\nCOMMIT;");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

void ExportCsv(const std::string& path, const std::string& table, std::ostream& out) {
  SqlCipherConnection connection(path, OpenMode::ReadOnly);
  const std::vector<ColumnInfo> columns = connection.Columns(table);
  for (size_t c = 0; c < columns.size(); ++c) {
    out << (c ? "," : "") << CsvField(columns[c].name, false);
  }
  out << "\r\n";
  const std::string sql = "SELECT * FROM " + QuoteIdentifier(table) + " ORDER BY rowid;";
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(connection.Handle(), sql.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) connection.Fail(rc);
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (size_t c = 0; c < columns.size(); ++c) {
      const int col = static_cast<int>(c);
      if (c) out << ',';
      switch (sqlite3_column_type(stmt, col)) {
        case SQLITE_NULL:
          break;
        case SQLITE_INTEGER:
          out << sqlite3_column_int64(stmt, col);
          break;
        case SQLITE_FLOAT:
          out << RoundTripDouble(sqlite3_column_double(stmt, col));
          break;
        default:
          out << CsvField(std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col)),
                                      static_cast<size_t>(sqlite3_column_bytes(stmt, col))),
                          sqlite3_column_bytes(stmt, col) == 0);
          break;
      }
    }
    out << "\r\n";
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) connection.Fail(rc);
}

int ImportCsv(const std::string& path, const std::string& table, std::istream& in) {
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::vector<CsvRecord> records = ParseCsv(std::string(withoutByteOrderMark(text)));
  if (records.empty()) throw Refusal(1, "no header line");

  std::unique_ptr<Recordset> writer = MakeSqlCipherEngine()->Open(path, table, false);
  const CsvRecord& header = records.front();
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const CsvValue& field : header.fields) {
    if (!isUtf8(field.text)) throw Refusal(header.line, "a column name that is not UTF-8 text");
    try {
      writer->Edited(field.text);  // raises 3265 for a column the table lacks
    } catch (const QuarnError& failure) {
      throw Refusal(header.line, "unknown column '" + field.text + "'", failure.number());
    }
    const std::string key = toLowerAscii(field.text);
    if (!seen.insert(key).second) throw Refusal(header.line, "column '" + field.text + "' twice");
    names.push_back(field.text);
  }

  int stored = 0;
  for (size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    if (record.fields.size() != names.size()) {
      throw Refusal(record.line, std::to_string(record.fields.size()) +
                                     " fields where the header has " +
                                     std::to_string(names.size()));
    }
    CheckTexts(table, names, record);
    try {
      writer->AddNew();
      for (size_t c = 0; c < names.size(); ++c) {
        const CsvValue& value = record.fields[c];
        if (value.text.empty() && !value.quoted) {
          writer->Set(names[c], std::monostate{});
        } else {
          writer->Set(names[c], value.text);
        }
      }
      writer->Update();
    } catch (const QuarnError& failure) {
      throw Refusal(record.line, failure.description(), failure.number());
    }
    ++stored;
  }
  writer->Close();
  return stored;
}

void InsertRows(const std::string& path, const std::string& table,
                const std::vector<TableRow>& rows) {
  auto rs = MakeSqlCipherEngine()->Open(path, table, false);
  for (const TableRow& row : rows) {
    rs->AddNew();
    for (const auto& [column, value] : row) rs->Set(column, value);
    rs->Update();
  }
  rs->Close();
}

}  // namespace quarn
