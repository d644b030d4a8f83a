#pragma once

#include <optional>
#include <string>

#include "plan/Cell.h"

namespace quarn {

// The plan tables as rows, as the plan readers and checks ask for them. Each
// call is one read of the database; the rows hold every column of their
// table. The data layer implements it (db/PlanStore).
class PlanTables {
 public:
  virtual ~PlanTables() = default;
  // tblPlayer, in the table's order.
  virtual Rows players() = 0;
  // The setting's tblBlock rows by RandomGroup descending, then Index.
  virtual Rows blockRows(const std::string& setting) = 0;
  // The setting's tblTraining rows (only the first counts).
  virtual Rows trainingRows(const std::string& setting) = 0;
  // The setting's tblPause rows by Trial.
  virtual Rows pauseRows(const std::string& setting) = 0;
  // The first row of that name, if any.
  virtual std::optional<Row> predicter(const std::string& name) = 0;
  virtual std::optional<Row> displayConfiguration(const std::string& name) = 0;
  virtual std::optional<Row> displayOption(const std::string& name) = 0;
  // The participants' language of the setting (tblSetting), e.g. "de"; empty
  // when the database names none (or lacks the table).
  virtual std::string settingLanguage(const std::string& /*setting*/) { return ""; }
  // The setting's completion link (tblSetting), as written; empty when the
  // database names none.
  virtual std::string settingCompletionLink(const std::string& /*setting*/) { return ""; }
};

}  // namespace quarn
