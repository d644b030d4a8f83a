#pragma once

// The stores of a real file with failures injected into the writes of
// results and into the opens of any use:
//
//   FaultyStores faulty(testDb.stores);
//   faulty.insertFaults = {'.', 'k'};   // the 2nd row written collides
//   DatabaseAccess access(faulty, prompter, random);

#include <deque>
#include <memory>
#include <string>

#include "db/DbError.h"
#include "db/Stores.h"

namespace quarn::testing {

class FaultyStores final : public Stores, private ResultStore {
 public:
  explicit FaultyStores(Stores& inner) : m_inner(inner) {}

  PlanStore& plan() override { return m_inner.plan(); }
  ParticipantStore& participants() override { return m_inner.participants(); }
  TeamStore& teams() override { return m_inner.teams(); }
  ResultStore& results() override { return *this; }
  std::string location() const override { return m_inner.location(); }
  void setLocation(const std::string& location) override { m_inner.setLocation(location); }
  // The inner database's check when answersAgain, else none.
  std::function<bool()> answerCheck() const override {
    return answersAgain ? m_inner.answerCheck() : std::function<bool()>();
  }
  bool answersAgain = false;

  // One entry per insert: '.' stores the row, 'k' fails as a key collision
  // would, 'x' as a passing I/O fault would, 'l' as a fault that rolled the
  // transaction's rows back, 'c' as a lost link to a server would.
  std::deque<char> insertFaults;
  int commitFails = 0;  // the next commits that fail with a lock
  int openFails = 0;    // the next opens of a writer that fail with a lock
  int opens = 0;        // writers opened

 private:
  template <class RowT>
  class Writer final : public RowWriter<RowT> {
   public:
    Writer(FaultyStores& owner, std::unique_ptr<RowWriter<RowT>> inner)
        : m_owner(owner), m_inner(std::move(inner)) {}
    void insert(const RowT& row) override {
      const char fault = m_owner.insertFaults.empty() ? '.' : m_owner.insertFaults.front();
      if (!m_owner.insertFaults.empty()) m_owner.insertFaults.pop_front();
      if (fault == 'k') {
        throw DbError(DbErrorKind::KeyCollision, kErrDuplicateKey,
                      "The changes were not successful");
      }
      if (fault == 'x') throw DbError(DbErrorKind::Other, kErrDatabase + 10, "disk I/O error");
      if (fault == 'c') {
        throw DbError(DbErrorKind::ConnectionLost, kErrDatabase, "server closed the connection");
      }
      if (fault == 'l') {
        throw DbError(DbErrorKind::WriteLost, kErrWriteLost, "disk I/O error; no row was stored");
      }
      m_inner->insert(row);
    }
    void commit() override {
      if (m_owner.commitFails > 0 && m_owner.commitFails--) {
        throw DbError(DbErrorKind::Busy, 3005, "database is locked");
      }
      m_inner->commit();
    }
    std::optional<bool> storedDespiteLostCommit() override {
      return m_inner->storedDespiteLostCommit();
    }

   private:
    FaultyStores& m_owner;
    std::unique_ptr<RowWriter<RowT>> m_inner;
  };

  template <class RowT>
  std::unique_ptr<RowWriter<RowT>> open(std::unique_ptr<RowWriter<RowT>> (ResultStore::*opener)()) {
    if (openFails > 0 && openFails--) {
      throw DbError(DbErrorKind::Busy, kErrDatabase + 5, "database is locked");
    }
    ++opens;
    return std::make_unique<Writer<RowT>>(*this, (m_inner.results().*opener)());
  }

  std::unique_ptr<RowWriter<WeekRow>> openWeekRows() override {
    return open(&ResultStore::openWeekRows);
  }
  std::unique_ptr<RowWriter<TrialRow>> openTrialRows() override {
    return open(&ResultStore::openTrialRows);
  }
  std::vector<RecordedSession> recordedSessions(const std::string& setting,
                                                const std::string& subject) override {
    return m_inner.results().recordedSessions(setting, subject);
  }
  std::vector<RecordedSession> trainingSessions(const std::string& setting,
                                                const std::string& subject) override {
    return m_inner.results().trainingSessions(setting, subject);
  }
  RecordedRows recordedRows(const RecordedSession& session) override {
    return m_inner.results().recordedRows(session);
  }
  RecordKeys recordKeys(const std::string& setting, const std::string& subject) override {
    return m_inner.results().recordKeys(setting, subject);
  }

  Stores& m_inner;
};

}  // namespace quarn::testing
