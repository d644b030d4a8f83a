#include "db/TeamRules.h"

#include <algorithm>
#include <set>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "db/DbError.h"

namespace quarn {

bool sameName(const std::string& a, const std::string& b) {
  return foldedName(a) == foldedName(b);
}

TeamKey storedKey(const std::vector<SettingMember>& members, const TeamKey& key) {
  for (const SettingMember& m : members) {
    if (sameName(m.team, key.team)) return {key.setting, m.team};
  }
  return key;
}

std::string otherTeamOf(const std::vector<SettingMember>& members, const TeamKey& key,
                        const std::string& subject) {
  for (const SettingMember& m : members) {
    if (m.team != key.team && sameName(m.member.subject, subject)) return m.team;
  }
  return "";
}

JoinDecision decideJoin(const std::vector<SettingMember>& all, const TeamKey& typed,
                        const std::string& subject, int16_t size) {
  const TeamKey key = storedKey(all, typed);
  JoinDecision decision;
  decision.answer.team = key.team;
  std::vector<TeamMember> members;
  for (const SettingMember& m : all) {
    if (m.team == key.team) members.push_back(m.member);
  }
  for (const TeamMember& m : members) {
    if (sameName(m.subject, subject)) {
      decision.answer.member = m.member;
      return decision;
    }
  }
  decision.answer.otherTeam = otherTeamOf(all, key, subject);
  if (!decision.answer.otherTeam.empty()) return decision;
  const bool fixed = !members.empty() && members.front().fixed;
  if (fixed || static_cast<int64_t>(members.size()) >= size) {
    decision.answer.full = true;
    return decision;
  }
  decision.answer.member = static_cast<int16_t>(members.size() + 1);
  decision.isNew = true;
  return decision;
}

void refuseFixing(const TeamKey& key, const std::string& why, const char* done) {
  throw DbError(DbErrorKind::Refused, kErrDatabase,
                "The members of team " + key.team + " of setting " + key.setting + " cannot be " +
                    done + ": " + why);
}

void checkFixable(const TeamKey& key, const std::vector<std::string>& subjects, const char* done) {
  if (subjects.empty() || subjects.size() > 4) {
    refuseFixing(key,
                 "a team has 1 to 4 members, not " + decimal(static_cast<int64_t>(subjects.size())),
                 done);
  }
  std::set<std::string> seen;
  for (const std::string& subject : subjects) {
    if (!seen.insert(foldedName(subject)).second) {
      refuseFixing(key, subject + " is named twice", done);
    }
  }
}

void checkNotInOtherTeam(const std::vector<SettingMember>& all, const TeamKey& key,
                         const std::vector<std::string>& subjects, const char* done) {
  for (const std::string& subject : subjects) {
    const std::string other = otherTeamOf(all, key, subject);
    if (!other.empty()) {
      refuseFixing(key, subject + " is a member of team " + other + " already", done);
    }
  }
}

void refuseFixingPresent(const TeamKey& key, const std::vector<TeamMember>& present) {
  std::string names;
  for (const TeamMember& m : present) names += (names.empty() ? "" : ", ") + m.subject;
  refuseFixing(key, "it has members already (" + names +
                        "); correct them with quarngame-admin team --correct");
}

bool isLoggedIn(const std::vector<std::string>& marked, const std::string& subject) {
  return std::any_of(marked.begin(), marked.end(),
                     [&](const std::string& m) { return sameName(m, subject); });
}

void markMembersHere(std::vector<TeamMember>& members,
                     const std::function<std::vector<std::string>()>& loggedIn,
                     const std::function<std::set<int16_t>()>& played) {
  if (std::all_of(members.begin(), members.end(), [](const TeamMember& m) { return m.here; })) {
    return;
  }
  const std::vector<std::string> marked = loggedIn();
  const std::set<int16_t> playedMembers = played();
  for (TeamMember& m : members) {
    m.here = m.here || playedMembers.count(m.member) > 0 || isLoggedIn(marked, m.subject);
  }
}

void checkLoggedInKeepTheirPlaces(const TeamKey& key, const std::vector<TeamMember>& present,
                                  const std::vector<std::string>& subjects,
                                  const std::vector<std::string>& marked) {
  for (const TeamMember& m : present) {
    if (!isLoggedIn(marked, m.subject)) continue;
    const size_t place = static_cast<size_t>(m.member - 1);
    if (place < subjects.size() && sameName(subjects[place], m.subject)) continue;
    refuseFixing(key,
                 m.subject + " is logged in as member " + decimal(int64_t{m.member}) +
                     ": close that session first",
                 "corrected");
  }
}

void refuseReplacing(const TeamKey& key, int16_t member, const std::string& why) {
  throw DbError(DbErrorKind::Refused, kErrDatabase,
                "Member " + decimal(int64_t{member}) + " of team " + key.team + " of setting " +
                    key.setting + " cannot be replaced: " + why);
}

void refuseUnknownPlayer(const TeamKey& key, const std::string& player) {
  throw DbError(DbErrorKind::Refused, kErrDatabase,
                "Team " + key.team + " of setting " + key.setting + " cannot be given the player " +
                    player + ": tblPlayer has no player of that name");
}

TeamTrialMember replacementStart(int16_t member, const std::string& subject,
                                 const std::string& player, int16_t latestTrial,
                                 int64_t highestOrdered,
                                 const std::function<MemberTrialShape(int16_t trial)>& shapeOf) {
  TeamTrialMember row{latestTrial, member, "", subject, player, 0};
  row.fromWeek = static_cast<int16_t>(highestOrdered + 1);
  MemberTrialShape shape = shapeOf(row.trial);
  if (row.fromWeek > shape.weeks) {
    row.trial = static_cast<int16_t>(row.trial + 1);
    row.fromWeek = 1;
    shape = shapeOf(row.trial);
  }
  row.role = shape.role;
  return row;
}

std::vector<TeamTrialMember> openMemberRows(const TeamKey& key, int16_t firstOpen,
                                            const std::string& player, const TeamTrialRoles& trials,
                                            const std::vector<TeamMember>& members) {
  if (firstOpen < 1) {
    throw DbError(DbErrorKind::Refused, kErrDatabase,
                  "Team " + key.team + " of setting " + key.setting + " has no member number " +
                      decimal(int64_t{firstOpen}));
  }
  for (const TeamMember& m : members) {
    if (m.member < firstOpen || !m.player.empty()) continue;
    throw DbError(DbErrorKind::Refused, kErrDatabase,
                  "Member " + decimal(int64_t{m.member}) + " of team " + key.team + " of setting " +
                      key.setting + " cannot be given the player " + player + ": " + m.subject +
                      " is that member");
  }
  std::vector<TeamTrialMember> rows;
  for (size_t t = 0; t < trials.size(); ++t) {
    for (size_t m = static_cast<size_t>(firstOpen - 1); m < trials[t].size(); ++m) {
      if (trials[t][m].empty()) continue;  // the member number plays no stage in it
      rows.push_back(
          {static_cast<int16_t>(t + 1), static_cast<int16_t>(m + 1), trials[t][m], "", player, 1});
    }
  }
  return rows;
}

void addOpenMembers(std::vector<TeamMember>& members, const std::vector<OpenMember>& open) {
  for (const OpenMember& o : open) {
    const bool taken = std::any_of(members.begin(), members.end(),
                                   [&](const TeamMember& m) { return m.member == o.member; });
    if (!taken) members.push_back({o.member, "", false, true, o.player});
  }
  std::sort(members.begin(), members.end(),
            [](const TeamMember& a, const TeamMember& b) { return a.member < b.member; });
}

int16_t studentPlaces(int16_t size, const std::vector<OpenMember>& open) {
  int16_t places = size;
  for (const OpenMember& o : open) places = std::min<int16_t>(places, o.member - 1);
  return places;
}

TeamTraining trainingOf(const std::vector<TypedOrder>& marks, int16_t member) {
  TeamTraining training;
  for (const TypedOrder& mark : marks) {
    const int16_t attempt = mark.trial;
    if (attempt == 0) {
      training.over = true;
      continue;
    }
    if (attempt > training.attempt) {
      training.attempt = attempt;
      training.run = static_cast<int16_t>(mark.order);
    }
    if (mark.member == member && attempt > training.ownAttempt) {
      training.ownAttempt = attempt;
      training.ownRun = static_cast<int16_t>(mark.order);
      training.ownTrial = static_cast<int16_t>(mark.transactionTime);
    }
  }
  return training;
}

}  // namespace quarn
