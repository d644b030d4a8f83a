#pragma once

// The tables of an experiment database, described once: every column with
// its type, default and NOT NULL, the keys and the indexes, each with the
// schema version that brought it. Both engines' CREATE statements and the
// upgrade of an older database are made from this description.
//
// To add a column or an index: add its line with `since` set to a new
// version; the schema's version is that of its newest part (set it in
// currentSchema() only for a version that changes no table). An index changed in a
// later version takes that version as its `since`: the upgrade makes it anew. A new column goes at
// the end of its table (an upgrade can only append it there) and needs a
// default or no NOT NULL, so that the rows already stored read the default.

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "db/DatabaseChoice.h"
#include "sim/PlayerRules.h"

namespace quarn {

enum class ColumnType { Integer, Real, Text };

struct ColumnDescription {
  ColumnDescription(std::string name, ColumnType type, std::optional<std::string> defaultValue = {},
                    bool notNull = false, int since = 1)
      : name(std::move(name)),
        type(type),
        defaultValue(std::move(defaultValue)),
        notNull(notNull),
        since(since) {}
  std::string name;
  ColumnType type;
  std::optional<std::string> defaultValue;  // as SQL: 0, 1, ''
  bool notNull = false;
  int since = 1;
};

struct TableDescription {
  TableDescription(std::string name, std::vector<ColumnDescription> columns,
                   std::vector<std::string> primaryKey = {}, int since = 1)
      : name(std::move(name)),
        columns(std::move(columns)),
        primaryKey(std::move(primaryKey)),
        since(since) {}
  std::string name;
  std::vector<ColumnDescription> columns;
  std::vector<std::string> primaryKey;
  int since = 1;
};

struct IndexDescription {
  IndexDescription(std::string name, std::string table, std::string keys, bool unique = false,
                   int since = 1, std::optional<DatabaseEngine> onlyOn = {})
      : name(std::move(name)),
        table(std::move(table)),
        keys(std::move(keys)),
        unique(unique),
        since(since),
        onlyOn(onlyOn) {}
  std::string name;
  std::string table;
  std::string keys;  // as SQL, names in double quotes
  bool unique = false;
  int since = 1;
  std::optional<DatabaseEngine> onlyOn;  // an index one engine needs and the other does without
};

struct Schema {
  int version = 0;
  std::vector<TableDescription> tables;
  std::vector<IndexDescription> indexes;
};

// The schema this program writes and reads.
const Schema& currentSchema();

// The table that holds the schema version of a database: one row, one column.
inline constexpr const char* kVersionTable = "sysSchema";

// The statements that create every table and index of `schema` on `engine`
// and record its version.
std::vector<std::string> createStatements(const Schema& schema, DatabaseEngine engine);
// The statements that bring a database of version `from` to `schema.version`:
// the tables, columns and indexes that came later, and the new version.
std::vector<std::string> upgradeStatements(const Schema& schema, DatabaseEngine engine, int from);

// tblPlayer's columns for `rules`: Name, the switches of the rules of
// version 1, IfZero, their parameters, then each later rule's switch and
// parameters, oldest first (an upgrade appends them in that order).
std::vector<ColumnDescription> playerColumns(std::span<const PlayerRuleEntry> rules);

// The described column `column` of `table`, if there is one.
const ColumnDescription* findColumn(const Schema& schema, const std::string& table,
                                    const std::string& column);

// The described table `table` (any letter case), if there is one.
const TableDescription* findTable(const Schema& schema, const std::string& table);

}  // namespace quarn
