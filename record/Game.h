#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/PlayingMark.h"
#include "plan/PauseSchedule.h"
#include "plan/Plan.h"
#include "plan/Predicter.h"
#include "plan/Training.h"
#include "record/Identity.h"
#include "sim/Chain.h"

namespace quarn {

// The services a game runs on. The application passes the real ones; a test
// passes a scripted prompter, a manual clock and a fixed generator.
struct Services {
  Prompter& prompter;
  TickCounter& ticks;
  UniformRandom& random;
  DatabaseAccess& db;
};

// Decision time of the running week, in milliseconds of the tick counter.
struct DecisionTimes {
  uint32_t WeekStartTime = 0;   // when the order box was opened for the week
  uint32_t OrderPressTime = 0;  // when the order button was pressed
};

// The key of a datTrial row: who, under which setting, which Trial number.
struct TrialKey {
  std::string Subject;
  std::string Setting;
  int16_t Trial = 0;
  bool operator==(const TrialKey&) const = default;
};

// All state of one game, owned by the main window. A test builds a fresh one
// in a line.
struct Game {
  explicit Game(Services services) : services(services) {}

  Services services;
  Identity identity;
  Plan plan;
  TrainingState training;
  Chain chain;
  PauseSchedule pauses;
  PredicterState predicter;
  DecisionTimes times;
  int32_t CostSum = 0;  // cost of the experiment trials finished in this run
  // The trial recorded last. Several ways lead to a trial's record (its end,
  // a failed training check, the skip password, the exit question); however
  // they meet, the trial is recorded once.
  std::optional<TrialKey> LastRecordedTrial;
  // The mark that the participant plays on this workstation, from the login
  // to the end of the session.
  std::optional<PlayingMark> Mark;
  // Date and time of day of the output rows; tests point it at a fixed clock.
  WallClock* clock = &SystemWallClock::instance();
};

}  // namespace quarn
