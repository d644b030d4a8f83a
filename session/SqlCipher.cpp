#include "session/SqlCipher.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Text.h"

namespace quarn {

namespace {

// SQLCipher 3.x derives its page key with PBKDF2-HMAC-SHA1, 64000 rounds, a
// 32-byte key and the 16-byte salt that starts the file. Doing the same here
// once per salt lets every later open hand SQLCipher the raw key and skip the
// ~45 ms derivation; the file stays openable with the password alone.
constexpr int kKdfIterations = 64000;
constexpr size_t kKeyBytes = 32;
constexpr size_t kSaltBytes = 16;

std::string Hex(const unsigned char* data, size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

std::string DeriveKeyHex(const std::array<unsigned char, kSaltBytes>& salt) {
  std::array<unsigned char, kKeyBytes> key{};
  if (PKCS5_PBKDF2_HMAC_SHA1(kDatabasePassword, static_cast<int>(std::strlen(kDatabasePassword)),
                             salt.data(), static_cast<int>(salt.size()), kKdfIterations,
                             static_cast<int>(key.size()), key.data()) != 1) {
    throw QuarnError(kErrDatabase, "Key derivation failed");
  }
  return Hex(key.data(), key.size());
}

// Raw key (hex) by salt (hex). A file replaced by another one has another
// salt, so a stale entry can never be used for it.
std::string CachedKeyHex(const std::array<unsigned char, kSaltBytes>& salt) {
  static std::mutex mutex;
  static std::map<std::string, std::string> keys;
  const std::string saltHex = Hex(salt.data(), salt.size());
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = keys.find(saltHex);
    if (found != keys.end()) return found->second + saltHex;
  }
  std::string keyHex = DeriveKeyHex(salt);
  std::lock_guard<std::mutex> lock(mutex);
  keys.emplace(saltHex, keyHex);
  return keyHex + saltHex;
}

// The PRAGMA key statement for a file: the raw key with its salt when the
// salt can be read or chosen, the password otherwise (an empty or truncated
// file, which SQLite then reports in its own way).
std::string KeyStatement(const std::string& path, OpenMode mode) {
  std::array<unsigned char, kSaltBytes> salt{};
  bool haveSalt = false;
  if (mode == OpenMode::Create) {
    haveSalt = RAND_bytes(salt.data(), static_cast<int>(salt.size())) == 1;
  } else {
    std::ifstream file(path, std::ios::binary);
    haveSalt = file.read(reinterpret_cast<char*>(salt.data()), salt.size()).gcount() ==
               static_cast<std::streamsize>(salt.size());
  }
  if (!haveSalt) return std::string("PRAGMA key='") + kDatabasePassword + "';";
  return "PRAGMA key=\"x'" + CachedKeyHex(salt) + "'\";";
}

int compareCaseBlind(void*, int sizeA, const void* a, int sizeB, const void* b) {
  return compareIgnoringCase(
      std::string_view(static_cast<const char*>(a), static_cast<size_t>(sizeA)),
      std::string_view(static_cast<const char*>(b), static_cast<size_t>(sizeB)));
}

bool StartsWith(const char* text, const char* prefix) {
  return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Why the database file at `path` cannot be written, or an empty text when
// it can. A write needs a journal created beside the file, so the folder is
// probed by creating a file in it: permission bits alone say nothing for a
// process running as root, and nothing about a read-only file system.
std::string UnwritableReason(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::absolute(path).parent_path();
  const std::string probe = (folder / ".quarn-write-test-XXXXXX").string();
  std::vector<char> name(probe.begin(), probe.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    return "The folder " + folder.string() + " cannot be written (" + std::strerror(errno) +
           "): the experiment database in it cannot store anything";
  }
  ::close(fd);
  ::unlink(name.data());
  if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
    return "The file " + path + " cannot be written (" + std::strerror(errno) + ")";
  }
  return "";
}

}  // namespace

SqlCipherConnection::SqlCipherConnection(const std::string& path, OpenMode mode, BusyWaiter* waiter)
    : path_(path) {
  busy_.waiter = waiter;
  int flags = SQLITE_OPEN_NOMUTEX;
  switch (mode) {
    case OpenMode::ReadOnly:
      flags |= SQLITE_OPEN_READONLY;
      break;
    case OpenMode::ReadWrite:
      flags |= SQLITE_OPEN_READWRITE;
      break;
    case OpenMode::Create:
      if (std::filesystem::exists(path)) {
        throw QuarnError(kErrDatabase, "The file " + path + " already exists");
      }
      flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
      break;
  }
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw QuarnError(kErrDatabase + rc, message + ": " + path);
  }
  try {
    sqlite3_busy_handler(db_, &SqlCipherConnection::WaitForLock, &busy_);
    sqlite3_create_collation_v2(db_, kCaseBlindCollation, SQLITE_UTF8, nullptr, compareCaseBlind,
                                nullptr);
    Exec(KeyStatement(path, mode));

    // With plain SQLite linked in by mistake, PRAGMA key is silently ignored
    // and the file would be written unencrypted.
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db_, "PRAGMA cipher_version;", -1, &stmt, nullptr);
    const bool isCipher = rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    if (!isCipher) {
      throw QuarnError(kErrDatabase, "The database library is not SQLCipher");
    }
    // The first read of the schema is what tells a wrong key or a file that
    // is no database.
    const char* schemaRead = "SELECT count(*) FROM sqlite_master;";
    if (mode == OpenMode::ReadOnly &&
        sqlite3_exec(db_, schemaRead, nullptr, nullptr, nullptr) != SQLITE_OK &&
        sqlite3_extended_errcode(db_) == SQLITE_READONLY_ROLLBACK) {
      // A process that died while writing left a hot journal, which only a
      // connection that may write can roll back. Without this, every read
      // (the login's first of all) would be refused until some writer came.
      SqlCipherConnection recovery(path, OpenMode::ReadWrite);
    }
    Exec(schemaRead);
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

// Instead of SQLite's own busy wait, which holds the thread for its whole
// length, the wait goes by in short steps, each one a chance for the waiter
// to keep the windows alive.
int SqlCipherConnection::WaitForLock(void* state, int attempt) {
  BusyState& busy = *static_cast<BusyState*>(state);
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) busy.since = now;
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - busy.since);
  if (waited >= kBusyTimeout) return 0;
  if (busy.waiter) {
    busy.waiter->Wait(waited);
  } else {
    std::this_thread::sleep_for(kBusyStep);
  }
  return 1;
}

SqlCipherConnection::~SqlCipherConnection() {
  sqlite3_close(db_);
}

void SqlCipherConnection::Fail(int rc, const std::string& context) const {
  const char* message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  std::string text = message ? message : "unknown error";
  if (StartsWith(message, "no such table") || StartsWith(message, "no such column")) {
    throw QuarnError(kErrItemNotFound, "Item not found in this collection (" + text + ")");
  }
  const int primary = rc & 0xff;
  if (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY) {
    // SQLite says only "unable to open database file" when it cannot create
    // its journal next to the file; the moderator needs to know which folder.
    if (std::string reason = UnwritableReason(path_); !reason.empty()) {
      throw QuarnError(kErrDatabase + primary, reason);
    }
  }
  if (!context.empty()) text += " (" + context + ")";
  throw QuarnError(kErrDatabase + primary, text);
}

void SqlCipherConnection::Exec(const std::string& sql) {
  char* error = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) Fail(rc);
}

std::vector<ColumnInfo> SqlCipherConnection::Columns(const std::string& table) {
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "PRAGMA table_info(" + QuoteIdentifier(table) + ");";
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
  std::vector<ColumnInfo> columns;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    const char* declared = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
    std::string type = declared ? declared : "";
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ColumnAffinity affinity = ColumnAffinity::Other;
    if (type.find("INT") != std::string::npos) {
      affinity = ColumnAffinity::Integer;
    } else if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
               type.find("TEXT") != std::string::npos) {
      affinity = ColumnAffinity::Text;
    } else if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
               type.find("DOUB") != std::string::npos) {
      affinity = ColumnAffinity::Real;
    }
    columns.push_back({name ? name : "", affinity});
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) Fail(rc);
  if (columns.empty()) {
    throw QuarnError(kErrItemNotFound,
                     "Item not found in this collection (no such table: " + table + ")");
  }
  return columns;
}

std::vector<std::string> SqlCipherConnection::ResultColumns(const std::string& select) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, TranslateSql(select).c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
  std::vector<std::string> names;
  for (int c = 0; c < sqlite3_column_count(stmt); ++c)
    names.push_back(sqlite3_column_name(stmt, c));
  sqlite3_finalize(stmt);
  return names;
}

std::string TranslateSql(const std::string& source) {
  std::string out;
  out.reserve(source.size() + 8);
  size_t i = 0;
  while (i < source.size()) {
    const char c = source[i];
    if (c == '\'' || c == '"') {
      // A literal or quoted identifier, copied as it stands; a doubled quote
      // inside it does not end it.
      size_t end = i + 1;
      while (end < source.size()) {
        if (source[end] == c) {
          if (end + 1 < source.size() && source[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      end = std::min(end + 1, source.size());
      out.append(source, i, end - i);
      i = end;
    } else if (c == '[') {
      const size_t close = source.find(']', i + 1);
      if (close == std::string::npos) {
        out.append(source, i, std::string::npos);
        break;
      }
      const std::string inner = source.substr(i + 1, close - i - 1);
      const size_t dot = inner.find('.');
      if (dot == std::string::npos) {
        out += '[' + inner + ']';
      } else {
        out += '[' + inner.substr(0, dot) + "].[" + inner.substr(dot + 1) + ']';
      }
      i = close + 1;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace quarn
