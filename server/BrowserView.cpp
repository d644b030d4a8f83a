#include "server/BrowserView.h"

#include <algorithm>

namespace quarn::server {

namespace {

nlohmann::json visibleRole(const RoleDisplay& shown, const RoleFigures& figures) {
  nlohmann::json role = nlohmann::json::object();
  if (shown.recentOrder) role["recentOrder"] = figures.recentOrder;
  if (shown.backorder) role["backorder"] = figures.backorder;
  if (shown.inventory) role["inventory"] = figures.inventory;
  if (shown.satisfied) role["satisfied"] = figures.satisfied;
  if (shown.demand) role["demand"] = figures.demand;
  if (shown.cost) role["totalCost"] = figures.totalCost;
  return role;
}

RoleDisplay everything() {
  return RoleDisplay{true, "", true, true, true, true, true, true};
}

}  // namespace

nlohmann::json visibleFigures(const TrialDisplay& trial, const WeekFigures& figures) {
  nlohmann::json roles = nlohmann::json::array();
  for (int role = 0; role < kRoleCount; ++role) {
    const RoleDisplay& option = trial.display.roles[static_cast<size_t>(role)];
    const bool own = role == trial.participantRole;
    const RoleDisplay shown = option.found ? option : (own ? everything() : RoleDisplay{});
    roles.push_back(visibleRole(shown, figures.roles[static_cast<size_t>(role)]));
  }
  nlohmann::json message = {
      {"type", "figures"}, {"weekCounter", figures.weekCounter}, {"roles", roles}};
  if (trial.display.found && trial.display.totalCost) message["totalCost"] = figures.totalCost;
  if (figures.forecast) message["forecast"] = *figures.forecast;
  return message;
}

std::array<bool, kRoleCount> shownRoads(const DisplayConfiguration& display,
                                        const std::array<bool, kRoleCount>& before) {
  if (!display.found) return before;
  return {display.factoryProduction, display.trucksToDistributor, display.trucksToWholesaler,
          display.trucksToRetailer};
}

nlohmann::json visibleShipments(const std::array<bool, kRoleCount>& roads,
                                const Shipments& shipments) {
  nlohmann::json departing = nlohmann::json::array();
  for (size_t r = 0; r < kRoleCount; ++r) {
    departing.push_back(roads[r] ? nlohmann::json(shipments.departing[r]) : nlohmann::json());
  }
  return departing;
}

void BrowserView::setQuestionnaire(std::optional<Questionnaire> answers) {
  m_answers = std::move(answers);
  m_questionnaireNeeded = false;
}

void BrowserView::sendKept(nlohmann::json& kept, nlohmann::json message) {
  kept = std::move(message);
  m_send(kept);
}

void BrowserView::resendState(OpenState open) {
  for (const nlohmann::json* kept :
       {&m_session, &m_languageMessage, &m_training, &m_trialStart, &m_figures}) {
    if (!kept->is_null()) m_send(*kept);
  }
  switch (open) {
    case OpenState::Week:
      if (!m_week.is_null()) m_send(m_week);
      break;
    case OpenState::Pause:
      sendEvent("paused");
      break;
    case OpenState::Team:
      if (!m_teamWaiting.is_null()) m_send(m_teamWaiting);
      break;
    case OpenState::GameOver:
      sendEvent("gameOver");
      if (!m_completionLink.is_null()) m_send(m_completionLink);
      break;
    case OpenState::None:
      break;
  }
}

void BrowserView::languageChosen(const std::string& language) {
  m_language = language;
  sendKept(m_languageMessage, {{"type", "language"}, {"language", language}});
}

void BrowserView::sessionStarted(const std::string& subject, const std::string& setting) {
  // A new session: nothing of the one before is shown again.
  m_training = m_trialStart = m_figures = m_week = m_teamWaiting = nullptr;
  sendKept(m_session, {{"type", "sessionStarted"}, {"subject", subject}, {"setting", setting}});
}

void BrowserView::trainingChanged(bool inTraining) {
  sendKept(m_training, {{"type", "training"}, {"active", inTraining}});
}

void BrowserView::trialStarted(const TrialDisplay& trial) {
  m_trial = trial;
  m_roads = shownRoads(trial.display, m_roads);
  nlohmann::json message = {{"type", "trialStarted"},
                            {"counter", trial.counter},
                            {"firstWeek", trial.firstWeek},
                            {"role", trial.participantRole},
                            {"delay", trial.delay},
                            {"roads", m_roads},
                            {"forecastWeeks", trial.forecastWeeks}};
  // The first trucks' load is seen only on a road that is shown.
  if (std::find(m_roads.begin(), m_roads.end(), true) != m_roads.end()) {
    message["initialShipment"] = trial.initialShipment;
  }
  sendKept(m_trialStart, std::move(message));
}

void BrowserView::figuresChanged(const WeekFigures& figures) {
  sendKept(m_figures, visibleFigures(m_trial, figures));
}

void BrowserView::weekOpened(const WeekOpening& week) {
  ++m_turn;
  sendKept(m_week, {{"type", "weekOpened"}, {"turn", m_turn}, {"counter", week.counter}});
}

void BrowserView::animationStarted(const Shipments& shipments) {
  m_send({{"type", "shipments"}, {"departing", visibleShipments(m_roads, shipments)}});
}

void BrowserView::weekReplayed(const Shipments& shipments) {
  m_send({{"type", "weekReplayed"}, {"departing", visibleShipments(m_roads, shipments)}});
}

void BrowserView::trainingRestartPending() {
  sendEvent("trainingRestart");
}
void BrowserView::trialEnded() {
  sendEvent("trialEnded");
}
void BrowserView::trialClosed() {
  sendEvent("trialClosed");
}
void BrowserView::pauseStarted() {
  sendEvent("paused");
}
void BrowserView::trainingSkipped() {
  sendEvent("trainingSkipped");
}
void BrowserView::completionLinkShown(const std::string& address) {
  sendKept(m_completionLink, {{"type", "completionLink"}, {"address", address}});
}

void BrowserView::gameOver() {
  sendEvent("gameOver");
}

void BrowserView::teamWaiting(const std::string& text) {
  sendKept(m_teamWaiting, {{"type", "teamWaiting"}, {"text", text}});
}

std::optional<Questionnaire> BrowserView::askQuestionnaire(
    const std::string&, const std::optional<Questionnaire>& previous) {
  // Answers the game refused are not offered again: the login is refused,
  // and the page keeps what was typed.
  if (previous) return std::nullopt;
  if (!m_answers) m_questionnaireNeeded = true;
  return std::exchange(m_answers, std::nullopt);
}

}  // namespace quarn::server
