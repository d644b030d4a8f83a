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

std::optional<std::string> PgClassStore::passwordHead(ClassSql& sql, const std::string& code) {
  const Rows rows = sql.query(R"(SELECT quarn_class_password_head(?) AS "Head")", {code});
  if (rows.empty() || rows.front().cell("Head").isNull()) return std::nullopt;
  return rows.front().cell("Head").toText();
}

bool PgClassStore::passwordIs(ClassSql& sql, const std::string& code, const std::string& hash) {
  const Rows rows = sql.query(R"(SELECT quarn_class_password_is(?, ?) AS "Is")", {code, hash});
  if (rows.empty()) return false;
  const Cell cell = rows.front().cell("Is");
  const auto* yes = std::get_if<int64_t>(&cell.value());
  return yes && *yes != 0;
}

void PgClassStore::read(const Use& use) {
  m_pool.run([&](PgConnection& db) {
    PgClassSql sql(db);
    use(sql);
    return 0;
  });
}

}  // namespace quarn
