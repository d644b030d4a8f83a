#pragma once

#include <string>

namespace quarn {

// What the trial sequencing needs of the main window. The main window
// implements it; tests use a recording fake.
class TrialWindow {
 public:
  virtual ~TrialWindow() = default;
  // Starts the trial at CurrentTrial from week 1: the chain's trial start,
  // then the window's set-up for the trial (which opens the order box).
  // Refuses, and runs the start-up again, when no trial is left.
  virtual void StartTrial() = 0;
  // The caption of cmdOrder.
  virtual void SetOrderCaption(const std::string& caption) = 0;
  // The caption of fraPlayer ("Training" during training, empty after).
  virtual void SetPlayerCaption(const std::string& caption) = 0;
  // After the game-over message: what the participant sees until the
  // moderator closes the window.
  virtual void ShowClosingScreen() = 0;
  // Shows only what the named display configuration allows.
  virtual void ApplyDisplayConfiguration(const std::string& name) = 0;
};

}  // namespace quarn
