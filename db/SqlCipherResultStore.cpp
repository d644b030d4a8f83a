#include "db/SqlCipherResultStore.h"

#include "db/SqlCipherRowWriter.h"
#include "db/StoreSql.h"

namespace quarn {

std::unique_ptr<RowWriter<WeekRow>> SqlCipherResultStore::openWeekRows() {
  return std::make_unique<SqlCipherRowWriter<WeekRow>>(m_file, "datRole", kInsertWeekRow,
                                                       weekRowParams);
}

std::unique_ptr<RowWriter<TrialRow>> SqlCipherResultStore::openTrialRows() {
  return std::make_unique<SqlCipherRowWriter<TrialRow>>(m_file, "datTrial", kInsertTrialRow,
                                                        trialRowParams);
}

}  // namespace quarn
