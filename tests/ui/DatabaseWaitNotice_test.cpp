#include "ui/DatabaseWaitNotice.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <chrono>
#include <vector>

#include "db/DatabaseAccess.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/TestDatabase.h"
#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The application's access to a file that another program holds with an
// exclusive lock (a write in progress): even a read waits.
struct HeldFile {
  HeldFile() : holder(file.path(), OpenMode::ReadWrite) {
    holder.executeScript("BEGIN EXCLUSIVE;");
  }
  void release() { holder.executeScript("ROLLBACK;"); }

  TestDatabase file;
  SqlCipherConnection holder;
  QtPrompter prompter;
  DatabaseWaitNotice notice{prompter};
  SqlCipherStores stores{&notice, file.path()};
  FixedRandom random{{0.0}};
  DatabaseAccess access{stores, prompter, random};
  const Clock::time_point start = Clock::now();
};

// Samples, every 50 ms, whether the notice is up.
struct NoticeSamples {
  explicit NoticeSamples(HeldFile& held) {
    QObject::connect(&timer, &QTimer::timeout, [&held, this] {
      const bool up = held.notice.window() && held.notice.window()->isVisible();
      samples.push_back({Clock::now() - held.start, up});
    });
    timer.start(50);
  }
  QTimer timer;
  std::vector<std::pair<Clock::duration, bool>> samples;
};

TEST(DatabaseWaitNotice, HeldFileKeepsTheNoticeUpWithoutGapsUntilItIsFree) {
  HeldFile held;
  held.prompter.answerer = [](const MessageRequest& box) {
    ADD_FAILURE() << "asked before the give-up: " << box.prompt;
    return Answer::No;
  };
  NoticeSamples notice(held);
  QTimer::singleShot(3500ms, [&] { held.release(); });
  held.access.settings();
  int checked = 0;
  for (const auto& [at, up] : notice.samples) {
    if (at < 1200ms || at > 3400ms) continue;
    ++checked;
    EXPECT_TRUE(up) << "no notice at "
                    << std::chrono::duration_cast<std::chrono::milliseconds>(at).count() << " ms";
  }
  EXPECT_GT(checked, 20);
}

TEST(DatabaseWaitNotice, HeldFileIsAskedAboutInPlainWordsAtTheGiveUpTime) {
  HeldFile held;
  held.access.setOutageLimit(2s);
  Clock::duration askedAt{};
  std::string question;
  held.prompter.answerer = [&](const MessageRequest& box) {
    if (box.kind == PromptKind::DatabaseRetry) {
      askedAt = Clock::now() - held.start;
      question = box.prompt;
    }
    return Answer::No;
  };
  EXPECT_THROW(held.access.settings(), ApplicationEnd);
  EXPECT_GE(askedAt, 2s);
  EXPECT_LT(askedAt, 2500ms);
  EXPECT_EQ(question.find("database is locked"), std::string::npos) << question;
  EXPECT_NE(question.find(held.file.path() + " has been in use by another program for 2 s."),
            std::string::npos)
      << question;
}

}  // namespace
}  // namespace quarn::testing
