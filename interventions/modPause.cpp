#include "interventions/modPause.h"

#include "base/Numbers.h"

namespace quarn {

void LoadPauses(Database& db, const Identity& identity, PauseState& pauses) {
  std::unique_ptr<Recordset> rs =
      DbOpenRecordset(db,
                      "SELECT * FROM tblPause WHERE Setting='" + SqlQuote(identity.SettingName) +
                          "' ORDER BY Trial Asc;",
                      true);
  if (rs->Eof()) {
    DbClose(db, rs);
    return;
  }
  rs->MoveLast();
  const int16_t count = narrow16(rs->RecordCount(), "PauseCount");
  rs->MoveFirst();
  std::vector<PauseEntry> list;
  list.reserve(count);
  while (!rs->Eof()) {
    PauseEntry entry;
    entry.Trial = rs->Get("Trial").AsInt16();
    entry.Password = rs->Get("Password").AsText();
    list.push_back(std::move(entry));
    rs->MoveNext();
  }
  DbClose(db, rs);
  pauses.PauseList = std::move(list);
  pauses.PauseCount = static_cast<int16_t>(pauses.PauseList.size());
}

bool PauseDue(const PauseState& pauses, int16_t currentTrial) {
  if (pauses.NextPause < 0 || pauses.NextPause >= pauses.PauseCount ||
      static_cast<size_t>(pauses.NextPause) >= pauses.PauseList.size()) {
    return false;
  }
  return int32_t{currentTrial} + 1 == pauses.PauseList[pauses.NextPause].Trial;
}

bool CheckPausePassword(PauseState& pauses, const std::string& text) {
  if (pauses.NextPause < 0 || pauses.NextPause >= pauses.PauseCount ||
      static_cast<size_t>(pauses.NextPause) >= pauses.PauseList.size()) {
    return false;
  }
  if (text != pauses.PauseList[pauses.NextPause].Password) return false;
  ++pauses.NextPause;
  return true;
}

}  // namespace quarn
