#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>

#include "base/Errors.h"
#include "db/ClassTeams.h"
#include "game/LabWatch.h"
#include "tools/ClassQrCode.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"
#include "tools/SettingPlan.h"
#include "tools/TextTable.h"

namespace quarn::admin {

namespace {

constexpr const char* kClassUsage =
    "class open DATABASE SETTING [--identity name|id] [--forming arrival|random] "
    "[--leftover smaller|spread] [--leftover-player PLAYER] [--password-file FILE] [--url BASE] "
    "[--qr FILE] | class list DATABASE | class close DATABASE CODE | class start DATABASE CODE | "
    "class end DATABASE CODE";

// The address the server is reached at unless --url says: QUARN_CLASS_URL,
// else this computer on the server's own port.
std::string serverAddress(const std::string& given) {
  std::string base = given;
  if (base.empty()) {
    if (const char* configured = std::getenv("QUARN_CLASS_URL")) base = configured;
  }
  if (base.empty()) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    base = std::string("https://") + host + ":8080";
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (base.rfind("http://", 0) != 0 && base.rfind("https://", 0) != 0) {
    throw UsageError("The server's address must begin with http:// or https://: " + base);
  }
  return base;
}

// One line from the terminal with its echo off (so that nobody reads the
// password over the teacher's shoulder), or from a pipe as it comes.
std::string readHidden(const std::string& prompt) {
  const bool terminal = isatty(STDIN_FILENO) != 0;
  termios saved{};
  if (terminal) {
    std::cerr << prompt << std::flush;
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cerr << "\n";
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string teacherPassword(const std::string& file) {
  if (!file.empty()) return readPassphraseFile(file);
  const std::string password = readHidden("The teacher's password for the class: ");
  if (password.empty()) throw UsageError("The class needs a teacher's password");
  if (isatty(STDIN_FILENO) != 0 && readHidden("The same password again: ") != password) {
    throw UsageError("The two passwords differ");
  }
  return password;
}

template <class Enum>
Enum wordOption(const ParsedArguments& parsed, const std::string& option, Enum fallback,
                std::optional<Enum> (*of)(std::string_view)) {
  if (!parsed.has(option)) return fallback;
  const auto value = of(parsed.option(option));
  if (!value) throw UsageError("usage: quarngame-admin " + std::string(kClassUsage));
  return *value;
}

std::string leftoverOption(const ParsedArguments& parsed) {
  const std::string word = parsed.has("--leftover") ? parsed.option("--leftover") : "smaller";
  if (word == "smaller") return kLeftoverSmallTeam;
  if (word == "spread") return kLeftoverSpread;
  throw UsageError("usage: quarngame-admin " + std::string(kClassUsage));
}

// The setting's plan as far as a class needs it; the demand files are the
// server's, so they are not looked for here.
SettingPlan classSetting(CommandDatabase& database, const std::string& argument,
                         const std::string& setting) {
  PlayerRows players = readPlayers(database.access().planTables());
  BlockRows blocks =
      readBlocks(database.access().planTables(), players.players, setting, inputFolderOf(argument));
  std::erase_if(blocks.faults, [](const PlanFault& f) { return f.field == "Input"; });
  for (const std::vector<PlanFault>* faults : {&players.faults, &blocks.faults}) {
    if (const PlanFault* fault = firstFault(*faults)) {
      throw QuarnError(kErrInvalidPlan, fault->text + " (quarngame-admin check lists every fault)");
    }
  }
  return {std::move(players.players), std::move(blocks.trials)};
}

int16_t teamSizeOf(const SettingPlan& plan) {
  for (const TrialPlan& trial : plan.trials) {
    if (isTeamTrial(trial)) return teamSize(trial);
  }
  return 0;
}

std::string describe(const ClassRow& row, int16_t teamSize) {
  std::string text = "students give ";
  text += row.identity == ClassIdentity::Name ? "a name" : "a User ID";
  if (teamSize > 0) {
    text += row.forming == ClassForming::Arrival
                ? "; teams of " + std::to_string(teamSize) + " form as students arrive"
                : "; teams of " + std::to_string(teamSize) + " form at random when the door closes";
    text += row.leftover == kLeftoverSpread ? " (spread evenly" : " (the last one smaller";
    text += ", open stages played by " + row.leftoverPlayer + ")";
  }
  return text;
}

int openClass(const std::vector<std::string>& args) {
  const ParsedArguments parsed =
      parseArguments(args,
                     {"--identity", "--forming", "--leftover", "--leftover-player",
                      "--password-file", "--url", "--qr"},
                     2, kClassUsage);
  const std::string url = serverAddress(parsed.option("--url"));
  ClassRow row;
  row.identity = wordOption(parsed, "--identity", ClassIdentity::Name, classIdentityOf);
  row.forming = wordOption(parsed, "--forming", ClassForming::Arrival, classFormingOf);
  row.leftover = leftoverOption(parsed);
  CommandDatabase database(parsed.positional[0]);
  const SettingPlan plan = classSetting(database, parsed.positional[0], parsed.positional[1]);
  row.setting = parsed.positional[1];
  const int16_t size = teamSizeOf(plan);
  row.leftoverPlayer = plan.players[static_cast<size_t>(standInPlayer(
                                        plan.players, parsed.option("--leftover-player")))]
                           .name;
  row.password = hashClassPassword(teacherPassword(parsed.option("--password-file")));
  const std::string code = database.access().stores().classes().open(row, drawClassCode);
  const std::string joinUrl = url + "/join/" + code;
  const QrModules qr = qrCodeOf(joinUrl);
  std::cout << "Class " << code << " is open on setting " << row.setting << ": "
            << describe(row, size) << "\n"
            << "Students join at " << joinUrl << "\n"
            << "or type the code " << code << " at " << url << "/\n\n"
            << qrTerminalText(qr, isatty(STDOUT_FILENO) != 0);
  if (parsed.has("--qr")) {
    writeQrFile(qr, parsed.option("--qr"));
    std::cout << "The QR code is in " << parsed.option("--qr") << "\n";
  }
  return 0;
}

int listClasses(const std::vector<std::string>& args) {
  const ParsedArguments parsed = parseArguments(args, {}, 1, kClassUsage);
  CommandDatabase database(parsed.positional[0]);
  ClassStore& classes = database.access().stores().classes();
  std::vector<std::vector<std::string>> rows = {
      {"code", "setting", "state", "students", "identity", "forming", "opened (UTC)"}};
  for (const ClassRow& row : classes.list()) {
    rows.push_back({row.code, row.setting, std::string(classStateName(row.state)),
                    std::to_string(classes.students(row.code).size()),
                    std::string(classIdentityName(row.identity)),
                    std::string(classFormingName(row.forming)), row.opened});
  }
  printTable(std::cout, rows, 3);
  return 0;
}

ClassRow existingClass(ClassStore& classes, const std::string& code) {
  const auto row = classes.find(code);
  if (!row) throw QuarnError(kErrInvalidPlan, "There is no class " + code);
  return *row;
}

// "member 4" or "members 3 to 4": the open member numbers of a smaller team.
std::string openMembersText(const SmallerTeam& team) {
  const std::string first = std::to_string(team.students + 1);
  if (team.students + 1 == team.size) return "member " + first;
  return "members " + first + " to " + std::to_string(team.size);
}

void printSmallerTeam(const SmallerTeam& team, const std::string& player) {
  std::cout << "Team " << team.team << " has " << team.students << " of " << team.size
            << " members: ";
  if (player.empty()) {
    std::cout << "the class names no simulated player, so it waits for the others\n";
  } else {
    std::cout << player << " plays " << openMembersText(team) << " from the start\n";
  }
}

std::function<size_t(size_t)> shuffler() {
  std::random_device seed;
  return [random = std::mt19937_64(seed())](size_t below) mutable {
    return std::uniform_int_distribution<size_t>(0, below - 1)(random);
  };
}

void printDoor(const ClassRow& row, const ClosedDoor& door) {
  std::cout << "Class " << row.code << " is closed: nobody joins any more\n";
  for (const auto& [team, members] : door.teams) {
    std::cout << "Team " << team << ":";
    for (size_t i = 0; i < members.size(); ++i) {
      std::cout << (i == 0 ? " " : ", ") << "member " << i + 1 << " " << members[i];
    }
    std::cout << "\n";
  }
  for (const SmallerTeam& team : door.smaller) printSmallerTeam(team, door.player);
}

// Each experiment trial's member stages of the class's setting (none for a
// setting played alone).
TeamTrialRoles memberRolesOfClass(CommandDatabase& database, const ClassRow& row) {
  return memberRolesOf(planTeams(database.access().planTables())(row.setting));
}

int closeClass(const std::vector<std::string>& args) {
  const ParsedArguments parsed = parseArguments(args, {}, 2, kClassUsage);
  CommandDatabase database(parsed.positional[0]);
  ClassStore& classes = database.access().stores().classes();
  const ClassRow row = existingClass(classes, parsed.positional[1]);
  if (row.state != ClassState::Open) {
    std::cout << "Class " << row.code << " is " << classStateName(row.state) << " already\n";
    return 0;
  }
  printDoor(row, closeClassDoor(classes, database.access().stores().teams(), row.code,
                                memberRolesOfClass(database, row), shuffler()));
  return 0;
}

int startClassCommand(const std::vector<std::string>& args) {
  const ParsedArguments parsed = parseArguments(args, {}, 2, kClassUsage);
  CommandDatabase database(parsed.positional[0]);
  ClassStore& classes = database.access().stores().classes();
  const ClassRow row = existingClass(classes, parsed.positional[1]);
  if (row.state == ClassState::Ended) {
    throw QuarnError(kErrInvalidPlan, "Class " + row.code + " has ended: it cannot start again");
  }
  const StartedClass start = startClass(classes, database.access().stores().teams(), row.code,
                                        memberRolesOfClass(database, row), shuffler());
  if (!start.started) throw QuarnError(kErrInvalidPlan, "Class " + row.code + " did not start");
  if (start.door.closed) printDoor(row, start.door);
  std::cout << "Class " << row.code << " has started: its students play\n";
  return 0;
}

int endClass(const std::vector<std::string>& args) {
  const ParsedArguments parsed = parseArguments(args, {}, 2, kClassUsage);
  CommandDatabase database(parsed.positional[0]);
  ClassStore& classes = database.access().stores().classes();
  const ClassRow row = existingClass(classes, parsed.positional[1]);
  classes.setState(row.code, ClassState::Ended);
  std::cout << "Class " << row.code << " has ended: its students cannot join or play on\n";
  return 0;
}

}  // namespace

int cmdClass(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("usage: quarngame-admin " + std::string(kClassUsage));
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "open") return openClass(rest);
  if (args[0] == "list") return listClasses(rest);
  if (args[0] == "close") return closeClass(rest);
  if (args[0] == "start") return startClassCommand(rest);
  if (args[0] == "end") return endClass(rest);
  throw UsageError("usage: quarngame-admin " + std::string(kClassUsage));
}

}  // namespace quarn::admin
