#pragma once

// Which experiment database a workstation or a command uses: an encrypted
// file, or a PostgreSQL server.
//
// The login's "Setup File" box (relative to the data folder):
//   postgresql://host/db   that server (postgres:// too)
//   lab.conf               the server that the settings file data/lab.conf names
//   quarn.mdb              the box's default: the server of data/quarn.conf when
//                          that file exists (the installation's choice), else
//                          the file data/quarn.mdb
//   anything else          that file in data/
//
// A settings file holds one connection URI or keyword string, on one line or
// spread over several; lines starting with # and blank lines are skipped. It
// never holds a password: libpq takes one from PGPASSWORD, ~/.pgpass or the
// service file, and a connection string with a password is refused. A line
// "outage_limit = 90" is no part of the connection: it sets how many seconds
// a lost server is waited for before the moderator is asked (default 60).

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quarn {

inline constexpr const char* kDefaultDatabaseFile = "quarn.mdb";
inline constexpr const char* kServerSettingsFile = "quarn.conf";

enum class DatabaseEngine { File, Server };

// Which database is in use, in parts, so that the login can name it to the
// moderator in the participant's language.
struct DatabasePlace {
  DatabaseEngine engine = DatabaseEngine::File;
  std::string file;      // File: its path; Server: the settings file it was read from, if any
  std::string host;      // Server: empty for the local socket
  std::string port;      // Server
  std::string database;  // Server: empty for the one named like the login user
  std::string failure;   // Server: why the settings file could not be read
  bool operator==(const DatabasePlace&) const = default;
};

struct DatabaseChoice {
  DatabaseEngine engine = DatabaseEngine::File;
  std::string file;          // File: the database file's path
  std::string connection;    // Server: a connection URI or keyword string given as such
  std::string settingsFile;  // Server: the settings file that names it, read at each connect

  // What messages name: the file, the connection string without its
  // password, or the settings file.
  std::string location() const;
  // Server: the connection URI or keyword string (read from the settings
  // file, if that is where it stands).
  std::string connectionString() const;
  // For the moderator: the file's path, or the server's host, port and
  // database, libpq's defaults filled in.
  DatabasePlace place() const;
  // Server: the settings file's outage limit, if it sets one.
  std::optional<std::chrono::seconds> outageLimit() const;
  bool operator==(const DatabaseChoice&) const = default;
};

// Whether `text` is a PostgreSQL connection URI.
bool isConnectionUri(std::string_view text);

// What the login uses, from the data folder and the text of its box.
DatabaseChoice chooseDatabase(const std::string& dataFolder, const std::string& setupText);

// What a command of quarngame-admin uses, from its argument: a connection URI
// or keyword string, a settings file (*.conf), a data folder (its quarn.conf
// when there is one, else its quarn.mdb), or a database file.
DatabaseChoice chooseAdminDatabase(const std::string& argument);

// The connection string of a settings file. A file that cannot be read or
// names nothing raises a DbError naming it.
std::string readServerSettings(const std::string& path);
// The outage limit a settings file sets; a value that is no whole number of
// seconds raises a DbError naming the file.
std::optional<std::chrono::seconds> readOutageLimit(const std::string& path);

}  // namespace quarn
