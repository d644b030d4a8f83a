#pragma once

#include <string>
#include <vector>

namespace quarn {

// The fixed password of every experiment database.
inline constexpr const char* kDatabasePassword = "PqZt_*R*_k";

// How a connection opens a file: read only, an existing file to write, or a
// new file (which must not exist yet).
enum class OpenMode {
  ReadOnly,   // SQLITE_OPEN_READONLY
  ReadWrite,  // an existing file only
  Create,     // a new file; refuses a file that already exists
};

// The PRAGMA key statement for the file at `path`: the raw key with its salt
// when the salt can be read (or, for a new file, chosen), the password
// otherwise (an empty or truncated file, which SQLite then reports in its own
// way). The key is derived from the password once per salt and process:
// every open after the first skips the derivation's ~45 ms.
std::string keyStatement(const std::string& path, OpenMode mode,
                         const std::string& password = kDatabasePassword);

// An archive of the lab's own: the file at `path` is encrypted with
// `passphrase` instead of the fixed password, which is published. From now
// on this process makes that file (a new one) with the passphrase and opens
// it with the passphrase or, failing that, the fixed password.
void usePassphrase(const std::string& path, const std::string& passphrase);

// The passwords to try for the file at `path`, in order: the one that
// opened it last first.
std::vector<std::string> passwordsFor(const std::string& path);
// The password that opened the file at `path`, tried first from now on.
void passwordWorked(const std::string& path, const std::string& password);

}  // namespace quarn
