#pragma once

// The figures bench_class prints beside those of BrowserFigures.h: how soon
// the teacher's live view showed each order, which weeks every member of a
// team ordered (the others were closed by the week clock), and which orders
// the week clock must have made.

#include <algorithm>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/server/BrowserFigures.h"

namespace quarn::bench {

// A week of the game: trial and week.
using GameWeek = std::pair<int, int>;

// Stands for every week of a trial: a trial that is over has shown them all.
inline constexpr int kWholeTrial = std::numeric_limits<int>::max();

// The latest week whose order of each member a team of the teacher's live
// view (an element of classView's "teams") shows as stored. The team's
// (trial, week) is its open week: an order of it is shown when the member
// is among "ordered", the week before is complete. A trial that is over, or
// a team that finished, shows all of its weeks.
inline std::vector<std::pair<std::string, GameWeek>> shownWeeks(const nlohmann::json& team) {
  const auto number = [&](const char* field) {
    const auto value = team.find(field);
    return value != team.end() && value->is_number_integer() ? value->get<int>() : 0;
  };
  const auto flag = [&](const char* field) {
    const auto value = team.find(field);
    return value != team.end() && value->is_boolean() && value->get<bool>();
  };
  std::set<std::string> ordered;
  if (const auto list = team.find("ordered"); list != team.end() && list->is_array()) {
    for (const auto& subject : *list) {
      if (subject.is_string()) ordered.insert(subject.get<std::string>());
    }
  }
  const int trial = flag("finished") ? kWholeTrial : number("trial");
  const bool whole = flag("finished") || flag("trialOver");
  std::vector<std::pair<std::string, GameWeek>> shown;
  const auto members = team.find("members");
  if (members == team.end() || !members->is_array()) return shown;
  for (const auto& member : *members) {
    const auto subject = member.find("subject");
    if (subject == member.end() || !subject->is_string()) continue;
    const std::string id = subject->get<std::string>();
    const int week = whole ? kWholeTrial : number("week") - (ordered.count(id) ? 0 : 1);
    shown.emplace_back(id, GameWeek{trial, week});
  }
  return shown;
}

// When (ms since the run began) the live view first showed a student's
// orders up to `shown`.
struct Sighting {
  double atMs = 0;
  GameWeek shown;
};

// What the teacher's page saw of each student, in the order it came.
using Sightings = std::map<std::string, std::vector<Sighting>>;

// Milliseconds from each order sent to the first view after it that showed
// the order (its week or a later one), and how many orders no view showed.
struct ViewDelays {
  std::vector<double> delays;
  int unseen = 0;
};

inline ViewDelays viewDelays(const std::vector<OrderMade>& orders, const Sightings& sightings) {
  ViewDelays result;
  for (const OrderMade& order : orders) {
    const auto seen = sightings.find(order.subject);
    std::optional<double> at;
    if (seen != sightings.end()) {
      for (const Sighting& sighting : seen->second) {
        if (sighting.atMs >= order.sentMs && sighting.shown >= GameWeek{order.trial, order.week}) {
          at = sighting.atMs;
          break;
        }
      }
    }
    if (at) {
      result.delays.push_back(*at - order.sentMs);
    } else {
      ++result.unseen;
    }
  }
  return result;
}

// The orders of the weeks of a group (a team) that `members` different
// players ordered themselves; the group's other weeks were closed by the
// week clock, and their time to the next week is the clock's.
inline std::vector<OrderMade> weeksOrderedByAll(const std::vector<OrderMade>& orders,
                                                size_t members) {
  using WeekKey = std::tuple<std::string, int, int>;
  std::map<WeekKey, std::set<std::string>> players;
  for (const OrderMade& order : orders) {
    players[{order.group, order.trial, order.week}].insert(order.subject);
  }
  std::vector<OrderMade> kept;
  for (const OrderMade& order : orders) {
    if (players.at({order.group, order.trial, order.week}).size() == members) {
      kept.push_back(order);
    }
  }
  return kept;
}

// A student's order of a week, as the week clock's rows are keyed.
using StudentWeek = std::tuple<std::string, int, int>;

// The weeks the week clock must have ordered for a student who vanished:
// every week of its `trials` trials of `weeks` weeks it did not order
// itself.
inline std::set<StudentWeek> weeksLeftToTheClock(const std::string& subject,
                                                 const std::vector<OrderMade>& ownOrders,
                                                 int trials, int weeks) {
  std::set<GameWeek> ordered;
  for (const OrderMade& order : ownOrders) ordered.insert({order.trial, order.week});
  std::set<StudentWeek> left;
  for (int trial = 1; trial <= trials; ++trial) {
    for (int week = 1; week <= weeks; ++week) {
      if (!ordered.count({trial, week})) left.insert({subject, trial, week});
    }
  }
  return left;
}

}  // namespace quarn::bench
