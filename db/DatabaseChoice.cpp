#include "db/DatabaseChoice.h"

#include <libpq-fe.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/Text.h"
#include "db/DbError.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

DatabaseChoice fileChoice(std::string path) {
  return {DatabaseEngine::File, std::move(path), "", ""};
}

DatabaseChoice connectionChoice(std::string connection) {
  return {DatabaseEngine::Server, "", std::move(connection), ""};
}

DatabaseChoice settingsChoice(std::string path) {
  return {DatabaseEngine::Server, "", "", std::move(path)};
}

bool endsWithConf(std::string_view name) {
  return name.size() > 5 && toLowerAscii(name.substr(name.size() - 5)) == ".conf";
}

// The box names a file inside the data folder, even when its text starts
// with a slash.
std::string inFolder(const std::string& folder, std::string_view name) {
  return folder + "/" + std::string(name);
}

}  // namespace

std::string DatabaseChoice::location() const {
  if (engine == DatabaseEngine::File) return file;
  return settingsFile.empty() ? connection : settingsFile;
}

std::string DatabaseChoice::connectionString() const {
  return settingsFile.empty() ? connection : readServerSettings(settingsFile);
}

namespace {

// The host, port and database a connection string names, each as libpq
// takes it when the string leaves it out.
std::string describeServer(const std::string& connection) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.c_str(), &error);
  if (!options) {
    PQfreemem(error);
    return "server " + connection;
  }
  std::string host, address, port, database, user;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    const std::string keyword = option->keyword;
    const std::string value =
        option->val
            ? option->val
            : (option->envvar && std::getenv(option->envvar) ? std::getenv(option->envvar) : "");
    if (keyword == "host") host = value;
    if (keyword == "hostaddr") address = value;
    if (keyword == "port") port = value;
    if (keyword == "dbname") database = value;
    if (keyword == "user") user = value;
  }
  PQconninfoFree(options);
  if (host.empty()) host = address.empty() ? "the local socket" : address;
  if (port.empty()) port = "5432";
  if (database.empty()) database = user.empty() ? "of the login user" : user;
  return "server " + host + ":" + port + ", database " + database;
}

}  // namespace

std::string DatabaseChoice::description() const {
  if (engine == DatabaseEngine::File) return file;
  try {
    return describeServer(connectionString());
  } catch (const QuarnError& failure) {
    return "server named in " + settingsFile + " (" + failure.description() + ")";
  }
}

bool isConnectionUri(std::string_view text) {
  const std::string lower = toLowerAscii(text.substr(0, 13));
  return lower.starts_with("postgresql://") || lower.starts_with("postgres://");
}

DatabaseChoice chooseDatabase(const std::string& dataFolder, const std::string& setupText) {
  const std::string_view text = trimSpace(setupText);
  if (isConnectionUri(text)) return connectionChoice(std::string(text));
  if (endsWithConf(text)) return settingsChoice(inFolder(dataFolder, text));
  if (text == kDefaultDatabaseFile) {
    const std::string settings = inFolder(dataFolder, kServerSettingsFile);
    if (fs::exists(settings)) return settingsChoice(settings);
  }
  return fileChoice(inFolder(dataFolder, text));
}

DatabaseChoice chooseAdminDatabase(const std::string& argument) {
  if (isConnectionUri(argument)) return connectionChoice(argument);
  std::error_code error;
  if (fs::is_directory(argument, error)) {
    const std::string settings = inFolder(argument, kServerSettingsFile);
    if (fs::exists(settings)) return settingsChoice(settings);
    return fileChoice(inFolder(argument, kDefaultDatabaseFile));
  }
  // A keyword string ("host=lab dbname=quarn") is no path of anything.
  if (argument.find('=') != std::string::npos && !fs::exists(argument, error)) {
    return connectionChoice(argument);
  }
  if (endsWithConf(argument)) return settingsChoice(argument);
  return fileChoice(argument);
}

std::string readServerSettings(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    throw DbError(DbErrorKind::Other, kErrFileNotFound,
                  "The settings file " + path + " cannot be read (" + std::strerror(errno) + ")");
  }
  std::string connection;
  for (std::string line; std::getline(in, line);) {
    const std::string_view content = trimSpace(line);
    if (content.empty() || content.front() == '#') continue;
    connection += (connection.empty() ? "" : " ") + std::string(content);
  }
  if (connection.empty()) {
    throw DbError(DbErrorKind::Other, kErrDatabase,
                  "The settings file " + path +
                      " names no database server: write a connection URI "
                      "(postgresql://host/database) or keyword string (host=... dbname=...) in it");
  }
  return connection;
}

}  // namespace quarn
