#include "db/sqlcipher/SqlTranslation.h"

#include <algorithm>

namespace quarn {

namespace {

// The end (one past the closing quote) of the quoted text starting at
// `begin`; a doubled quote inside it does not end it.
size_t quotedEnd(const std::string& sql, size_t begin) {
  const char quote = sql[begin];
  size_t end = begin + 1;
  while (end < sql.size()) {
    if (sql[end] == quote) {
      if (end + 1 < sql.size() && sql[end + 1] == quote) {
        end += 2;
        continue;
      }
      break;
    }
    ++end;
  }
  return std::min(end + 1, sql.size());
}

// "Name" as [Name]; a name holding a quote or a bracket stays as it is.
std::string bracketed(const std::string& quoted) {
  if (quoted.size() < 2 || quoted.back() != '"') return quoted;
  const std::string name = quoted.substr(1, quoted.size() - 2);
  if (name.find_first_of("\"[]") != std::string::npos) return quoted;
  return '[' + name + ']';
}

}  // namespace

std::string translateSql(const std::string& sql) {
  std::string out;
  out.reserve(sql.size() + 8);
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const size_t end = quotedEnd(sql, i);
      const std::string quoted = sql.substr(i, end - i);
      out += c == '"' ? bracketed(quoted) : quoted;
      i = end;
    } else if (c == '[') {
      const size_t close = sql.find(']', i + 1);
      if (close == std::string::npos) {
        out.append(sql, i, std::string::npos);
        break;
      }
      const std::string inner = sql.substr(i + 1, close - i - 1);
      const size_t dot = inner.find('.');
      if (dot == std::string::npos) {
        out += '[' + inner + ']';
      } else {
        out += '[' + inner.substr(0, dot) + "].[" + inner.substr(dot + 1) + ']';
      }
      i = close + 1;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

std::string quoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace quarn
