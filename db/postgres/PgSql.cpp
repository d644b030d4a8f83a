#include "db/postgres/PgSql.h"

namespace quarn {

std::string numberedParameters(const std::string& sql) {
  std::string out;
  out.reserve(sql.size() + 16);
  int number = 0;
  char quote = 0;  // the quote of the literal or name being read, if any
  for (const char c : sql) {
    if (quote) {
      // A doubled quote closes and reopens at once: the same text either way.
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      out += '$' + std::to_string(++number);
      continue;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace quarn
