#include "base/Roles.h"

#include <array>

#include "base/Errors.h"

namespace quarn {

namespace {

const std::array<std::string, kRoleCount> kRoleNames = {"Factory", "Distributor", "Wholesaler",
                                                        "Retailer"};

}  // namespace

const std::string& roleName(int index) {
  if (!isRole(index)) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + std::to_string(index) + " is not 0 to 3");
  }
  return kRoleNames[static_cast<size_t>(index)];
}

int16_t roleIndexOfName(const std::string& name) {
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (kRoleNames[static_cast<size_t>(r)] == name) return r;
  }
  return -1;
}

const std::string& roleColumn(int index) {
  return roleName(index);
}

}  // namespace quarn
