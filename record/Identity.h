#pragma once

#include <string>

namespace quarn {

// Who plays and under which setting: set by the login, written into every
// output row and used in every query by participant.
struct Identity {
  std::string SubjectID;
  std::string SettingName;
};

}  // namespace quarn
