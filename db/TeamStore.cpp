#include "db/TeamStore.h"

#include "base/Errors.h"
#include "db/DbError.h"
#include "plan/SettingCheck.h"

namespace quarn {

void FileTeamStore::refuse() {
  throw DbError(DbErrorKind::Refused, kErrDatabase, kTeamNeedsServer);
}

}  // namespace quarn
