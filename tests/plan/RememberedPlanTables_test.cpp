#include "plan/RememberedPlanTables.h"

#include <functional>
#include <map>

#include "base/Errors.h"
#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

// The file's plan tables, counting the reads of each kind; a read fails
// while `failing` is set.
class CountingTables final : public PlanTables {
 public:
  explicit CountingTables(PlanTables& inner) : m_inner(inner) {}

  std::map<std::string, int> reads;
  bool failing = false;

  template <class Read>
  auto counted(const std::string& kind, Read&& read) {
    ++reads[kind];
    if (failing) throw QuarnError(kErrDatabase, "the database failed");
    return read();
  }

  Rows players() override {
    return counted("players", [&] { return m_inner.players(); });
  }
  Rows blockRows(const std::string& s) override {
    return counted("blocks", [&] { return m_inner.blockRows(s); });
  }
  Rows trainingRows(const std::string& s) override {
    return counted("training", [&] { return m_inner.trainingRows(s); });
  }
  Rows pauseRows(const std::string& s) override {
    return counted("pauses", [&] { return m_inner.pauseRows(s); });
  }
  std::optional<Row> predicter(const std::string& n) override {
    return counted("predicter", [&] { return m_inner.predicter(n); });
  }
  std::optional<Row> displayConfiguration(const std::string& n) override {
    return counted("display", [&] { return m_inner.displayConfiguration(n); });
  }
  std::optional<Row> displayOption(const std::string& n) override {
    return counted("option", [&] { return m_inner.displayOption(n); });
  }
  std::string settingLanguage(const std::string& s) override {
    return counted("language", [&] { return m_inner.settingLanguage(s); });
  }

 private:
  PlanTables& m_inner;
};

class RememberedPlanTablesTest : public PlanTest {
 protected:
  RememberedPlanTablesTest() {
    addBlock();
    addBlock({{"Setting", "Other"}, {"numweeks", 7}});
    addTraining();
    insertRow("tblPause", {{"Setting", "Demo"}, {"Trial", 1}, {"Password", "go"}});
    insertRow("tblSetting", {{"Setting", "Demo"}, {"Language", "de"}});
  }

  CountingTables counting{tables()};
  RememberedPlanTables remembered{counting};
};

// Each kind of read, with what it returns, as the readers ask for it.
struct ReadCase {
  const char* kind;
  std::function<std::string(PlanTables&)> read;
};

std::string described(const Row& row) {
  std::string text = "[";
  for (const CellValue& value : row.values()) text += cellText(value) + ";";
  return text + "]";
}

std::string described(const Rows& rows) {
  std::string text;
  for (const Row& row : rows) text += described(row);
  return text;
}

std::string described(const std::optional<Row>& row) {
  return row ? described(*row) : "none";
}

const ReadCase kReads[] = {
    {"players", [](PlanTables& t) { return described(t.players()); }},
    {"blocks", [](PlanTables& t) { return described(t.blockRows("Demo")); }},
    {"training", [](PlanTables& t) { return described(t.trainingRows("Demo")); }},
    {"pauses", [](PlanTables& t) { return described(t.pauseRows("Demo")); }},
    {"predicter", [](PlanTables& t) { return described(t.predicter("None")); }},
    {"display", [](PlanTables& t) { return described(t.displayConfiguration("Standard")); }},
    {"option", [](PlanTables& t) { return described(t.displayOption("Everything")); }},
    {"language", [](PlanTables& t) { return t.settingLanguage("Demo"); }},
};

TEST_F(RememberedPlanTablesTest, ReadsEachTableOnceAndServesTheSameRowsAgain) {
  for (const ReadCase& c : kReads) {
    const std::string first = c.read(remembered);
    EXPECT_EQ(c.read(remembered), first) << c.kind;
    EXPECT_EQ(c.read(tables()), first) << c.kind;
    EXPECT_EQ(counting.reads[c.kind], 1) << c.kind;
  }
}

TEST_F(RememberedPlanTablesTest, KeepsTheRowsOfEachSettingApart) {
  const Rows demo = remembered.blockRows("Demo");
  const Rows other = remembered.blockRows("Other");
  ASSERT_EQ(demo.size(), 1u);
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(remembered.blockRows("Other").front().cell("numweeks").toInt16(), 7);
  EXPECT_NE(remembered.blockRows("Demo").front().cell("numweeks").toInt16(), 7);
  EXPECT_EQ(counting.reads["blocks"], 2);
}

TEST_F(RememberedPlanTablesTest, ReadsAgainAfterForgetting) {
  EXPECT_EQ(remembered.blockRows("Demo").size(), 1u);
  addBlock();
  EXPECT_EQ(remembered.blockRows("Demo").size(), 1u);
  remembered.forget();
  EXPECT_EQ(remembered.blockRows("Demo").size(), 2u);
  EXPECT_EQ(counting.reads["blocks"], 2);
}

TEST_F(RememberedPlanTablesTest, FailedReadIsReadAgainAtTheNextUse) {
  counting.failing = true;
  EXPECT_THROW(remembered.players(), QuarnError);
  counting.failing = false;
  EXPECT_EQ(remembered.players().size(), 1u);
  EXPECT_EQ(counting.reads["players"], 2);
}

}  // namespace
}  // namespace quarn::testing
