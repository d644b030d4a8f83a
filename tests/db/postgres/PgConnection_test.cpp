#include "db/postgres/PgConnection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "db/postgres/PgError.h"
#include "tests/db/postgres/TestServer.h"

namespace quarn {
namespace {

using testing::pgErrorOf;
using testing::ScratchSchema;
using testing::testServerDir;
using testing::testServerKeywords;
using testing::testServerUri;

TEST(PgConnection, ConnectsByUriAndByKeywordString) {
  struct Case {
    std::string connectionString;
    bool overTls;
  };
  const std::vector<Case> cases = {
      {testServerUri(), true},  // sslmode prefer: the server offers TLS
      {testServerKeywords(), true},
      {"host=" + testServerDir() + " port=" + testing::testServerPort() +
           " dbname=quarn_test user=postgres",
       false},  // the socket
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connectionString);
    PgConnection db(c.connectionString);
    EXPECT_EQ(db.exec("SELECT current_database()").rows.at(0).at(0),
              PgValue(std::string("quarn_test")));
    EXPECT_EQ(db.usesTls(), c.overTls);
  }
}

TEST(PgConnection, OnlyReachesTlsOnlyServerOverTls) {
  struct Case {
    std::string sslmode;
    bool connects;
  };
  for (const Case& c : std::vector<Case>{{"require", true}, {"prefer", true}, {"disable", false}}) {
    SCOPED_TRACE(c.sslmode);
    const auto error = pgErrorOf([&] {
      PgConnection db(testServerKeywords("sslmode=" + c.sslmode));
      EXPECT_TRUE(db.usesTls());
    });
    EXPECT_EQ(error.has_value(), !c.connects);
    if (error) {
      // No pg_hba.conf entry lets it in: no retry would.
      EXPECT_EQ(error->pgKind(), PgErrorKind::Refused);
      EXPECT_NE(error->description().find("no encryption"), std::string::npos)
          << error->description();
    }
  }
}

TEST(PgConnection, RefusesPasswordInConnectionStringWithoutShowingIt) {
  const std::string secret = "s3cret-pw";
  const std::string port = testing::testServerPort();
  struct Case {
    std::string connectionString;
    std::string messagePart;
  };
  const std::vector<Case> cases = {
      {"postgresql://postgres:" + secret + "@127.0.0.1:" + port + "/quarn_test", "PGPASSWORD"},
      {testServerKeywords("password=" + secret), "PGPASSWORD"},
      // Strings libpq cannot read: its reason quotes the piece it stumbled on.
      {"postgresql://postgres:%zz" + secret + "@127.0.0.1/x", "not valid"},
      {testServerKeywords("password='" + secret), "not valid"},
      {testServerKeywords("PASSWORD=" + secret), "not valid"},
      // A second string nested in dbname would reach the server as a name.
      {testServerKeywords("dbname='host=127.0.0.1 password=" + secret + "'"), "another connection"},
      {"postgresql://127.0.0.1:" + port + "/user%3Dpostgres%20password%3D" + secret,
       "another connection"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connectionString);
    const auto error = pgErrorOf([&] { PgConnection db(c.connectionString); });
    ASSERT_TRUE(error);
    const std::string message = error->description();
    EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
    EXPECT_EQ(message.find(secret), std::string::npos) << message;
    EXPECT_EQ(error->pgKind(), PgErrorKind::Refused);
  }
}

// A login the server refuses is no outage: no retry would let it in.
TEST(PgConnection, RefusedLoginIsToldFromAnOutage) {
  struct Case {
    std::string connectionString;
    PgErrorKind kind;
  };
  const std::vector<Case> cases = {
      {testServerKeywords("user=no_such_role_quarn"), PgErrorKind::Refused},
      {testServerKeywords("dbname=no_such_database_quarn"), PgErrorKind::Refused},
      {"host=127.0.0.1 port=1 dbname=quarn", PgErrorKind::ConnectionFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connectionString);
    const auto error = pgErrorOf([&] { PgConnection db(c.connectionString); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->pgKind(), c.kind) << error->description();
  }
}

TEST(PgConnection, ParametersKeepQuotesAndSemicolonsInert) {
  ScratchSchema scratch;
  scratch.db.exec("CREATE TABLE names (name text)");
  const std::vector<std::string> hostile = {
      "x'); DROP TABLE names; --",
      "O'Brien; \"quoted\" \\ $1 $$",
      "' OR '1'='1",
  };
  for (const std::string& value : hostile) {
    scratch.db.exec("INSERT INTO names VALUES ($1)", {value});
  }
  for (const std::string& value : hostile) {
    SCOPED_TRACE(value);
    const PgResult found = scratch.db.exec("SELECT name FROM names WHERE name = $1", {value});
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows[0][0], PgValue(value));
  }
  EXPECT_EQ(scratch.count("names"), 3);
}

TEST(PgConnection, ValuesRoundTripWithTheirTypes) {
  ScratchSchema scratch;
  scratch.db.exec("CREATE TABLE cells (i bigint, d double precision, t text)");
  const std::vector<PgValue> cases = {
      int64_t{0},
      std::numeric_limits<int64_t>::min(),
      std::numeric_limits<int64_t>::max(),
      0.1,
      -1.7976931348623157e308,
      4.9406564584124654e-324,
      std::numeric_limits<double>::infinity(),
      std::string(),
      std::string("M\xC3\xBCller \xE2\x98\x95 \t line\nbreak"),
      std::monostate{},
  };
  for (const PgValue& value : cases) {
    const char* column = std::holds_alternative<int64_t>(value)  ? "i"
                         : std::holds_alternative<double>(value) ? "d"
                                                                 : "t";
    SCOPED_TRACE(column);
    scratch.db.exec("DELETE FROM cells");
    scratch.db.exec(std::string("INSERT INTO cells (") + column + ") VALUES ($1)", {value});
    EXPECT_EQ(scratch.db.exec(std::string("SELECT ") + column + " FROM cells").rows.at(0).at(0),
              value);
  }
}

TEST(PgConnection, ReadsCellsByColumnType) {
  PgConnection db(testServerUri());
  const PgResult result = db.exec(
      "SELECT 1::smallint, 2::integer, 3::bigint, true, false, 1.5::real, 2.25::numeric, "
      "'x'::varchar, '2024-01-02'::date, NULL::bigint, 'NaN'::double precision");
  const std::vector<PgValue> expected = {
      int64_t{1},
      int64_t{2},
      int64_t{3},
      int64_t{1},
      int64_t{0},
      1.5,
      2.25,
      std::string("x"),
      std::string("2024-01-02"),
      std::monostate{},
  };
  ASSERT_EQ(result.rows.at(0).size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(result.rows[0][i], expected[i]) << i;
  EXPECT_TRUE(std::isnan(std::get<double>(result.rows[0].back())));
}

TEST(PgConnection, RefusesTextWithNulCharacter) {
  PgConnection db(testServerUri());
  const auto error = pgErrorOf([&] { db.exec("SELECT $1", {std::string("ab\0cd", 5)}); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->pgKind(), PgErrorKind::Other);
}

TEST(PgConnection, ClassifiesServerErrorsBySqlState) {
  ScratchSchema scratch;
  scratch.db.exec("CREATE TABLE keyed (k text PRIMARY KEY)");
  scratch.db.exec("INSERT INTO keyed VALUES ('S1')");
  // Codes no single statement provokes cheaply are raised as they would come.
  const auto raise = [](const char* sqlState) {
    return std::string("DO $$ BEGIN RAISE EXCEPTION 'raised' USING ERRCODE = '") + sqlState +
           "'; END $$";
  };
  // The kinds and numbers are those of the file engine's failures, which
  // the retry policy tells apart.
  struct Case {
    std::string sql;
    PgErrorKind kind;
    DbErrorKind dbKind;
    int number;
  };
  using Pg = PgErrorKind;
  using Db = DbErrorKind;
  const std::vector<Case> cases = {
      {"INSERT INTO keyed VALUES ('S1')", Pg::KeyCollision, Db::KeyCollision, kErrDuplicateKey},
      {"SELECT * FROM missing", Pg::MissingItem, Db::ItemNotFound, kErrItemNotFound},
      {"SELECT missing FROM keyed", Pg::MissingItem, Db::ItemNotFound, kErrItemNotFound},
      {raise("40001"), Pg::RetryableConflict, Db::Busy, kErrDatabase},
      {raise("40P01"), Pg::RetryableConflict, Db::Busy, kErrDatabase},
      {raise("08006"), Pg::ConnectionFailure, Db::ConnectionLost, kErrDatabase},
      {raise("57P01"), Pg::ConnectionFailure, Db::ConnectionLost, kErrDatabase},
      {raise("28P01"), Pg::Refused, Db::Refused, kErrDatabase},
      {raise("23502"), Pg::Other, Db::Other, kErrDatabase},  // another integrity error
      {"SELEC 1", Pg::Other, Db::Other, kErrDatabase},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const auto error = pgErrorOf([&] { scratch.db.exec(c.sql); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->pgKind(), c.kind) << error->description();
    EXPECT_EQ(error->kind(), c.dbKind);
    EXPECT_EQ(error->number(), c.number);
    EXPECT_EQ(error->source(), c.sql);
  }
}

TEST(PgConnection, LostConnectionIsConnectionFailure) {
  PgConnection victim(testServerUri());
  PgConnection moderator(testServerUri());
  moderator.exec("SELECT pg_terminate_backend($1::integer)",
                 {std::get<int64_t>(victim.exec("SELECT pg_backend_pid()").rows.at(0).at(0))});
  const auto error = pgErrorOf([&] { victim.exec("SELECT 1"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->pgKind(), PgErrorKind::ConnectionFailure) << error->description();
  EXPECT_NE(error->description().find("host 127.0.0.1, port "), std::string::npos);
}

TEST(PgTransaction, CommitAfterFailedStatementRaisesAndStoresNothing) {
  ScratchSchema scratch;
  scratch.db.exec("CREATE TABLE weeks (week bigint PRIMARY KEY)");
  PgTransaction week(scratch.db);
  scratch.db.exec("INSERT INTO weeks VALUES (1)");
  EXPECT_TRUE(pgErrorOf([&] { scratch.db.exec("INSERT INTO weeks VALUES (1)"); }));
  EXPECT_TRUE(pgErrorOf([&] { week.commit(); }));
  EXPECT_FALSE(scratch.db.inTransaction());
  EXPECT_EQ(scratch.count("weeks"), 0);
}

}  // namespace
}  // namespace quarn
