// quarngame-admin's report and debrief: quarngame-charts runs them in this
// process's place, with the same arguments.
#include "tools/ChartsProgram.h"
#include "tools/Commands.h"

namespace quarn::admin {

int cmdReport(const std::vector<std::string>& args) {
  runChartsProgram("report", args);
}

int cmdDebrief(const std::vector<std::string>& args) {
  runChartsProgram("debrief", args);
}

}  // namespace quarn::admin
