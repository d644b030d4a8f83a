#include "tools/Passphrase.h"

#include <sys/stat.h>

#include <fstream>

#include "db/sqlcipher/KeyCache.h"
#include "tools/Commands.h"

namespace quarn::admin {

std::string readPassphraseFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    throw UsageError("The passphrase file " + path + " cannot be read");
  }
  if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    throw UsageError("The passphrase file " + path +
                     " may be read by other users; make it the owner's alone: chmod 600 " + path);
  }
  std::ifstream in(path, std::ios::binary);
  std::string passphrase;
  if (!in || !std::getline(in, passphrase)) {
    throw UsageError("The passphrase file " + path + " holds no passphrase");
  }
  if (!passphrase.empty() && passphrase.back() == '\r') passphrase.pop_back();
  if (passphrase.empty()) {
    throw UsageError("The passphrase file " + path + " holds no passphrase");
  }
  return passphrase;
}

void usePassphraseFile(const std::string& path, const DatabaseChoice& choice) {
  if (path.empty() || choice.engine != DatabaseEngine::File) return;
  usePassphrase(choice.file, readPassphraseFile(path));
}

}  // namespace quarn::admin
