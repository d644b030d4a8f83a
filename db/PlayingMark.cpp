#include "db/PlayingMark.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace quarn {

namespace {

bool processRuns(int64_t process) {
  if (process <= 0 || process > INT_MAX) return false;
  return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string playStateWord(PlayState state) {
  return playStateNames(state).word;
}

std::optional<PlayState> playStateOf(const std::string& word) {
  for (const PlayState state : allPlayStates()) {
    if (word == playStateWord(state)) return state;
  }
  return std::nullopt;
}

std::vector<PlayState> allPlayStates() {
  std::vector<PlayState> states;
  for (int value = 0; playStateNames(static_cast<PlayState>(value)).word != nullptr; ++value) {
    states.push_back(static_cast<PlayState>(value));
  }
  return states;
}

Workstation thisWorkstation() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return {host, static_cast<int64_t>(::getpid())};
}

bool markCounts(const PlayingMark& other, const Workstation& here, int64_t now, MarkClock clock) {
  if (other.at == here) return false;
  const bool sameComputer = other.at.host == here.host;
  if (sameComputer && !processRuns(other.at.process)) return false;
  const bool ageKnown = clock == MarkClock::Shared || sameComputer;
  return !(ageKnown && now - other.lastWeek > kMarkStaleAfterSeconds);
}

std::string describeWorkstation(const Workstation& at) {
  return at.host + " (process " + std::to_string(at.process) + ")";
}

std::string localTimeText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace quarn
