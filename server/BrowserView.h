#pragma once

#include <array>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "game/GameView.h"

namespace quarn::server {

// What the page is sent: one message of the protocol.
using SendToPage = std::function<void(const nlohmann::json&)>;

// What waits for the participant, as a page that comes back must show it.
enum class OpenState { None, Week, Pause, Team, GameOver };

// The participant's screen in a browser: turns the game's events into the
// page's messages, with only what the participant may see. The
// questionnaire is answered from what the login message brought. It keeps
// what a page needs to draw the game as it stands, for a page that comes
// back.
class BrowserView final : public GameView {
 public:
  explicit BrowserView(SendToPage send) : m_send(std::move(send)) {}

  // The answers the login brought (none: the login brought none); asked
  // once, then gone.
  void setQuestionnaire(std::optional<Questionnaire> answers);
  // Whether the game asked for the questionnaire since setQuestionnaire()
  // while the login had brought none.
  bool questionnaireNeeded() const { return m_questionnaireNeeded; }
  // The turn of the open week, which an order must name.
  int openTurn() const { return m_turn; }
  // The participants' language of the setting logged in to; empty: English.
  const std::string& language() const { return m_language; }

  // Sends again the last session start, language, training state, trial
  // start and figures, then what waits in `open` (the open week with its
  // turn, the pause, the team's waiting text, the game's end).
  void resendState(OpenState open);

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
  void completionLinkShown(const std::string& address) override;
  std::optional<Questionnaire> askQuestionnaire(
      const std::string& subject, const std::optional<Questionnaire>& previous) override;

 private:
  void sendEvent(const char* type) { m_send({{"type", type}}); }
  // Sends `message` and keeps it in `kept` for resendState().
  void sendKept(nlohmann::json& kept, nlohmann::json message);

  SendToPage m_send;
  std::optional<Questionnaire> m_answers;
  bool m_questionnaireNeeded = false;
  TrialDisplay m_trial;  // the running trial: what its figures may show
  // The roads whose trucks the display shows, Factory's production to the
  // Retailer's road; a trial without a configuration keeps the last ones.
  std::array<bool, kRoleCount> m_roads{true, true, true, true};
  int m_turn = 0;
  nlohmann::json m_completionLink;  // the closing screen's link, when the setting has one
  std::string m_language;
  // The last message of each kind that a page coming back needs.
  nlohmann::json m_session, m_languageMessage, m_training, m_trialStart, m_figures, m_week,
      m_teamWaiting;
};

// The figures the trial's display shows, as the page receives them: a
// stage's figure only where its display option shows it (the participant's
// own stage in full when the configuration has no option for it), the total
// cost only where the configuration shows its panel.
nlohmann::json visibleFigures(const TrialDisplay& trial, const WeekFigures& figures);

// The roads whose trucks a trial's display shows (the Factory's production
// first): those its configuration names, or `before` when it has none.
std::array<bool, kRoleCount> shownRoads(const DisplayConfiguration& display,
                                        const std::array<bool, kRoleCount>& before);

// The week's shipments as the page receives them: null on a road the display
// hides.
nlohmann::json visibleShipments(const std::array<bool, kRoleCount>& roads,
                                const Shipments& shipments);

}  // namespace quarn::server
