#include "server/BrowserView.h"

namespace quarn::server {

namespace {

nlohmann::json departing(const Shipments& shipments) {
  return nlohmann::json(shipments.departing);
}

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

void BrowserView::languageChosen(const std::string& language) {
  m_send({{"type", "language"}, {"language", language}});
}

void BrowserView::sessionStarted(const std::string& subject, const std::string& setting) {
  m_send({{"type", "sessionStarted"}, {"subject", subject}, {"setting", setting}});
}

void BrowserView::trainingChanged(bool inTraining) {
  m_send({{"type", "training"}, {"active", inTraining}});
}

void BrowserView::trialStarted(const TrialDisplay& trial) {
  m_trial = trial;
  m_send({{"type", "trialStarted"},
          {"counter", trial.counter},
          {"firstWeek", trial.firstWeek},
          {"role", trial.participantRole},
          {"delay", trial.delay},
          {"initialShipment", trial.initialShipment},
          {"forecastWeeks", trial.forecastWeeks}});
}

void BrowserView::figuresChanged(const WeekFigures& figures) {
  m_send(visibleFigures(m_trial, figures));
}

void BrowserView::weekOpened(const WeekOpening& week) {
  ++m_turn;
  m_send({{"type", "weekOpened"}, {"turn", m_turn}, {"counter", week.counter}});
}

void BrowserView::animationStarted(const Shipments& shipments) {
  m_send({{"type", "shipments"}, {"departing", departing(shipments)}});
}

void BrowserView::weekReplayed(const Shipments& shipments) {
  m_send({{"type", "weekReplayed"}, {"departing", departing(shipments)}});
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
void BrowserView::gameOver() {
  sendEvent("gameOver");
}

void BrowserView::teamWaiting(const std::string& text) {
  m_send({{"type", "teamWaiting"}, {"text", text}});
}

std::optional<Questionnaire> BrowserView::askQuestionnaire(
    const std::string&, const std::optional<Questionnaire>& previous) {
  // Answers the game refused are not offered again: the login is refused.
  if (previous) return std::nullopt;
  return std::exchange(m_answers, std::nullopt);
}

}  // namespace quarn::server
