#include "db/sqlcipher/ConnectionPool.h"

#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quarn {

namespace {

// What tells one file at a path from another: its inode, and the salt that
// starts it (a file copied over the old one in place keeps the inode but
// brings its own salt, and with it another key).
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::array<unsigned char, 16> salt{};
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path` as `connection` reads it: the salt
// through the connection's own open file, so that no open is needed.
std::optional<FileIdentity> identityOf(const std::string& path, SqlCipherConnection& connection) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(connection.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) !=
          SQLITE_OK ||
      !file || !file->pMethods) {
    return std::nullopt;
  }
  FileIdentity identity{status.st_dev, status.st_ino, {}};
  if (file->pMethods->xRead(file, identity.salt.data(), static_cast<int>(identity.salt.size()),
                            0) != SQLITE_OK) {
    return std::nullopt;
  }
  return identity;
}

int synchronousOf(SqlCipherConnection& connection) {
  const Rows rows = connection.query("PRAGMA synchronous;");
  if (rows.empty()) return 2;
  const auto* level = std::get_if<int64_t>(&rows.front().values().front());
  return level ? static_cast<int>(*level) : 2;
}

// Whether `connection` may serve another user as it is: no transaction
// open, no statement left unfinished.
bool isIdle(SqlCipherConnection& connection) {
  sqlite3* handle = connection.handle();
  return handle && sqlite3_get_autocommit(handle) && !sqlite3_next_stmt(handle, nullptr);
}

class Pool {
 public:
  PooledConnection take(const std::string& path, OpenMode mode, BusyWaiter* waiter) {
    while (std::unique_ptr<SqlCipherConnection> idle = takeIdle(path, mode)) {
      const Lent& lent = m_lent.at(idle.get());
      if (identityOf(path, *idle) == lent.identity) {
        idle->setWaiter(waiter);
        return PooledConnection(idle.release());
      }
      forget(idle.get());
    }
    auto connection = std::make_unique<SqlCipherConnection>(path, mode, waiter);
    if (mode != OpenMode::Create && perFile() > 0) remember(*connection, path, mode);
    return PooledConnection(connection.release());
  }

  void release(SqlCipherConnection* released) {
    std::unique_ptr<SqlCipherConnection> connection(released);
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto lent = m_lent.find(released);
    if (lent == m_lent.end()) return;
    std::vector<SqlCipherConnection*>& idle = m_idle[{lent->second.path, lent->second.mode}];
    if (idle.size() >= m_perFile || !restore(*connection, lent->second)) {
      m_lent.erase(lent);
      return;
    }
    idle.push_back(connection.release());
  }

  void keep(std::size_t perFile) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_perFile = perFile;
    for (auto& [key, idle] : m_idle) {
      while (idle.size() > perFile) {
        m_lent.erase(idle.back());
        delete idle.back();
        idle.pop_back();
      }
    }
  }

  std::size_t idleCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t count = 0;
    for (const auto& [key, idle] : m_idle) count += idle.size();
    return count;
  }

 private:
  struct Lent {
    std::string path;
    OpenMode mode;
    std::optional<FileIdentity> identity;
    int synchronous;
  };

  std::size_t perFile() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_perFile;
  }

  std::unique_ptr<SqlCipherConnection> takeIdle(const std::string& path, OpenMode mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_idle.find({path, mode});
    if (found == m_idle.end() || found->second.empty()) return nullptr;
    std::unique_ptr<SqlCipherConnection> connection(found->second.back());
    found->second.pop_back();
    return connection;
  }

  void remember(SqlCipherConnection& connection, const std::string& path, OpenMode mode) {
    Lent lent{path, mode, identityOf(path, connection), synchronousOf(connection)};
    if (!lent.identity) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lent.emplace(&connection, std::move(lent));
  }

  void forget(SqlCipherConnection* connection) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lent.erase(connection);
  }

  // Undoes what a user may have changed for its own writes (the marks'
  // unsynced commits), so that the next user starts from the default.
  static bool restore(SqlCipherConnection& connection, const Lent& lent) {
    if (!isIdle(connection)) return false;
    connection.setWaiter(nullptr);
    try {
      connection.executeScript("PRAGMA synchronous=" + std::to_string(lent.synchronous) + ";");
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }

  std::mutex m_mutex;
  std::size_t m_perFile = 0;
  std::map<std::pair<std::string, OpenMode>, std::vector<SqlCipherConnection*>> m_idle;
  std::map<const SqlCipherConnection*, Lent> m_lent;
};

// Never destroyed: connections may be released while the process exits.
Pool& pool() {
  static Pool* const instance = new Pool;
  return *instance;
}

}  // namespace

void ConnectionRelease::operator()(SqlCipherConnection* connection) const {
  pool().release(connection);
}

PooledConnection connectTo(const std::string& path, OpenMode mode, BusyWaiter* waiter) {
  return pool().take(path, mode, waiter);
}

void keepIdleConnections(std::size_t perFile) {
  pool().keep(perFile);
}

std::size_t idleConnections() {
  return pool().idleCount();
}

}  // namespace quarn
