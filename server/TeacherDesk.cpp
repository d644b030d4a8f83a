#include "server/TeacherDesk.h"

#include <algorithm>
#include <iostream>

#include "analysis/Measures.h"
#include "analysis/ReportModel.h"
#include "analysis/StudyOverview.h"
#include "base/Errors.h"
#include "base/Roles.h"

namespace quarn::server {

using nlohmann::json;

namespace {

// A text as JSON, null when empty.
json textOrNull(const std::string& text) {
  return text.empty() ? json(nullptr) : json(text);
}

json countOrNull(int64_t value) {
  return value != 0 ? json(value) : json(nullptr);
}

json memberJson(const WatchMember& m) {
  return {{"member", m.member},
          {"subject", m.line.subject},
          {"role", textOrNull(m.line.role)},
          {"state", textOrNull(m.active ? m.line.state : "")},
          {"here", m.here},
          {"gone", m.line.gone},
          {"replacedBy", textOrNull(m.replacedBy)}};
}

json teamJson(const WatchTeam& team) {
  json members = json::array();
  for (const WatchMember& m : team.members) members.push_back(memberJson(m));
  return {{"team", team.team},
          {"size", team.size},
          {"here", team.here},
          {"forming", team.forming()},
          {"trial", countOrNull(team.trial)},
          {"training", team.training},
          {"week", countOrNull(team.week)},
          {"weeks", countOrNull(team.weeks)},
          {"trialOver", team.trialOver},
          {"finished", team.finished},
          {"trainingAlone", team.trainingAlone},
          {"ordered", team.ordered},
          {"waitingFor", team.waitingFor},
          {"waitingSeconds", team.waitingSeconds ? json(*team.waitingSeconds) : json(nullptr)},
          {"members", members}};
}

json studentJson(const WatchLine& line) {
  return {{"subject", line.subject},
          {"trial", countOrNull(line.trial)},
          {"training", line.trial < 0},
          {"week", countOrNull(line.week)},
          {"weeks", countOrNull(line.weeks)},
          {"role", textOrNull(line.role)},
          {"state", line.state},
          {"gone", line.gone}};
}

// The chains of the latest experiment trial any of them played.
std::vector<const RecordedTrial*> latestChains(const std::vector<RecordedTrial>& trials) {
  std::vector<const RecordedTrial*> chains = playedChains(trials);
  int16_t latest = 0;
  for (const RecordedTrial* chain : chains) latest = std::max(latest, chain->trial);
  std::erase_if(chains, [latest](const RecordedTrial* c) { return c->trial != latest; });
  return chains;
}

std::string chainName(const RecordedTrial& chain) {
  return chain.team.empty() ? chain.subject : chain.team;
}

// Per recorded week the four stages' orders, Factory first.
json ordersJson(const RecordedTrial& chain) {
  json weeks = json::array();
  for (const RecordedWeek& week : chain.weeks) {
    json orders = json::array();
    for (const RecordedStage& stage : week.stages) orders.push_back(stage.order);
    weeks.push_back(std::move(orders));
  }
  return weeks;
}

// The orders of `role` (or the customer's demand, for -1) over the weeks
// whose orders reach the chain.
std::vector<double> series(const RecordedTrial& chain, int role) {
  std::vector<double> values;
  const size_t weeks = decisionWeekCount(chain);
  for (size_t i = 0; i < weeks; ++i) {
    values.push_back(role < 0 ? customerDemand(chain, i)
                              : chain.weeks[i].stages[static_cast<size_t>(role)].order);
  }
  return values;
}

// Per stage (and for the customer's demand) the mean over the chains of the
// variance of its weekly orders: how the swings grow from the customer to
// the factory. Null before any chain has two weeks.
json varianceJson(const std::vector<const RecordedTrial*>& chains, int role) {
  double sum = 0;
  int counted = 0;
  for (const RecordedTrial* chain : chains) {
    const std::vector<double> values = series(*chain, role);
    if (values.size() < 2) continue;
    sum += populationVariance(values);
    ++counted;
  }
  return counted > 0 ? json(sum / counted) : json(nullptr);
}

json tableJson(const ReportTable& table) {
  json columns = json::array();
  for (const ReportColumn& column : table.columns) {
    columns.push_back({{"header", column.header}, {"right", column.align == ColumnAlign::Right}});
  }
  json rows = json::array();
  for (const ReportRow& row : table.rows) {
    json cells = json::array();
    for (const ReportCell& cell : row.cells) {
      cells.push_back(cell.kind == ReportCell::Kind::Missing ? json(nullptr) : json(cell.text));
    }
    rows.push_back(std::move(cells));
  }
  return {{"caption", table.caption}, {"columns", columns}, {"rows", rows}, {"notes", table.notes}};
}

// Each chain's place among the complete ones by the chain's whole cost,
// from 1 for the lowest; equal costs share a place.
std::vector<std::optional<int>> places(const std::vector<const RecordedTrial*>& chains) {
  std::vector<int64_t> costs;
  for (const RecordedTrial* chain : chains) {
    if (isComplete(*chain)) costs.push_back(chainCost(*chain));
  }
  std::sort(costs.begin(), costs.end());
  std::vector<std::optional<int>> found;
  for (const RecordedTrial* chain : chains) {
    if (!isComplete(*chain)) {
      found.push_back(std::nullopt);
      continue;
    }
    const auto first = std::lower_bound(costs.begin(), costs.end(), chainCost(*chain));
    found.push_back(static_cast<int>(first - costs.begin()) + 1);
  }
  return found;
}

json membersJson(const RecordedTrial& chain) {
  json members = json::array();
  if (chain.seats.empty()) {
    members.push_back(
        {{"subject", chain.subject},
         {"role", hasParticipant(chain.participantRole) ? json(roleName(chain.participantRole))
                                                        : json(nullptr)}});
  }
  for (const TeamSeat& seat : chain.seats) {
    members.push_back(
        {{"subject", seat.subject},
         {"role", hasParticipant(seat.role) ? json(roleName(seat.role)) : json(nullptr)},
         {"replacedBy", textOrNull(seat.player)}});
  }
  return members;
}

}  // namespace

bool PasswordGuesses::admit(Clock::time_point now) const {
  return available(now) >= 1;
}

void PasswordGuesses::wrong(Clock::time_point now) {
  m_spent = kBurst - available(now) + 1;
  m_last = now;
}

double PasswordGuesses::available(Clock::time_point now) const {
  if (!m_last) return kBurst;
  const double regained = std::max(0.0, std::chrono::duration<double>(now - *m_last).count()) /
                          std::chrono::duration<double>(kInterval).count();
  return std::min(kBurst, kBurst - m_spent + regained);
}

json classViewMessage(const ClassRecord& record, const LabWatch& lab) {
  json teams = json::array();
  for (const WatchTeam& team : lab.teams) teams.push_back(teamJson(team));
  json students = json::array();
  for (const WatchLine& line : lab.participants) students.push_back(studentJson(line));
  return {
      {"type", "classView"}, {"state", record.state}, {"teams", teams}, {"participants", students}};
}

std::string classProgress(const LabWatch& lab) {
  std::string progress;
  for (const WatchTeam& team : lab.teams) {
    progress += team.team + ":" + std::to_string(team.trial) + "." + std::to_string(team.week) +
                (team.trialOver ? "!" : "") + ";";
  }
  for (const WatchLine& line : lab.participants) {
    progress +=
        line.subject + ":" + std::to_string(line.trial) + "." + std::to_string(line.week) + ";";
  }
  return progress;
}

json classChartsMessage(const std::vector<RecordedTrial>& trials) {
  const std::vector<const RecordedTrial*> chains = latestChains(trials);
  json teams = json::array();
  int16_t weeks = 0;
  for (const RecordedTrial* chain : chains) {
    weeks = std::max(weeks, chain->plannedWeeks);
    teams.push_back({{"team", chainName(*chain)}, {"orders", ordersJson(*chain)}});
  }
  json variance = json::array();
  for (int role = 0; role < static_cast<int>(kRoleCount); ++role) {
    variance.push_back(varianceJson(chains, role));
  }
  return {{"type", "classCharts"},
          {"trial", chains.empty() ? json(nullptr) : json(chains.front()->trial)},
          {"weeks", weeks},
          {"teams", teams},
          {"variance", variance},
          {"demandVariance", varianceJson(chains, -1)}};
}

json debriefingMessage(const std::vector<RecordedTrial>& trials, const std::string& setting) {
  const std::vector<const RecordedTrial*> chains = latestChains(trials);
  const std::vector<std::optional<int>> place = places(chains);
  const auto ranked = std::count_if(place.begin(), place.end(), [](const auto& p) { return p; });
  json teams = json::array();
  for (size_t i = 0; i < chains.size(); ++i) {
    const RecordedTrial& chain = *chains[i];
    teams.push_back({{"team", chainName(chain)},
                     {"members", membersJson(chain)},
                     {"cost", chainCost(chain)},
                     {"complete", isComplete(chain)},
                     {"place", place[i] ? json(*place[i]) : json(nullptr)},
                     {"ranked", ranked},
                     {"orders", ordersJson(chain)}});
  }
  json leagues = json::array();
  for (const LeagueTable& league : leagueTables(trials)) {
    if (league.setting != setting) continue;
    json table = tableJson(leagueTable(league, nullptr));
    table["trial"] = league.trial;
    leagues.push_back(std::move(table));
  }
  json amplification = json::array();
  for (const auto& spread : amplificationByStage(trials)) {
    amplification.push_back(spread ? json(spread->median) : json(nullptr));
  }
  return {{"type", "debriefing"},
          {"trial", chains.empty() ? json(nullptr) : json(chains.front()->trial)},
          {"teams", teams},
          {"leagues", leagues},
          {"amplification", amplification}};
}

TeacherDesk::TeacherDesk(std::string code, TeacherData& data, Deliver deliver, Seconds seconds)
    : m_code(std::move(code)),
      m_data(data),
      m_deliver(std::move(deliver)),
      m_seconds(std::move(seconds)) {}

void TeacherDesk::open(PageId page, ClassPageKind kind) {
  m_pages[page] = Page{kind};
}

void TeacherDesk::close(PageId page) {
  m_pages.erase(page);
}

void TeacherDesk::receive(PageId id, std::string_view text, Clock::time_point now) {
  const auto page = m_pages.find(id);
  if (page == m_pages.end()) return;
  const ParsedMessage parsed = parseTeacherMessage(text);
  if (!parsed.message) return m_deliver(id, errorMessage(parsed.error));
  const PageMessage& message = *parsed.message;
  try {
    if (message.type == "classLogin") return logIn(id, page->second, message.body, now);
    if (!page->second.loggedIn) return refuse(id, message.type, "notLoggedIn");
    if (page->second.kind != ClassPageKind::Teacher && message.type != "debrief") {
      return refuse(id, message.type, "teacherOnly");
    }
    act(id, message);
  } catch (const QuarnError& failure) {
    std::cerr << "quarngame-server: class " << m_code << ": " << failure.description() << std::endl;
    // What the plan refuses (no such player, a member who plays no stage)
    // the teacher may read; a database's details stay in the server's log.
    if (failure.number() == kErrInvalidPlan) {
      return m_deliver(id, {{"type", "refused"},
                            {"of", message.type},
                            {"reason", "notPossible"},
                            {"detail", failure.description()}});
    }
    refuse(id, message.type, "databaseFailed");
  }
}

void TeacherDesk::logIn(PageId id, Page& page, const json& body, Clock::time_point now) {
  if (page.loggedIn) return m_deliver(id, errorMessage({"notNow", "already logged in"}));
  const auto password = body.find("password");
  if (password == body.end() || !password->is_string()) {
    return m_deliver(id, errorMessage({"invalid", "password"}));
  }
  if (!m_guesses.admit(now)) return refuse(id, "classLogin", "tooManyGuesses");
  const std::optional<ClassRecord> found = record();
  if (!found || !m_data.passwordMatches(m_code, password->get<std::string>())) {
    // An unknown code is answered as a wrong password: a guess learns
    // nothing about which codes exist.
    m_guesses.wrong(now);
    return refuse(id, "classLogin", "wrongPassword");
  }
  page.loggedIn = true;
  m_deliver(id, {{"type", "classLoggedIn"},
                 {"code", found->code},
                 {"setting", found->setting},
                 {"state", found->state},
                 {"players",
                  page.kind == ClassPageKind::Teacher ? json(m_data.players()) : json::array()}});
  // The page gets what the others were sent at once; the next reading
  // follows.
  if (page.kind == ClassPageKind::Teacher && !m_view.is_null()) m_deliver(id, m_view);
  if (page.kind == ClassPageKind::Projector && !m_charts.is_null()) m_deliver(id, m_charts);
  if (m_debriefed) sendDebriefing(id);
  m_changedHere = true;
}

void TeacherDesk::act(PageId id, const PageMessage& message) {
  const std::string& type = message.type;
  if (type == "startClass") return start(id, type);
  if (type == "pauseClass") return pause(id, type);
  if (type == "endClass") return setState(id, type, "ended");
  if (type == "passPause") return tellStudents(id, type, ClassWord::PassPause);
  if (type == "endTraining") return tellStudents(id, type, ClassWord::EndTraining);
  if (type == "replaceMember") return replace(id, message.body);
  if (type == "debrief") return sendDebriefing(id);
}

// An open class's door closes first (see startClass); an ended class does
// not start again.
void TeacherDesk::start(PageId id, const std::string& type) {
  if (!m_data.start(m_code)) return refuse(id, type, "classEnded");
  m_changedHere = true;
  m_deliver(id, {{"type", "classDone"}, {"of", type}});
}

// Only a class that plays pauses: a pause before the start would let the
// students waiting for it in, past the door.
void TeacherDesk::pause(PageId id, const std::string& type) {
  const std::optional<ClassRecord> found = record();
  if (!found) return refuse(id, type, "noClass");
  if (found->state != "started" && found->state != "paused") {
    return refuse(id, type, "notStarted");
  }
  setState(id, type, "paused");
}

void TeacherDesk::setState(PageId id, const std::string& type, const std::string& state) {
  m_data.setState(m_code, state);
  m_changedHere = true;
  m_deliver(id, {{"type", "classDone"}, {"of", type}});
}

void TeacherDesk::tellStudents(PageId id, const std::string& type, ClassWord word) {
  const std::optional<ClassRecord> found = record();
  if (!found) return refuse(id, type, "noClass");
  m_data.tell(m_code, word);
  m_changedHere = true;
  m_deliver(id, {{"type", "classDone"}, {"of", type}});
}

void TeacherDesk::replace(PageId id, const json& body) {
  const auto team = body.find("team");
  const auto member = body.find("member");
  const auto player = body.find("player");
  if (team == body.end() || !team->is_string() || member == body.end() ||
      !member->is_number_integer() || member->get<int64_t>() < 1 ||
      member->get<int64_t>() > static_cast<int64_t>(kRoleCount) || player == body.end() ||
      !player->is_string()) {
    return m_deliver(id, errorMessage({"invalid", "team, member 1 to 4, player"}));
  }
  const std::optional<ClassRecord> found = record();
  if (!found) return refuse(id, "replaceMember", "noClass");
  const TeamTrialMember replaced =
      m_data.replace(found->setting, team->get<std::string>(),
                     static_cast<int16_t>(member->get<int64_t>()), player->get<std::string>());
  m_changedHere = true;
  m_deliver(id, {{"type", "classDone"},
                 {"of", "replaceMember"},
                 {"replaced",
                  {{"team", team->get<std::string>()},
                   {"member", replaced.member},
                   {"subject", replaced.subject},
                   {"player", replaced.player},
                   {"trial", replaced.trial},
                   {"fromWeek", replaced.fromWeek}}}});
}

void TeacherDesk::sendDebriefing(std::optional<PageId> only) {
  const std::optional<ClassRecord> found = m_class ? m_class : record();
  if (!found) return;
  const json message = debriefingMessage(m_data.trials(found->setting), found->setting);
  if (only) return m_deliver(*only, message);
  sendToLoggedIn(message, true);
}

void TeacherDesk::refresh(Clock::time_point now) {
  m_changedHere = false;
  // Pages that have not logged in are shown nothing: the class is not read
  // for them (a page of any code may connect).
  if (std::none_of(m_pages.begin(), m_pages.end(),
                   [](const auto& p) { return p.second.loggedIn; })) {
    return;
  }
  const std::optional<ClassRecord> found = record();
  if (!found) return;
  const LabWatch lab = m_data.watch(found->setting, m_seconds());
  json view = classViewMessage(*found, lab);
  if (view != m_view) {
    m_view = std::move(view);
    sendToLoggedIn(m_view, false);
  }
  const bool projectorOpen = std::any_of(m_pages.begin(), m_pages.end(), [](const auto& p) {
    return p.second.loggedIn && p.second.kind == ClassPageKind::Projector;
  });
  const std::string progress = found->state + "|" + classProgress(lab);
  const bool chartsDue = !m_chartsDrawn || now - *m_chartsDrawn >= kChartInterval;
  if (projectorOpen && chartsDue && (progress != m_progress || m_charts.is_null())) {
    m_progress = progress;
    m_chartsDrawn = now;
    json charts = classChartsMessage(m_data.trials(found->setting));
    charts["state"] = found->state;
    if (charts != m_charts) {
      m_charts = std::move(charts);
      for (auto& [id, page] : m_pages) {
        if (page.loggedIn && page.kind == ClassPageKind::Projector) m_deliver(id, m_charts);
      }
    }
  }
  // The class ended: every page is sent the debriefing once.
  if (found->state == "ended" && !m_debriefed) {
    m_debriefed = true;
    sendDebriefing(std::nullopt);
  }
  if (found->state != "ended") m_debriefed = false;
}

void TeacherDesk::sendToLoggedIn(const json& message, bool projectorsToo) {
  for (const auto& [id, page] : m_pages) {
    if (!page.loggedIn) continue;
    if (!projectorsToo && page.kind == ClassPageKind::Projector) continue;
    m_deliver(id, message);
  }
}

void TeacherDesk::refuse(PageId id, const std::string& of, const std::string& reason) {
  m_deliver(id, {{"type", "refused"}, {"of", of}, {"reason", reason}});
}

std::optional<ClassRecord> TeacherDesk::record() {
  m_class = m_data.find(m_code);
  return m_class;
}

}  // namespace quarn::server
