#include "base/Roles.h"

#include <array>

#include "base/Errors.h"
#include "base/Prompter.h"

namespace quarn {

namespace {

const std::array<std::string, kRoleCount> kRoleNames = {
    QUARN_TRANSLATABLE("Roles", "Factory"), QUARN_TRANSLATABLE("Roles", "Distributor"),
    QUARN_TRANSLATABLE("Roles", "Wholesaler"), QUARN_TRANSLATABLE("Roles", "Retailer")};

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

std::string translatedRoleName(const Prompter& prompter, int index) {
  return prompter.translate("Roles", roleName(index).c_str());
}

const std::string& roleColumn(int index) {
  return roleName(index);
}

}  // namespace quarn
