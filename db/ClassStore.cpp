#include "db/ClassStore.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <stdexcept>

namespace quarn {

namespace {

template <class Enum, size_t N>
std::optional<Enum> enumOf(const std::array<std::pair<Enum, std::string_view>, N>& names,
                           std::string_view word) {
  for (const auto& [value, name] : names) {
    if (name == word) return value;
  }
  return std::nullopt;
}

template <class Enum, size_t N>
std::string_view nameOf(const std::array<std::pair<Enum, std::string_view>, N>& names, Enum value) {
  for (const auto& [v, name] : names) {
    if (v == value) return name;
  }
  return {};
}

constexpr std::array<std::pair<ClassIdentity, std::string_view>, 2> kIdentities{
    {{ClassIdentity::Name, "name"}, {ClassIdentity::Id, "id"}}};
constexpr std::array<std::pair<ClassForming, std::string_view>, 2> kFormings{
    {{ClassForming::Arrival, "arrival"}, {ClassForming::Random, "random"}}};
constexpr std::array<std::pair<ClassState, std::string_view>, 5> kStates{
    {{ClassState::Open, "open"},
     {ClassState::Closed, "closed"},
     {ClassState::Started, "started"},
     {ClassState::Paused, "paused"},
     {ClassState::Ended, "ended"}}};

// The password's hash: PBKDF2-HMAC-SHA256 with a 16-byte random salt, stored
// as "pbkdf2-sha256$ITERATIONS$SALT$HASH" (hexadecimal), so that a later
// version can raise the iterations and still read the hashes made before.
constexpr const char* kHashScheme = "pbkdf2-sha256";
constexpr int kHashIterations = 100000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

std::string hexOf(const unsigned char* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::optional<std::vector<unsigned char>> bytesOf(std::string_view hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::vector<unsigned char> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    for (const char c : hex.substr(i, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<unsigned>(c - 'a' + 10);
      } else {
        return std::nullopt;
      }
    }
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return bytes;
}

void fillRandom(unsigned char* bytes, size_t count) {
  if (RAND_bytes(bytes, static_cast<int>(count)) != 1) {
    throw std::runtime_error("the system's random source failed");
  }
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::vector<unsigned char> derive(const std::string& password,
                                  const std::vector<unsigned char>& salt, int iterations,
                                  size_t length) {
  std::vector<unsigned char> hash(length);
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                        static_cast<int>(salt.size()), iterations, EVP_sha256(),
                        static_cast<int>(hash.size()), hash.data()) != 1) {
    throw std::runtime_error("the password's hash could not be made");
  }
  return hash;
}

// A class store for stores that keep none.
class RefusingClassStore final : public ClassStore {
 public:
  std::string open(ClassRow, const std::function<std::string()>&) override { refuse(); }
  std::optional<ClassRow> find(const std::string&) override { refuse(); }
  std::vector<ClassRow> list() override { refuse(); }
  bool passwordOpens(const std::string&, const std::string&) override { refuse(); }
  bool setState(const std::string&, ClassState) override { refuse(); }
  bool giveWord(const std::string&, ClassWord) override { refuse(); }
  ClassStudent arrive(const std::string&, const std::string&, const std::string&) override {
    refuse();
  }
  ClassStudent arriveNamed(const std::string&, const std::string&) override { refuse(); }
  std::vector<ClassStudent> students(const std::string&) override { refuse(); }
  std::optional<ClassStudent> studentNamed(const std::string&, const std::string&) override {
    refuse();
  }
  void place(const std::string&, const std::string&, const std::string&) override { refuse(); }
  std::string placeByArrival(const std::string&, const std::string&, int) override { refuse(); }

 private:
  [[noreturn]] static void refuse() { throw std::logic_error("these stores keep no classes"); }
};

}  // namespace

std::string_view classIdentityName(ClassIdentity identity) {
  return nameOf(kIdentities, identity);
}
std::string_view classFormingName(ClassForming forming) {
  return nameOf(kFormings, forming);
}
std::string_view classStateName(ClassState state) {
  return nameOf(kStates, state);
}
std::optional<ClassIdentity> classIdentityOf(std::string_view word) {
  return enumOf(kIdentities, word);
}
std::optional<ClassForming> classFormingOf(std::string_view word) {
  return enumOf(kFormings, word);
}
std::optional<ClassState> classStateOf(std::string_view word) {
  return enumOf(kStates, word);
}

std::string drawClassCode() {
  // 256 is a multiple of the alphabet's 32 characters: each byte's low five
  // bits choose one without bias.
  static_assert(256 % kClassCodeAlphabet.size() == 0);
  std::array<unsigned char, kClassCodeLength> bytes{};
  fillRandom(bytes.data(), bytes.size());
  std::string code;
  for (const unsigned char byte : bytes) {
    code += kClassCodeAlphabet[byte % kClassCodeAlphabet.size()];
  }
  return code;
}

std::optional<std::string> normalClassCode(std::string_view typed) {
  std::string code;
  for (const char c : typed) {
    if (c == ' ' || c == '-') continue;
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (kClassCodeAlphabet.find(upper) == std::string_view::npos) return std::nullopt;
    code += upper;
  }
  if (code.size() != kClassCodeLength) return std::nullopt;
  return code;
}

std::string hashClassPassword(const std::string& password) {
  std::vector<unsigned char> salt(kSaltBytes);
  fillRandom(salt.data(), salt.size());
  const auto hash = derive(password, salt, kHashIterations, kHashBytes);
  return std::string(kHashScheme) + "$" + std::to_string(kHashIterations) + "$" +
         hexOf(salt.data(), salt.size()) + "$" + hexOf(hash.data(), hash.size());
}

bool classPasswordMatches(const std::string& stored, const std::string& password) {
  const size_t last = stored.rfind('$');
  if (last == std::string::npos) return false;
  const std::optional<std::string> given = classPasswordHashUnder(stored.substr(0, last), password);
  return given && given->size() == stored.size() &&
         CRYPTO_memcmp(given->data(), stored.data(), stored.size()) == 0;
}

std::optional<std::string> classPasswordHashUnder(const std::string& head,
                                                  const std::string& password) {
  const std::vector<std::string> parts = splitAt(head, '$');
  if (parts.size() != 3 || parts[0] != kHashScheme) return std::nullopt;
  int iterations = 0;
  try {
    iterations = std::stoi(parts[1]);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const auto salt = bytesOf(parts[2]);
  if (iterations < 1 || !salt) return std::nullopt;
  const auto hash = derive(password, *salt, iterations, kHashBytes);
  return head + "$" + hexOf(hash.data(), hash.size());
}

bool teacherPasswordOpens(ClassStore& store, const std::string& code, const std::string& password) {
  const auto normal = normalClassCode(code);
  return normal && store.passwordOpens(*normal, password);
}

std::string classTeamName(const std::string& code, int number) {
  const std::string digits = std::to_string(number);
  return code + "-T" + std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits;
}

ClassStore& refusingClassStore() {
  static RefusingClassStore store;
  return store;
}

}  // namespace quarn
