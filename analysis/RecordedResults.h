#pragma once

// The played trials of an experiment database, read for the researcher's
// results through the data layer's ResultStore.

#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "db/DatabaseAccess.h"
#include "db/ResultStore.h"

namespace quarn {

// One participant's recorded trials of one setting, by trial number, from
// its rows. The trial's planned weeks, delay and players come from its
// datTrial row; without one, from the weekly rows. A week missing a stage's
// row is left out and counted in skippedWeeks; a row whose Role names no
// stage is ignored. Trials without weekly rows are not listed.
std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows);

// The experiment trials (not training) recorded in the database, by
// participant, setting and trial number; an empty setting or subject takes
// all. Reads under the data layer's read policy.
std::vector<RecordedTrial> recordedTrials(DatabaseAccess& db, const std::string& setting = "",
                                          const std::string& subject = "");

}  // namespace quarn
