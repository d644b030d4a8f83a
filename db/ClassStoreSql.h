#pragma once

#include <functional>
#include <string>

#include "db/ClassStore.h"
#include "db/QueryRunner.h"

namespace quarn {

// The statements of one use of the class tables, on either engine.
class ClassSql {
 public:
  virtual ~ClassSql() = default;
  virtual Rows query(const std::string& sql, const SqlParams& params) = 0;
  virtual void execute(const std::string& sql, const SqlParams& params) = 0;
};

// The class store written once in SQL both engines take; an engine gives
// the transactions.
class SqlClassStore : public ClassStore {
 public:
  std::string open(ClassRow row, const std::function<std::string()>& drawCode) override;
  std::optional<ClassRow> find(const std::string& code) override;
  std::vector<ClassRow> list() override;
  bool passwordOpens(const std::string& code, const std::string& password) override;
  bool setState(const std::string& code, ClassState state) override;
  bool giveWord(const std::string& code, ClassWord word) override;
  ClassStudent arrive(const std::string& code, const std::string& subject,
                      const std::string& name) override;
  ClassStudent arriveNamed(const std::string& code, const std::string& name) override;
  std::vector<ClassStudent> students(const std::string& code) override;
  std::optional<ClassStudent> studentNamed(const std::string& code,
                                           const std::string& name) override;
  void place(const std::string& code, const std::string& subject, const std::string& team) override;
  std::string placeByArrival(const std::string& code, const std::string& subject,
                             int size) override;

 protected:
  using Use = std::function<void(ClassSql&)>;
  // Runs `use` in one write transaction that holds the class tables alone
  // (two arrivals never get one number), committed when `use` returns.
  virtual void write(const Use& use) = 0;
  // Runs `use` as a read.
  virtual void read(const Use& use) = 0;
  // The stored hash of the class's password up to its last '$' (its scheme,
  // iterations and salt); nothing when there is no such class.
  virtual std::optional<std::string> passwordHead(ClassSql& sql, const std::string& code);
  // Whether the class's stored hash is `hash`.
  virtual bool passwordIs(ClassSql& sql, const std::string& code, const std::string& hash);
};

}  // namespace quarn
