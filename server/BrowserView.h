#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "game/GameView.h"

namespace quarn::server {

// What the page is sent: one message of the protocol.
using SendToPage = std::function<void(const nlohmann::json&)>;

// The participant's screen in a browser: turns the game's events into the
// page's messages, with only what the participant may see. The
// questionnaire is answered from what the login message brought.
class BrowserView final : public GameView {
 public:
  explicit BrowserView(SendToPage send) : m_send(std::move(send)) {}

  // The answers the login brought; asked once, then gone.
  void setQuestionnaire(std::optional<Questionnaire> answers) { m_answers = std::move(answers); }
  // The turn of the open week, which an order must name.
  int openTurn() const { return m_turn; }

  void languageChosen(const std::string& language) override;
  void sessionStarted(const std::string& subject, const std::string& setting) override;
  void trainingChanged(bool inTraining) override;
  void trialStarted(const TrialDisplay& trial) override;
  void figuresChanged(const WeekFigures& figures) override;
  void weekOpened(const WeekOpening& week) override;
  void animationStarted(const Shipments& shipments) override;
  void weekReplayed(const Shipments& shipments) override;
  void trainingRestartPending() override;
  void trialEnded() override;
  void trialClosed() override;
  void pauseStarted() override;
  void trainingSkipped() override;
  void teamWaiting(const std::string& text) override;
  void gameOver() override;
  std::optional<Questionnaire> askQuestionnaire(
      const std::string& subject, const std::optional<Questionnaire>& previous) override;

 private:
  void sendEvent(const char* type) { m_send({{"type", type}}); }

  SendToPage m_send;
  std::optional<Questionnaire> m_answers;
  TrialDisplay m_trial;  // the running trial: what its figures may show
  int m_turn = 0;
};

// The figures the trial's display shows, as the page receives them: a
// stage's figure only where its display option shows it (the participant's
// own stage in full when the configuration has no option for it), the total
// cost only where the configuration shows its panel.
nlohmann::json visibleFigures(const TrialDisplay& trial, const WeekFigures& figures);

}  // namespace quarn::server
