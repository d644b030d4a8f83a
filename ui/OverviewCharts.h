#pragma once

// The charts of a whole study: the amplification ratio of each stage over
// every participant (the bullwhip), and every participant's orders in one
// trial against their mean.

#include <QtCharts/QChart>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "analysis/StudyOverview.h"

namespace quarn {

// The charts' titles, as they stand above them.
QString amplificationChartTitle();
QString classOrdersChartTitle(const std::vector<const RecordedTrial*>& trials);

// One box per stage (extremes, quartiles, median), Factory at the left, on a
// logarithmic axis.
std::unique_ptr<QChart> makeAmplificationChart(
    const std::array<std::optional<StageSpread>, kRoleCount>& spreads);

// The orders of the participant's stage of each of `trials` (one setting's
// trial, every participant) as thin grey lines, their mean week by week in
// bold and the customer demand of the first dashed.
std::unique_ptr<QChart> makeClassOrdersChart(const std::vector<const RecordedTrial*>& trials);

// The mean of the participants' orders in each week, from week 1, over the
// participants who recorded that week (one who left early counts until
// then).
std::vector<double> meanOrders(const std::vector<const RecordedTrial*>& trials);

}  // namespace quarn
