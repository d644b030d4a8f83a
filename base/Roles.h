#pragma once

#include <cstdint>
#include <string>

namespace quarn {

class Prompter;

// The four stages of the chain. Stage r orders from r - 1 and ships to
// r + 1; the Retailer serves the customer. Per-role arrays are indexed by
// roleIndex(role), Factory first.
enum class Role : int16_t { Factory = 0, Distributor = 1, Wholesaler = 2, Retailer = 3 };

inline constexpr int kRoleCount = 4;

// The participantRole of a trial that the simulated players play alone.
inline constexpr int16_t kNoParticipant = -1;

constexpr int16_t roleIndex(Role role) {
  return static_cast<int16_t>(role);
}

// Whether `index` is the index of a role (0 to 3).
constexpr bool isRole(int index) {
  return index >= 0 && index < kRoleCount;
}

// Whether a trial whose participantRole is `participantRole` has a
// participant at all (a role of 0 to 3, not kNoParticipant).
constexpr bool hasParticipant(int participantRole) {
  return isRole(participantRole);
}

// The role's name as the window shows it and the records store it:
// "Factory", "Distributor", "Wholesaler", "Retailer". `index` must be a role.
const std::string& roleName(int index);
// The role's name as the participant reads it (the records keep roleName).
std::string translatedRoleName(const Prompter& prompter, int index);

// The index of the role named `name` (as roleName gives it), or -1 when no
// role has that name.
int16_t roleIndexOfName(const std::string& name);

// The plan column that names the role's player (tblBlock, tblTraining), and
// the column of its display option (tblDisplay): the same text as its name.
const std::string& roleColumn(int index);

}  // namespace quarn
