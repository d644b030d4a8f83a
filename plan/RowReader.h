#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plan/Cell.h"
#include "plan/PlanFault.h"

namespace quarn {

// Reads typed columns of a plan row. A value that does not fit its width,
// or cannot be converted at all (a Null, text that is no number), becomes a
// fault placed at the reader's place (e.g. "Setting Demo, tblBlock row
// RandomGroup 0, Index 2 (trial 3)") and the read gives nothing. Faults
// are collected, not thrown, so that a check can list every one of them.
class RowReader {
 public:
  RowReader(std::string table, std::string place, int16_t trial, std::vector<PlanFault>& faults);

  // The row the reads read; it must outlive the reads.
  void setRow(const Row& row) { m_row = &row; }
  void setPlace(std::string place, int16_t trial) {
    m_place = std::move(place);
    m_trial = trial;
  }
  int16_t trial() const { return m_trial; }
  const std::string& table() const { return m_table; }
  const std::string& place() const { return m_place; }

  std::optional<int16_t> int16(const std::string& column);
  std::optional<int32_t> int32(const std::string& column);
  std::optional<double> real(const std::string& column);
  std::optional<std::string> text(const std::string& column);  // a Null is a fault
  std::string textOrEmpty(const std::string& column);          // a Null reads as ""
  bool truth(const std::string& column);                       // a Null reads as false
  bool isNull(const std::string& column) const;

  // A refusal placed at this reader's row.
  PlanFault refusal(const std::string& field, const std::string& value,
                    const std::string& complaint) const;
  void add(PlanFault fault) { m_faults.push_back(std::move(fault)); }

  // Number of faults recorded so far (by every reader sharing the list),
  // warnings left out: a read that only warned has still succeeded.
  size_t faultCount() const;

 private:
  template <typename Whole>
  void warnAboutFraction(const std::string& column, std::optional<Whole> read);
  template <typename Read>
  auto guarded(const std::string& column, const char* width, const char* kind, Read read)
      -> std::optional<decltype(read(std::declval<const Cell&>()))>;

  const Row* m_row = nullptr;
  std::string m_table;
  std::string m_place;
  int16_t m_trial;
  std::vector<PlanFault>& m_faults;
};

// Where a fault lies, as the moderator finds it: "Setting Demo", "Setting
// Demo, tblBlock row RandomGroup 0, Index 2 (trials 3 to 5)", "Setting Demo,
// tblTraining". Unprintable characters of the names appear as their codes.
std::string settingPlace(const std::string& setting);
std::string blockPlace(const std::string& setting, const Row& row, int64_t firstTrial,
                       int64_t runs);
std::string trainingPlace(const std::string& setting);

}  // namespace quarn
