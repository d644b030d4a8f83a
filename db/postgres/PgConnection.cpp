#include "db/postgres/PgConnection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>

#include "db/ConnectionSecrets.h"
#include "db/postgres/PgError.h"

namespace quarn {

namespace {

// Type OIDs of the server's built-in types (pg_type.dat).
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kNumericOid = 1700;

// How long a connection attempt may take when neither the connection string
// nor PGCONNECT_TIMEOUT says: libpq's own default is to wait for as long as
// the operating system does (minutes, for a server that is switched off).
constexpr const char* kDefaultConnectTimeoutSeconds = "10";

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

struct OptionsDeleter {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

// libpq's messages end in a newline and continue on tab-indented lines.
std::string oneLine(const char* message) {
  std::string text = message ? message : "";
  for (size_t at = text.find("\n\t"); at != std::string::npos; at = text.find("\n\t", at)) {
    text.replace(at, 2, " ");
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "unknown reason" : text;
}

PgError connectionError(const std::string& message) {
  return PgError(PgErrorKind::ConnectionFailure, "", message);
}

// libpq quotes the piece of a string it could not read; "..." stands for it.
std::string withoutQuotedPieces(std::string text) {
  for (size_t open = text.find('"'); open != std::string::npos; open = text.find('"', open + 5)) {
    const size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    text.replace(open, close - open + 1, "\"...\"");
  }
  return text;
}

// Refuses a string libpq cannot read, and one that holds a password.
void checkConnectionString(const std::string& connectionString) {
  char* parseError = nullptr;
  std::unique_ptr<PQconninfoOption, OptionsDeleter> options(
      PQconninfoParse(connectionString.c_str(), &parseError));
  if (!options) {
    // libpq quotes the piece it could not read, which may be a password.
    const std::string reason = withoutQuotedPieces(oneLine(parseError));
    PQfreemem(parseError);
    throw PgError(PgErrorKind::Refused, "", "The connection string is not valid: " + reason);
  }
  for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
    if (!option->val || !*option->val) continue;
    const std::string_view keyword = option->keyword;
    if (keyword == "password") {
      throw PgError(PgErrorKind::Refused, "",
                    "The connection string holds a password. Give it in the PGPASSWORD variable, "
                    "in ~/.pgpass or in the service file instead");
    }
    // The whole string is handed to libpq as dbname to be expanded, once: a
    // second string nested in its dbname would reach the server as the
    // database's name, in every log line that names it.
    if (keyword == "dbname" && isNestedConnectionString(option->val)) {
      throw PgError(PgErrorKind::Refused, "",
                    "The connection string names another connection string as its database "
                    "(dbname); write its settings into the string itself");
    }
  }
}

// Whether the server refused the login itself, which no retry mends: no
// password to give, a wrong one, no pg_hba.conf entry, an unknown role or
// database. libpq hands a failed connection's SQLSTATE to nobody, so the
// server's (English) message tells; a server that answers in another
// language gets the retries of an outage instead.
bool loginRefused(const PGconn* conn, const std::string& reason) {
  if (PQconnectionNeedsPassword(conn)) return true;
  for (const char* words : {"authentication failed", "no pg_hba.conf entry", "does not exist",
                            "password is required", "not permitted to log in"}) {
    if (reason.find(words) != std::string::npos) return true;
  }
  return false;
}

template <class Number>
Number parseNumber(const char* text, size_t length) {
  Number value{};
  const auto [end, error] = std::from_chars(text, text + length, value);
  if (error != std::errc() || end != text + length) {
    throw PgError(PgErrorKind::Other, "",
                  "The server sent a number that cannot be read: " + std::string(text, length));
  }
  return value;
}

PgValue cellValue(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return std::monostate{};
  const char* text = PQgetvalue(result, row, column);
  const int length = PQgetlength(result, row, column);
  switch (PQftype(result, column)) {
    case kBoolOid:
      return int64_t{text[0] == 't' ? 1 : 0};
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
      return parseNumber<int64_t>(text, length);
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
      return parseNumber<double>(text, length);
    default:
      return std::string(text, length);
  }
}

// The parameters as libpq takes them: text, or a null pointer for Null.
class ParameterTexts {
 public:
  explicit ParameterTexts(const std::vector<PgValue>& params) {
    for (const PgValue& value : params) m_texts.push_back(text(value));
    for (const auto& text : m_texts) m_pointers.push_back(text ? text->c_str() : nullptr);
  }
  int count() const { return static_cast<int>(m_pointers.size()); }
  const char* const* values() const { return m_pointers.data(); }

 private:
  static std::optional<std::string> text(const PgValue& value) {
    if (std::holds_alternative<int64_t>(value)) {
      return std::to_string(std::get<int64_t>(value));
    }
    if (std::holds_alternative<double>(value)) {
      // The shortest text that reads back as the same double.
      char buffer[32];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value)).ptr;
      return std::string(buffer, end);
    }
    if (std::holds_alternative<std::string>(value)) {
      const std::string& text = std::get<std::string>(value);
      // Parameters travel as C strings: a NUL would silently cut the value.
      if (text.find('\0') != std::string::npos) {
        throw PgError(PgErrorKind::Other, "", "A text value holds a NUL character");
      }
      return text;
    }
    return std::nullopt;
  }

  std::vector<std::optional<std::string>> m_texts;
  std::vector<const char*> m_pointers;
};

}  // namespace

const PgValue& PgResult::at(size_t row, std::string_view column) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i] == column) return rows.at(row).at(i);
  }
  throw PgError(PgErrorKind::MissingItem, "",
                "Item not found in this collection (" + std::string(column) + ")");
}

Rows rowsOf(PgResult result) {
  const auto columns = std::make_shared<const ColumnNames>(std::move(result.columns));
  Rows rows;
  rows.reserve(result.rows.size());
  for (std::vector<PgValue>& values : result.rows) rows.emplace_back(columns, std::move(values));
  return rows;
}

PgConnection::PgConnection(const std::string& connectionString) {
  checkConnectionString(connectionString);
  // Later entries override earlier ones, and the string (expanded in place of
  // dbname) overrides the defaults before it. The application's text is UTF-8.
  std::vector<const char*> keywords = {"fallback_application_name", "dbname", "client_encoding"};
  std::vector<const char*> values = {"quarngame", connectionString.c_str(), "UTF8"};
  if (!std::getenv("PGCONNECT_TIMEOUT")) {
    keywords.insert(keywords.begin(), "connect_timeout");
    values.insert(values.begin(), kDefaultConnectTimeoutSeconds);
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  m_conn = PQconnectdbParams(keywords.data(), values.data(), 1);
  if (!m_conn) throw connectionError("Out of memory while connecting to the database server");
  if (PQstatus(m_conn) != CONNECTION_OK) {
    const std::string reason = oneLine(PQerrorMessage(m_conn));
    const std::string message =
        "Cannot connect to the database server at " + where() + ": " + reason;
    const bool refused = loginRefused(m_conn, reason);
    PQfinish(m_conn);
    if (refused) throw PgError(PgErrorKind::Refused, "", message);
    throw connectionError(message);
  }
}

PgConnection::~PgConnection() {
  PQfinish(m_conn);
}

PgResult PgConnection::exec(const std::string& sql, const std::vector<PgValue>& params) {
  const ParameterTexts texts(params);
  return take(PQexecParams(m_conn, sql.c_str(), texts.count(), nullptr, texts.values(), nullptr,
                           nullptr, 0),
              sql);
}

void PgConnection::prepare(const std::string& name, const std::string& sql) {
  take(PQprepare(m_conn, name.c_str(), sql.c_str(), 0, nullptr), sql);
}

PgResult PgConnection::execPrepared(const std::string& name, const std::vector<PgValue>& params) {
  const ParameterTexts texts(params);
  return take(
      PQexecPrepared(m_conn, name.c_str(), texts.count(), texts.values(), nullptr, nullptr, 0),
      name);
}

std::string PgConnection::encryptedPassword(const std::string& password, const std::string& user) {
  char* encrypted = PQencryptPasswordConn(m_conn, password.c_str(), user.c_str(), nullptr);
  if (!encrypted) {
    throw PgError(PgErrorKind::Other, "",
                  "The password could not be encrypted: " + oneLine(PQerrorMessage(m_conn)));
  }
  std::string text(encrypted);
  PQfreemem(encrypted);
  return text;
}

void PgConnection::execScript(const std::string& sql) {
  take(PQexec(m_conn, sql.c_str()), "");
}

void PgConnection::prepareOnce(const std::string& name, const std::string& sql) {
  if (m_prepared.count(name)) return;
  prepare(name, sql);
  m_prepared.insert(name);
}

std::vector<std::string> PgConnection::waitForNotifications(std::chrono::milliseconds timeout) {
  std::vector<std::string> payloads;
  const auto takeArrived = [&] {
    if (PQconsumeInput(m_conn) == 0) {
      throw PgError(PgErrorKind::ConnectionFailure, "",
                    "The link to the server broke (" + where() + "): " + PQerrorMessage(m_conn));
    }
    while (PGnotify* note = PQnotifies(m_conn)) {
      payloads.emplace_back(note->extra);
      PQfreemem(note);
    }
  };
  takeArrived();
  if (!payloads.empty()) return payloads;
  pollfd socket{PQsocket(m_conn), POLLIN, 0};
  if (::poll(&socket, 1, static_cast<int>(timeout.count())) > 0) takeArrived();
  return payloads;
}

bool PgConnection::broken() const {
  return PQstatus(m_conn) == CONNECTION_BAD;
}

int PgConnection::socket() const {
  return PQsocket(m_conn);
}

bool PgConnection::usesTls() const {
  return PQsslInUse(m_conn) == 1;
}

bool PgConnection::inTransaction() const {
  const PGTransactionStatusType status = PQtransactionStatus(m_conn);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

std::string PgConnection::host() const {
  const char* host = PQhost(m_conn);
  return host && *host ? host : "localhost";
}

std::string PgConnection::port() const {
  const char* port = PQport(m_conn);
  return port && *port ? port : "5432";
}

std::string PgConnection::where() const {
  return "host " + host() + ", port " + port();
}

PgResult PgConnection::take(PGresult* raw, const std::string& sql) const {
  const ResultPtr result(raw);
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(result.get(), sql);

  PgResult out;
  out.commandTag = PQcmdStatus(result.get());
  const char* affected = PQcmdTuples(result.get());
  if (*affected) out.affectedRows = parseNumber<int64_t>(affected, std::strlen(affected));
  const int columns = PQnfields(result.get());
  const int rows = PQntuples(result.get());
  for (int c = 0; c < columns; ++c) out.columns.emplace_back(PQfname(result.get(), c));
  out.rows.reserve(rows);
  for (int r = 0; r < rows; ++r) {
    auto& row = out.rows.emplace_back();
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) row.push_back(cellValue(result.get(), r, c));
  }
  return out;
}

void PgConnection::fail(const PGresult* result, const std::string& sql) const {
  const char* sqlState = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (PQstatus(m_conn) == CONNECTION_BAD) {
    throw PgError(PgErrorKind::ConnectionFailure, sqlState ? sqlState : "",
                  "The connection to the database server at " + where() +
                      " was lost: " + oneLine(PQerrorMessage(m_conn)),
                  sql);
  }
  if (!sqlState) throw PgError(PgErrorKind::Other, "", oneLine(PQerrorMessage(m_conn)), sql);

  const PgErrorKind kind = classifySqlState(sqlState);
  std::string message = oneLine(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
  if (kind == PgErrorKind::MissingItem) {
    throw PgError(kind, sqlState, "Item not found in this collection (" + message + ")", sql);
  }
  if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
    message += ". " + oneLine(detail);
  }
  throw PgError(kind, sqlState, message + " (SQLSTATE " + sqlState + ")", sql);
}

PgTransaction::PgTransaction(PgConnection& connection) : m_connection(connection) {
  if (m_connection.inTransaction()) {
    throw PgError(PgErrorKind::Other, "", "A transaction is already open on this connection");
  }
  m_connection.exec("BEGIN");
}

PgTransaction::~PgTransaction() {
  if (!m_open) return;
  try {
    m_connection.exec("ROLLBACK");
  } catch (const PgError&) {
    // A broken connection has rolled back on the server already.
  }
}

void PgTransaction::commit() {
  m_open = false;
  // After a failed statement the server answers COMMIT with ROLLBACK, and
  // without an error.
  if (m_connection.exec("COMMIT").commandTag != "COMMIT") {
    throw PgError(PgErrorKind::Other, "",
                  "The transaction was rolled back because one of its statements failed");
  }
}

}  // namespace quarn
