#pragma once

// The lab's own passphrase for its archive files. The application's files
// carry a fixed password that is published with the program, so an archive
// that leaves the lab gets a passphrase of the lab's own.

#include <string>

#include "db/DatabaseChoice.h"

namespace quarn::admin {

// The passphrase in the file at `path`: its first line, without the line
// end. An empty passphrase, or a file that other users may read, is refused
// (UsageError): the passphrase is only as secret as its file.
std::string readPassphraseFile(const std::string& path);

// With a passphrase file given (`path` not empty), the database `choice`
// names, when it is a file, is made with the lab's passphrase and opened
// with it (or else with the fixed password). A server is left as it is.
void usePassphraseFile(const std::string& path, const DatabaseChoice& choice);

}  // namespace quarn::admin
