#include <iostream>

#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "db/TeamStore.h"
#include "plan/SettingCheck.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"
#include "tools/SettingPlan.h"

namespace quarn::admin {

namespace {

// A team setting's trials and the number of members its teams have.
struct TeamSetting {
  SettingPlan plan;
  int16_t size = 0;
};

// The setting's trials as far as its teams need them: the stages and the
// weeks. The demand files are the workstations' (each reads them from its
// own disk), so they are not looked for here.
SettingPlan loadTeamTrials(DatabaseAccess& db, const std::string& setting,
                           const std::string& inputFolder) {
  PlayerRows players = readPlayers(db.planTables());
  BlockRows blocks = readBlocks(db.planTables(), players.players, setting, inputFolder);
  std::erase_if(blocks.faults, [](const PlanFault& f) { return f.field == "Input"; });
  for (const std::vector<PlanFault>* faults : {&players.faults, &blocks.faults}) {
    if (const PlanFault* fault = firstFault(*faults)) {
      throw QuarnError(kErrInvalidPlan, fault->text + " (quarngame-admin check lists every fault)");
    }
  }
  return {std::move(players.players), std::move(blocks.trials)};
}

// Only a setting whose rows name members has teams.
TeamSetting loadTeamSetting(CommandDatabase& database, const std::string& argument,
                            const std::string& setting) {
  TeamSetting team{loadTeamTrials(database.access(), setting, inputFolderOf(argument)), 0};
  for (const TrialPlan& trial : team.plan.trials) {
    if (isTeamTrial(trial)) {
      team.size = teamSize(trial);
      return team;
    }
  }
  throw QuarnError(kErrInvalidPlan, "Setting " + setting +
                                        " is not played by teams: no row of tblBlock names "
                                        "Subject1 .. Subject4");
}

std::string teamName(const TeamKey& key) {
  return "team " + key.team + " of setting " + key.setting;
}

// The member's stage and weeks in the team's experiment trial `trial`
// (counted from 1 in the setting's play order).
MemberTrialShape shapeOf(const TeamSetting& team, const TeamKey& key, int16_t member,
                         int16_t trial) {
  if (trial < 1 || static_cast<size_t>(trial) > team.plan.trials.size()) {
    throw QuarnError(kErrDatabase, "Member " + decimal(int64_t{member}) + " of " + teamName(key) +
                                       " has played every trial: nothing is left to replace");
  }
  const TrialPlan& plan = team.plan.trials[static_cast<size_t>(trial - 1)];
  const int16_t stage = memberStage(plan, member);
  if (stage == kNoParticipant) {
    throw QuarnError(kErrInvalidPlan, "Member " + decimal(int64_t{member}) +
                                          " plays no stage in trial " + decimal(int64_t{trial}) +
                                          " of setting " + key.setting);
  }
  return {plan.weeks, roleName(stage)};
}

}  // namespace

// The team's name and its members' User IDs as the login takes them
// (blanks at either end dropped), each refused for what the login refuses.
std::string loginName(const std::string& given, const std::string& what,
                      std::string (*faultOf)(const std::string&)) {
  std::string name(trimBlanks(given));
  const std::string fault = faultOf(name);
  if (!fault.empty()) {
    throw QuarnError(kErrInvalidPlan, "The " + what + " \"" + printable(name) +
                                          "\" is refused as the login refuses it: " + fault);
  }
  return name;
}

int cmdTeam(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  for (const std::string& arg : args) {
    if (arg != "--correct") positional.push_back(arg);
  }
  const bool correct = positional.size() < args.size();
  if (positional.size() < 4) {
    throw UsageError("usage: quarngame-admin team DATABASE SETTING TEAM USERID1 ... [--correct]");
  }
  CommandDatabase database(positional[0]);
  const TeamKey key{positional[1], loginName(positional[2], "team name", teamNameFault)};
  const TeamSetting team = loadTeamSetting(database, positional[0], key.setting);
  std::vector<std::string> subjects;
  for (auto given = positional.begin() + 3; given != positional.end(); ++given) {
    subjects.push_back(loginName(*given, "User ID", subjectIdFault));
  }
  if (static_cast<int64_t>(subjects.size()) != team.size) {
    throw QuarnError(kErrInvalidPlan, "The teams of setting " + key.setting + " have " +
                                          decimal(int64_t{team.size}) + " members, not " +
                                          decimal(static_cast<int64_t>(subjects.size())));
  }
  TeamStore& teams = database.access().stores().teams();
  const std::string stored =
      correct ? teams.correctMembers(key, subjects) : teams.fixMembers(key, subjects);
  std::cout << "Team " << stored << " of setting " << key.setting << ":";
  for (size_t i = 0; i < subjects.size(); ++i) {
    std::cout << (i == 0 ? " " : ", ") << "member " << i + 1 << " " << subjects[i];
  }
  std::cout << "\n";
  return 0;
}

int cmdReplace(const std::vector<std::string>& args) {
  expectArguments(args, 5, "replace DATABASE SETTING TEAM MEMBER PLAYER");
  CommandDatabase database(args[0]);
  const TeamKey key{args[1], args[2]};
  const TeamSetting team = loadTeamSetting(database, args[0], key.setting);
  int16_t member = 0;
  try {
    member = wholeNumber<int16_t>(args[3], "MEMBER", 1, team.size);
  } catch (const UsageError& wrong) {
    throw QuarnError(kErrInvalidPlan, std::string(wrong.what()) + " (the teams of setting " +
                                          key.setting + " have " + decimal(int64_t{team.size}) +
                                          " members)");
  }
  const std::string& player =
      team.plan.players[static_cast<size_t>(playerIndex(team.plan.players, args[4]))].name;
  const TeamTrialMember replaced = database.access().stores().teams().replace(
      key, member, player, [&](int16_t trial) { return shapeOf(team, key, member, trial); });
  std::cout << "Member " << replaced.member << " (" << replaced.subject << ") of team " << key.team
            << " is played by " << replaced.player << " from trial " << replaced.trial << ", week "
            << replaced.fromWeek << " to the trial's end\n";
  return 0;
}

}  // namespace quarn::admin
