#include "db/sqlcipher/KeyCache.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "base/Errors.h"

namespace quarn {

namespace {

// SQLCipher 3.x derives its page key with PBKDF2-HMAC-SHA1, 64000 rounds, a
// 32-byte key and the 16-byte salt that starts the file. Doing the same here
// once per salt lets every later open hand SQLCipher the raw key and skip the
// derivation; the file stays openable with the password alone.
constexpr int kKdfIterations = 64000;
constexpr size_t kKeyBytes = 32;
constexpr size_t kSaltBytes = 16;

using Salt = std::array<unsigned char, kSaltBytes>;

std::string hex(const unsigned char* data, size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

std::string deriveKeyHex(const Salt& salt) {
  std::array<unsigned char, kKeyBytes> key{};
  if (PKCS5_PBKDF2_HMAC_SHA1(kDatabasePassword, static_cast<int>(std::strlen(kDatabasePassword)),
                             salt.data(), static_cast<int>(salt.size()), kKdfIterations,
                             static_cast<int>(key.size()), key.data()) != 1) {
    throw QuarnError(kErrDatabase, "Key derivation failed");
  }
  return hex(key.data(), key.size());
}

// Raw key (hex) by salt (hex). A file replaced by another one has another
// salt, so a stale entry can never be used for it.
std::string cachedKeyHex(const Salt& salt) {
  static std::mutex mutex;
  static std::map<std::string, std::string> keys;
  const std::string saltHex = hex(salt.data(), salt.size());
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = keys.find(saltHex);
    if (found != keys.end()) return found->second + saltHex;
  }
  std::string keyHex = deriveKeyHex(salt);
  std::lock_guard<std::mutex> lock(mutex);
  keys.emplace(saltHex, keyHex);
  return keyHex + saltHex;
}

}  // namespace

std::string keyStatement(const std::string& path, OpenMode mode) {
  Salt salt{};
  bool haveSalt = false;
  if (mode == OpenMode::Create) {
    haveSalt = RAND_bytes(salt.data(), static_cast<int>(salt.size())) == 1;
  } else {
    std::ifstream file(path, std::ios::binary);
    haveSalt = file.read(reinterpret_cast<char*>(salt.data()), salt.size()).gcount() ==
               static_cast<std::streamsize>(salt.size());
  }
  if (!haveSalt) return std::string("PRAGMA key='") + kDatabasePassword + "';";
  return "PRAGMA key=\"x'" + cachedKeyHex(salt) + "'\";";
}

}  // namespace quarn
