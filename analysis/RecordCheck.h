#pragma once

// Records that contradict themselves. A session writes a week's four rows
// in one transaction, and a trial's datTrial row once its weeks are
// recorded; rows that no session could have left (written by hand, or moved
// by a key collision with such a row) make the game file the participant's
// later weeks and trials under the wrong Trial numbers. The login refuses
// to build on them and `check` lists them.
//
// What a session killed at any moment leaves is never a contradiction: a
// trial in progress has weeks and no datTrial row, a trial left in the
// middle may be followed by later ones, weeks may be missing (a write the
// moderator ignored).

#include <string>
#include <vector>

#include "base/Prompter.h"
#include "db/ResultStore.h"
#include "sim/TrialPlan.h"

namespace quarn {

// Rows of one participant that cannot stand together, and why.
struct RecordContradiction {
  std::string subject;
  std::string table;  // datRole or datTrial
  std::vector<RecordKey> rows;
  std::string reason;  // translatable in the context "Records"
};

// The contradictions among the result rows `keys` of a setting whose
// experiment trials are `trials`, participant by participant:
//   - an experiment row (datRole or datTrial) of a Trial above the
//     setting's trials (rows numbered below 1 are training rows, whatever
//     their Training column says);
//   - a datRole row of a Week its trial does not have;
//   - a week not recorded as four rows, one per stage;
//   - a datTrial row of an experiment trial after the participant's last
//     trial with weeks in datRole: the game would play that trial and record
//     it under the next number.
std::vector<RecordContradiction> findContradictions(const RecordKeys& keys,
                                                    const std::vector<TrialPlan>& trials);

// A User ID that datUser does not hold has no records: rows of it in the
// setting (`keys`, one participant's) are a contradiction.
std::vector<RecordContradiction> unregisteredRecords(const RecordKeys& keys);

// "datRole Trial 1, Week 5, Retailer", "datTrial Trial 3",
// "datRole Trial -2 (training), Week 1, Factory".
std::string rowName(const std::string& table, const RecordKey& row);

// The rows of a contradiction, at most `shown` of them named ("..., and 12
// more rows"), then ": " and its reason, translated through `prompter`
// (none: in English).
std::string describeContradiction(const RecordContradiction& contradiction, size_t shown,
                                  const Prompter* prompter);

}  // namespace quarn
