#pragma once

// The report's web page, index.html, rendered from the report's model.

#include <map>
#include <optional>
#include <string>

#include "analysis/DecisionRuleFit.h"
#include "analysis/ReportModel.h"

namespace quarn {

// The participants' fitted decision rules, by their records; none for
// records with too few decision weeks.
using RuleFitsByTrial = std::map<const RecordedTrial*, std::optional<RuleFit>>;

// `text` with the characters that HTML gives a meaning escaped.
std::string htmlText(const std::string& text);

// A table as HTML: a missing value is a dash, a highlighted row of class
// "participant"; the notes follow as paragraphs.
std::string htmlTable(const ReportTable& table);

// The whole page; `doubleSize` when the pictures exist at twice the size too.
std::string reportPage(const ReportModel& model, const RuleFitsByTrial& fits, bool doubleSize);

}  // namespace quarn
