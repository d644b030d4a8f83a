#pragma once

#include <string>

namespace quarn {

// SQL made digestible for SQLite. The stores write names the portable way,
// in double quotes ("Index"); on SQLite they become bracketed names
// ([Index]), which SQLite never mistakes for a text literal when the column
// is missing. The Access form "[table.column]" becomes "[table].[column]".
// Text literals and everything else are left alone.
std::string translateSql(const std::string& sql);

// An identifier in double quotes, inner quotes doubled.
std::string quoteIdentifier(const std::string& name);

}  // namespace quarn
