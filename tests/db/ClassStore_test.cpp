#include "db/ClassStore.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "db/OpenDatabase.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

ClassRow classOn(const std::string& setting, const std::string& code = "") {
  ClassRow row;
  row.code = code;
  row.setting = setting;
  row.password = hashClassPassword("chalk");
  row.identity = ClassIdentity::Id;
  row.forming = ClassForming::Random;
  row.leftover = kLeftoverSpread;
  row.leftoverPlayer = "Sterman";
  row.opened = "2026-12-08 06:00:00";
  return row;
}

std::function<std::string()> codesInTurn(std::vector<std::string> codes) {
  return [codes = std::move(codes), next = size_t{0}]() mutable { return codes.at(next++); };
}

TEST(ClassCode, DrawnCodesTakeOnlyTheAlphabetsCharacters) {
  std::set<std::string> drawn;
  for (int i = 0; i < 2000; ++i) {
    const std::string code = drawClassCode();
    ASSERT_EQ(code.size(), kClassCodeLength);
    for (const char c : code) ASSERT_NE(kClassCodeAlphabet.find(c), std::string_view::npos) << code;
    drawn.insert(code);
  }
  // 32^6 codes: two alike among 2,000 would be a broken source.
  EXPECT_EQ(drawn.size(), 2000u);
}

TEST(ClassCode, TypedCodeReadsAsStoredOrNotAtAll) {
  const struct {
    const char* typed;
    std::optional<std::string> code;
  } cases[] = {
      {"K7PQ2M", "K7PQ2M"}, {"k7pq2m", "K7PQ2M"}, {" K7P-Q2M ", "K7PQ2M"},
      {"K7PQ2", {}},        {"K7PQ2MM", {}},      {"K7PQ0M", {}},  // 0 is no code's
      {"K7PQ1M", {}},       {"K7PQ2M'; --", {}},  {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(normalClassCode(c.typed), c.code) << c.typed;
}

TEST(ClassPassword, OnlyThePasswordItWasMadeFromMatches) {
  const std::string stored = hashClassPassword("chalk");
  EXPECT_EQ(stored.find("chalk"), std::string::npos);
  EXPECT_NE(stored, hashClassPassword("chalk"));  // salted
  EXPECT_TRUE(classPasswordMatches(stored, "chalk"));
  for (const char* wrong : {"Chalk", "chalk ", "", "chal"}) {
    EXPECT_FALSE(classPasswordMatches(stored, wrong)) << wrong;
  }
  for (const char* broken :
       {"", "chalk", "pbkdf2-sha256$x$00$00", "pbkdf2-sha256$1$zz$00", "md5$1$00$00"}) {
    EXPECT_FALSE(classPasswordMatches(broken, "chalk")) << broken;
  }
}

template <class Engine>
class ClassStoreTest : public ::testing::Test {
 protected:
  ClassStore& classes() { return db.stores().classes(); }
  Engine db;
};

TYPED_TEST_SUITE(ClassStoreTest, Engines, EngineNames);

TYPED_TEST(ClassStoreTest, OpenedClassIsFoundByItsCodeAsTyped) {
  ClassRow opened = classOn("Beer", "K7PQ2M");
  ASSERT_EQ(this->classes().open(opened, drawClassCode), "K7PQ2M");
  opened.password.clear();  // kept, never read back
  EXPECT_EQ(this->classes().find("k7pq-2m"), opened);
  EXPECT_EQ(this->classes().find("K7PQ2N"), std::nullopt);
}

TYPED_TEST(ClassStoreTest, TakenCodeIsDrawnAgain) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  EXPECT_EQ(this->classes().open(classOn("Wine", "AAAAAA"), codesInTurn({"AAAAAA", "BBBBBB"})),
            "BBBBBB");
  EXPECT_EQ(this->classes().find("AAAAAA")->setting, "Beer");
  EXPECT_EQ(this->classes().find("BBBBBB")->setting, "Wine");
}

TYPED_TEST(ClassStoreTest, ListGivesTheLatestOpenedFirst) {
  ClassRow earlier = classOn("Beer", "AAAAAA");
  earlier.opened = "2026-12-01 09:00:00";
  this->classes().open(earlier, drawClassCode);
  this->classes().open(classOn("Wine", "BBBBBB"), drawClassCode);
  const std::vector<ClassRow> listed = this->classes().list();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].code, "BBBBBB");
  EXPECT_EQ(listed[1].code, "AAAAAA");
}

TYPED_TEST(ClassStoreTest, StateChangesOnlyAClassThatExists) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->classes().open(classOn("Wine", "BBBBBB"), drawClassCode);
  EXPECT_TRUE(this->classes().setState("aaaaaa", ClassState::Closed));
  EXPECT_FALSE(this->classes().setState("CCCCCC", ClassState::Ended));
  EXPECT_EQ(this->classes().find("AAAAAA")->state, ClassState::Closed);
  EXPECT_EQ(this->classes().find("BBBBBB")->state, ClassState::Open);
}

TYPED_TEST(ClassStoreTest, TeachersWordsAreCountedForTheirClass) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->classes().open(classOn("Wine", "BBBBBB"), drawClassCode);
  EXPECT_TRUE(this->classes().giveWord("aaaaaa", ClassWord::PassPause));
  EXPECT_TRUE(this->classes().giveWord("AAAAAA", ClassWord::PassPause));
  EXPECT_TRUE(this->classes().giveWord("AAAAAA", ClassWord::EndTraining));
  EXPECT_FALSE(this->classes().giveWord("CCCCCC", ClassWord::PassPause));
  const ClassRow a = *this->classes().find("AAAAAA");
  const ClassRow b = *this->classes().find("BBBBBB");
  EXPECT_EQ(std::pair(a.pausesPassed, a.trainingsEnded), std::pair(int64_t{2}, int64_t{1}));
  EXPECT_EQ(std::pair(b.pausesPassed, b.trainingsEnded), std::pair(int64_t{0}, int64_t{0}));
}

TYPED_TEST(ClassStoreTest, TeacherPasswordOpensOnlyItsClass) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  EXPECT_TRUE(teacherPasswordOpens(this->classes(), "aaaaaa", "chalk"));
  EXPECT_FALSE(teacherPasswordOpens(this->classes(), "AAAAAA", "cheese"));
  EXPECT_FALSE(teacherPasswordOpens(this->classes(), "BBBBBB", "chalk"));
  EXPECT_FALSE(teacherPasswordOpens(this->classes(), "not a code", "chalk"));
  EXPECT_EQ(this->db.count("datClass", R"("Password" LIKE '%chalk%')"), 0);
}

TYPED_TEST(ClassStoreTest, StudentWhoJoinsAgainKeepsItsArrival) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->classes().open(classOn("Wine", "BBBBBB"), drawClassCode);
  EXPECT_EQ(this->classes().arrive("AAAAAA", "Ada", "Ada L").arrival, 1);
  EXPECT_EQ(this->classes().arrive("AAAAAA", "Bob", "").arrival, 2);
  EXPECT_EQ(this->classes().arrive("BBBBBB", "Cy", "").arrival, 1);
  EXPECT_EQ(this->classes().arrive("AAAAAA", "ADA", "someone else"),
            (ClassStudent{"AAAAAA", "Ada", "Ada L", 1, ""}));
  EXPECT_EQ(this->classes().students("AAAAAA").size(), 2u);
}

TYPED_TEST(ClassStoreTest, StudentIsFoundByTheNameItGave) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->classes().arrive("AAAAAA", "C0001", "Zoë Brandt");
  EXPECT_EQ(this->classes().studentNamed("AAAAAA", " ZOË brandt")->subject, "C0001");
  EXPECT_EQ(this->classes().studentNamed("AAAAAA", "Zoe Brandt"), std::nullopt);
}

TYPED_TEST(ClassStoreTest, NamedStudentGetsAUserIdNobodyHas) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->db.insert("datUser", {{"Subject", "AAAAAA-002"}});
  EXPECT_EQ(this->classes().arriveNamed("AAAAAA", "Ada").subject, "AAAAAA-001");
  EXPECT_EQ(this->classes().arriveNamed("AAAAAA", "Bob").subject, "AAAAAA-003");
  EXPECT_EQ(this->classes().arriveNamed("AAAAAA", "Cy").subject, "AAAAAA-004");
  EXPECT_EQ(this->classes().arriveNamed("AAAAAA", " ada "),
            (ClassStudent{"AAAAAA", "AAAAAA-001", "Ada", 1, ""}));
}

TYPED_TEST(ClassStoreTest, ArrivalsFillEachTeamInTurn) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  std::vector<std::string> teams;
  for (const char* subject : {"A", "B", "C", "A", "D"}) {
    this->classes().arrive("AAAAAA", subject, "");
    teams.push_back(this->classes().placeByArrival("AAAAAA", subject, 2));
  }
  EXPECT_EQ(teams, (std::vector<std::string>{"AAAAAA-T01", "AAAAAA-T01", "AAAAAA-T02", "AAAAAA-T01",
                                             "AAAAAA-T02"}));
}

TYPED_TEST(ClassStoreTest, PlacedStudentKeepsItsTeam) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  this->classes().arrive("AAAAAA", "Ada", "");
  this->classes().arrive("AAAAAA", "Bob", "");
  this->classes().place("AAAAAA", "Bob", "T02");
  const auto students = this->classes().students("AAAAAA");
  EXPECT_EQ(students[0].team, "");
  EXPECT_EQ(students[1].team, "T02");
}

TYPED_TEST(ClassStoreTest, ArrivalsAtOnceGetOneNumberEach) {
  this->classes().open(classOn("Beer", "AAAAAA"), drawClassCode);
  constexpr int kStudents = 8;
  std::vector<std::thread> arrivals;
  for (int i = 0; i < kStudents; ++i) {
    arrivals.emplace_back([this, i] {
      const std::unique_ptr<Stores> own = openStores(this->db.choice());
      own->classes().arrive("AAAAAA", "S" + std::to_string(i), "");
    });
  }
  for (std::thread& arrival : arrivals) arrival.join();
  std::set<int64_t> numbers;
  for (const ClassStudent& student : this->classes().students("AAAAAA")) {
    numbers.insert(student.arrival);
  }
  EXPECT_EQ(numbers, (std::set<int64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

}  // namespace
}  // namespace quarn::testing
