#pragma once

// The throw-away server that CTest starts for these tests
// (scripts/pg-test-server): its folder comes in QUARN_PG_TEST_DIR.
//
//   ScratchSchema scratch;                // a new, empty schema of its own
//   scratch.db.exec("CREATE TABLE t (v text)");
//
// Every test works in a schema of its own, dropped at its end, so tests
// neither see each other's tables nor depend on their order.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "db/postgres/PgConnection.h"
#include "db/postgres/PgError.h"

namespace quarn::testing {

inline std::string testServerDir() {
  const char* dir = std::getenv("QUARN_PG_TEST_DIR");
  if (!dir || !*dir) {
    throw std::runtime_error(
        "QUARN_PG_TEST_DIR is not set: run these tests through ctest, or start a server with "
        "scripts/pg-test-server start DIR and set QUARN_PG_TEST_DIR=DIR");
  }
  return dir;
}

// postgresql://postgres@127.0.0.1:PORT/quarn_test
inline std::string testServerUri() {
  std::ifstream file(testServerDir() + "/connection");
  std::string uri;
  if (!std::getline(file, uri)) throw std::runtime_error("no connection file in the server dir");
  return uri;
}

inline std::string testServerPort() {
  const std::string uri = testServerUri();
  const size_t colon = uri.rfind(':');
  return uri.substr(colon + 1, uri.rfind('/') - colon - 1);
}

// A keyword string for the server over TCP, with `extra` appended.
inline std::string testServerKeywords(const std::string& extra = "") {
  return "host=127.0.0.1 port=" + testServerPort() + " dbname=quarn_test user=postgres " + extra;
}

// The failure `action` raises, if any.
inline std::optional<PgError> pgErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const PgError& e) {
    return e;
  }
  return std::nullopt;
}

struct ScratchSchema {
  ScratchSchema() : db(testServerUri()) {
    static std::atomic<int> counter{0};
    name = "test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    db.exec("CREATE SCHEMA " + name);
    db.exec("SET search_path TO " + name);
  }
  ~ScratchSchema() {
    try {
      PgConnection cleaner(testServerUri());
      cleaner.exec("SET client_min_messages TO warning");
      cleaner.exec("DROP SCHEMA " + name + " CASCADE");
    } catch (const PgError&) {
      // The server is gone with its schemas at the end of the run anyway.
    }
  }
  ScratchSchema(const ScratchSchema&) = delete;
  ScratchSchema& operator=(const ScratchSchema&) = delete;

  int64_t count(const std::string& table) {
    return std::get<int64_t>(db.exec("SELECT count(*) FROM " + table).rows.at(0).at(0));
  }

  PgConnection db;
  std::string name;
};

}  // namespace quarn::testing
