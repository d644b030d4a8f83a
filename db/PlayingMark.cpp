#include "db/PlayingMark.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <utility>

namespace quarn {

namespace {

bool processRuns(int64_t process) {
  if (process <= 0 || process > INT_MAX) return false;
  return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

constexpr std::pair<PlayState, const char*> kStateWords[] = {
    {PlayState::LoggedIn, "login"},
    {PlayState::Choosing, "order"},
    {PlayState::Watching, "shipment"},
    {PlayState::TrialOver, "trial-end"},
    {PlayState::Restarting, "restart"},
    {PlayState::Paused, "pause"},
    {PlayState::Finished, "finished"},
    {PlayState::WaitingForTeam, "team"},
    {PlayState::TrainingOver, "training-end"},
};

}  // namespace

std::string playStateWord(PlayState state) {
  for (const auto& [known, word] : kStateWords) {
    if (known == state) return word;
  }
  return {};
}

std::optional<PlayState> playStateOf(const std::string& word) {
  for (const auto& [state, known] : kStateWords) {
    if (word == known) return state;
  }
  return std::nullopt;
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
