#pragma once

// The changes of teams made by this process, told to the process's members
// that wait for them: a server that plays many teams on one file is the
// file's one writer, and wakes a team's members at once. Members played by
// other processes find a change by looking at the file again a while later.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quarn {

class TeamChanges {
 public:
  // The process's one board.
  static TeamChanges& instance();

  // How many changes of the team named `team` this process has made.
  uint64_t count(const std::string& team);
  // Counts a change of the team and wakes its waiting members.
  void tell(const std::string& team);
  // Waits until the team's count passes `seen` or `timeout` has passed;
  // returns the count then.
  uint64_t waitPast(const std::string& team, uint64_t seen, std::chrono::milliseconds timeout);
  // From now on `wake` is called after each change of the team, until it is
  // set anew for `owner` (an empty one ends it). Called on the thread that
  // made the change, after the change.
  void setWake(const std::string& team, const void* owner, std::function<void()> wake);

 private:
  struct Team {
    uint64_t changes = 0;
    std::condition_variable changed;
    std::map<const void*, std::function<void()>> wakes;
  };

  std::mutex m_mutex;
  // A team's entry stays for the process's life: a few dozen bytes a team.
  std::unordered_map<std::string, Team> m_teams;
};

}  // namespace quarn
