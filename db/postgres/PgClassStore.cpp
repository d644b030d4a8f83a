#include "db/postgres/PgClassStore.h"

#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

class PgClassSql final : public ClassSql {
 public:
  explicit PgClassSql(PgConnection& db) : m_db(db) {}
  Rows query(const std::string& sql, const SqlParams& params) override {
    return rowsOf(m_db.exec(numberedParameters(sql), params));
  }
  void execute(const std::string& sql, const SqlParams& params) override {
    m_db.exec(numberedParameters(sql), params);
  }

 private:
  PgConnection& m_db;
};

}  // namespace

void PgClassStore::write(const Use& use) {
  m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    PgClassSql sql(db);
    sql.execute("SELECT pg_advisory_xact_lock(hashtext('quarn_classes'))", {});
    use(sql);
    transaction.commit();
    return 0;
  });
}

void PgClassStore::read(const Use& use) {
  m_pool.run([&](PgConnection& db) {
    PgClassSql sql(db);
    use(sql);
    return 0;
  });
}

}  // namespace quarn
