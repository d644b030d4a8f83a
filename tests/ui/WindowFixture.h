#pragma once

// The windows on a real game over a fresh database (the application folder
// holds data/quarn.mdb). Message boxes are answered by kind instead of being
// shown; controls are found by their object names and driven with key and
// mouse events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <map>

#include "base/Clock.h"
#include "game/GameSession.h"
#include "tests/support/AppFolderPlan.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/PlanRows.h"
#include "tests/support/TestDatabase.h"
#include "ui/QtPrompter.h"

namespace quarn::testing {

// One QApplication for the whole test program.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};

// A QtPrompter whose boxes are answered by kind (Ok, or No for a question
// without an answer set) and recorded.
class AnsweringPrompter final : public QtPrompter {
 public:
  AnsweringPrompter() {
    answerer = [this](const MessageRequest& request) {
      shown.push_back(request);
      if (whileOpen) whileOpen(request);
      if (auto answer = byKind.find(request.kind); answer != byKind.end()) return answer->second;
      const bool ok = request.style == PromptStyle::Ok || request.style == PromptStyle::OkWarning;
      return ok ? Answer::Ok : Answer::No;
    };
  }
  int count(PromptKind kind) const {
    int n = 0;
    for (const MessageRequest& box : shown) n += box.kind == kind;
    return n;
  }

  std::map<PromptKind, Answer> byKind;
  std::function<void(const MessageRequest&)> whileOpen;
  std::vector<MessageRequest> shown;
};

class WindowTest : public ::testing::Test, protected AppFolderPlan {
 protected:
  WindowTest() {
    prompter.byKind = {{PromptKind::Resume, Answer::Yes},
                       {PromptKind::RegisterNewUser, Answer::Yes},
                       {PromptKind::ConfirmExit, Answer::Yes}};
  }

  template <class W>
  static W* control(const QObject& window, const char* name) {
    W* found = window.findChild<W*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  AnsweringPrompter prompter;
  ManualTickCounter ticks;
  FixedRandom random;
  DatabaseAccess access{db.stores, prompter, random};
  GameSession session{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                   appFolder.string()}};
};

}  // namespace quarn::testing
