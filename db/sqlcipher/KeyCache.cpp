#include "db/sqlcipher/KeyCache.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
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

std::string deriveKeyHex(const std::string& password, const Salt& salt) {
  std::array<unsigned char, kKeyBytes> key{};
  if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                             static_cast<int>(salt.size()), kKdfIterations,
                             static_cast<int>(key.size()), key.data()) != 1) {
    throw QuarnError(kErrDatabase, "Key derivation failed");
  }
  return hex(key.data(), key.size());
}

// Raw key (hex) by password and salt (hex). A file replaced by another one
// has another salt, so a stale entry can never be used for it.
std::string cachedKeyHex(const std::string& password, const Salt& salt) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, std::string> keys;
  const std::string saltHex = hex(salt.data(), salt.size());
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = keys.find({password, saltHex});
    if (found != keys.end()) return found->second + saltHex;
  }
  std::string keyHex = deriveKeyHex(password, salt);
  std::lock_guard<std::mutex> lock(mutex);
  keys.emplace(std::make_pair(password, saltHex), keyHex);
  return keyHex + saltHex;
}

// The passwords to try by file, the one that worked last first; a file not
// named here has the fixed password only.
std::mutex passwordsMutex;
std::map<std::string, std::vector<std::string>> passwordsByFile;

// One key for every way of naming a file, also before it exists: a relative
// name is made absolute first, since weakly_canonical leaves a name relative
// while nothing of it exists yet (a new archive), and absolute once it does.
std::string fileKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
  return error ? absolute.string() : canonical.string();
}

std::string quoted(const std::string& password) {
  std::string text = "'";
  for (char c : password) text += c == '\'' ? std::string("''") : std::string(1, c);
  return text + "'";
}

}  // namespace

std::string keyStatement(const std::string& path, OpenMode mode, const std::string& password) {
  Salt salt{};
  bool haveSalt = false;
  if (mode == OpenMode::Create) {
    haveSalt = RAND_bytes(salt.data(), static_cast<int>(salt.size())) == 1;
  } else {
    std::ifstream file(path, std::ios::binary);
    haveSalt = file.read(reinterpret_cast<char*>(salt.data()), salt.size()).gcount() ==
               static_cast<std::streamsize>(salt.size());
  }
  if (!haveSalt) return "PRAGMA key=" + quoted(password) + ";";
  return "PRAGMA key=\"x'" + cachedKeyHex(password, salt) + "'\";";
}

void usePassphrase(const std::string& path, const std::string& passphrase) {
  std::lock_guard<std::mutex> lock(passwordsMutex);
  passwordsByFile[fileKey(path)] = {passphrase, kDatabasePassword};
}

std::vector<std::string> passwordsFor(const std::string& path) {
  std::lock_guard<std::mutex> lock(passwordsMutex);
  // The application's own files: no lookup of the path at every open.
  if (passwordsByFile.empty()) return {kDatabasePassword};
  const auto found = passwordsByFile.find(fileKey(path));
  if (found == passwordsByFile.end()) return {kDatabasePassword};
  return found->second;
}

void passwordWorked(const std::string& path, const std::string& password) {
  std::lock_guard<std::mutex> lock(passwordsMutex);
  if (passwordsByFile.empty()) return;
  const auto found = passwordsByFile.find(fileKey(path));
  if (found == passwordsByFile.end()) return;
  std::vector<std::string>& passwords = found->second;
  const auto at = std::find(passwords.begin(), passwords.end(), password);
  if (at != passwords.end()) std::rotate(passwords.begin(), at, at + 1);
}

}  // namespace quarn
