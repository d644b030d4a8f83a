#include "session/PlayingMark.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

namespace quarn {

namespace {

bool ProcessRuns(int64_t process) {
  if (process <= 0 || process > INT_MAX) return false;
  return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

}  // namespace

Workstation ThisWorkstation() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return {host, static_cast<int64_t>(::getpid())};
}

bool MarkCounts(const PlayingMark& other, const Workstation& here, int64_t now) {
  if (other.At == here) return false;
  if (now - other.LastWeek > kMarkStaleAfterSeconds) return false;
  if (other.At.Host == here.Host && !ProcessRuns(other.At.Process)) return false;
  return true;
}

std::optional<PlayingMark> ClaimParticipant(Database& db, const PlayingMark& mine, int64_t now,
                                            bool takeOver) {
  std::optional<PlayingMark> other;
  DbRetrying(db, "datPlaying", [&] {
    other = db.engine.MarkPlaying(db.DatabasePath, mine, [&](const PlayingMark& present) {
      return !takeOver && MarkCounts(present, mine.At, now);
    });
  });
  return other;
}

std::optional<PlayingMark> RefreshParticipant(Database& db, PlayingMark& mine, int64_t now) {
  mine.LastWeek = now;
  try {
    return db.engine.TouchPlaying(db.DatabasePath, mine);
  } catch (const QuarnError&) {
    return std::nullopt;
  }
}

void ReleaseParticipant(Database& db, const PlayingMark& mine) {
  try {
    db.engine.ClearPlaying(db.DatabasePath, mine);
  } catch (const QuarnError&) {
  }
}

std::string DescribeWorkstation(const Workstation& at) {
  return at.Host + " (process " + std::to_string(at.Process) + ")";
}

std::string LocalTimeText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace quarn
