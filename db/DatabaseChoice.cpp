#include "db/DatabaseChoice.h"

#include <libpq-fe.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/Text.h"
#include "db/ConnectionSecrets.h"
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

constexpr std::string_view kOutageLimitKey = "outage_limit";

// The lines of a settings file that say something, trimmed.
std::vector<std::string> settingsLines(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    throw DbError(DbErrorKind::Other, kErrFileNotFound,
                  "The settings file " + path + " cannot be read (" + std::strerror(errno) + ")");
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    const std::string_view content = trimSpace(line);
    if (!content.empty() && content.front() != '#') lines.emplace_back(content);
  }
  return lines;
}

// The value of an "outage_limit = N" line.
std::optional<std::string_view> outageLimitText(std::string_view line) {
  if (!line.starts_with(kOutageLimitKey)) return std::nullopt;
  std::string_view rest = trimSpace(line.substr(kOutageLimitKey.size()));
  if (!rest.starts_with('=')) return std::nullopt;
  return trimSpace(rest.substr(1));
}

}  // namespace

std::optional<std::chrono::seconds> readOutageLimit(const std::string& path) {
  for (const std::string& line : settingsLines(path)) {
    const std::optional<std::string_view> text = outageLimitText(line);
    if (!text) continue;
    int seconds = -1;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seconds);
    if (error != std::errc() || end != text->data() + text->size() || seconds < 0) {
      throw DbError(DbErrorKind::Refused, kErrDatabase,
                    "The settings file " + path + " sets the outage limit to \"" +
                        std::string(*text) + "\": write a whole number of seconds");
    }
    return std::chrono::seconds(seconds);
  }
  return std::nullopt;
}

std::string DatabaseChoice::location() const {
  if (engine == DatabaseEngine::File) return file;
  return settingsFile.empty() ? redactConnectionString(connection) : settingsFile;
}

std::optional<std::chrono::seconds> DatabaseChoice::outageLimit() const {
  if (engine != DatabaseEngine::Server || settingsFile.empty()) return std::nullopt;
  return readOutageLimit(settingsFile);
}

std::string DatabaseChoice::connectionString() const {
  if (settingsFile.empty()) return connection;
  readOutageLimit(settingsFile);  // a faulty limit is refused before any connection
  return readServerSettings(settingsFile);
}

namespace {

// The host, port and database a connection string names, each as libpq
// takes it when the string leaves it out.
DatabasePlace serverPlace(const std::string& connection) {
  DatabasePlace place;
  place.engine = DatabaseEngine::Server;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.c_str(), &error);
  if (!options) {
    PQfreemem(error);
    place.host = connection;
    return place;
  }
  std::string address, user;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    const std::string keyword = option->keyword;
    const std::string value =
        option->val
            ? option->val
            : (option->envvar && std::getenv(option->envvar) ? std::getenv(option->envvar) : "");
    if (keyword == "host") place.host = value;
    if (keyword == "hostaddr") address = value;
    if (keyword == "port") place.port = value;
    if (keyword == "dbname") place.database = value;
    if (keyword == "user") user = value;
  }
  PQconninfoFree(options);
  if (place.host.empty()) place.host = address;
  if (place.port.empty()) place.port = "5432";
  if (place.database.empty()) place.database = user;
  return place;
}

}  // namespace

DatabasePlace DatabaseChoice::place() const {
  DatabasePlace place;
  if (engine == DatabaseEngine::File) {
    place.file = file;
    return place;
  }
  try {
    place = serverPlace(connectionString());
  } catch (const QuarnError& failure) {
    place.engine = DatabaseEngine::Server;
    place.failure = failure.description();
  }
  place.file = settingsFile;
  return place;
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
  std::string connection;
  for (const std::string& line : settingsLines(path)) {
    if (!outageLimitText(line)) connection += (connection.empty() ? "" : " ") + line;
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
