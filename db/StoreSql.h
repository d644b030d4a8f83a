#pragma once

// The SQL that the stores of both engines run alike, and the parameters each
// row binds to it. Names stand in double quotes and values are `?`
// parameters; each engine turns the text into its own dialect.

#include <optional>
#include <string>
#include <vector>

#include "db/ParticipantStore.h"
#include "db/QueryRunner.h"
#include "db/ResultStore.h"

namespace quarn {

inline constexpr const char* kInsertWeekRow =
    R"(INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Training", "Week", "Role", "User",
         "PNoise", "Order", "DeltaInventory", "Inventory", "Delay1", "Delay2", "Delay3", "Demand",
         "Satisfied", "WeeklyCost", "TotalCost", "TransactionTime", "Date", "TimeOfDay")
       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))";
SqlParams weekRowParams(const WeekRow& row);

inline constexpr const char* kInsertTrialRow =
    R"(INSERT INTO "datTrial" ("Subject", "Setting", "Trial", "Training", "Weeks", "Delay",
         "Predicter", "InventoryCost", "BackCost", "TransitCost", "EndCost", "Factory",
         "Distributor", "Wholesaler", "Retailer", "Date", "Time")
       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))";
SqlParams trialRowParams(const TrialRow& row);

inline constexpr const char* kInsertParticipantRow =
    R"(INSERT INTO "datUser" ("Subject", "Setting", "Age", "Gender", "SchoolYear", "Major")
       VALUES (?, ?, ?, ?, ?, ?))";
SqlParams participantRowParams(const ParticipantRow& row);

// The workstation marks (datPlaying). A file or server from before the
// marks told what the participant does lacks the activity columns: the
// stores add them (kMarkActivityColumns), or else write the marks without.
inline constexpr const char* kSelectMark = R"(SELECT * FROM "datPlaying" WHERE "Subject" = ?)";
inline constexpr const char* kDeleteMarkOfSubject =
    R"(DELETE FROM "datPlaying" WHERE "Subject" = ?)";
struct MarkColumn {
  const char* name;
  const char* type;  // as both engines take it
};
inline constexpr MarkColumn kMarkActivityColumns[] = {
    {"State", "TEXT"},    {"StateSince", "BIGINT"}, {"Trial", "INTEGER"}, {"Week", "INTEGER"},
    {"Weeks", "INTEGER"}, {"Role", "TEXT"},         {"Cost", "BIGINT"}};
std::string insertMarkSql(bool withActivity);
SqlParams markParams(const PlayingMark& mark, bool withActivity);
std::string touchMarkSql(bool withActivity);
SqlParams touchParams(const PlayingMark& mark, bool withActivity);
inline constexpr const char* kDeleteMark =
    R"(DELETE FROM "datPlaying" WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)";
SqlParams markKeyParams(const PlayingMark& mark);
// A mark as kSelectMark reads it.
PlayingMark markOf(const Row& row);

// The highest and the lowest Trial the participant has recorded in the
// setting (datRole), through `reads`.
std::optional<int16_t> highestTrial(QueryRunner& reads, const std::string& subject,
                                    const std::string& setting);
std::optional<int16_t> lowestTrial(QueryRunner& reads, const std::string& subject,
                                   const std::string& setting);

// The recorded experiment trials (see ResultStore), through `reads`.
std::vector<RecordedSession> recordedSessions(QueryRunner& reads, const std::string& setting,
                                              const std::string& subject);
RecordedRows recordedRows(QueryRunner& reads, const RecordedSession& session);

}  // namespace quarn
