#pragma once

// A participant plays on one workstation at a time. The login marks the
// participant as playing here (datPlaying), every recorded week refreshes the
// mark, a normal end removes it. Another workstation's mark keeps the
// participant from being played here while it counts; the moderator may take
// the participant over knowingly.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarn {

// A running copy of the application: the computer's name and the process.
struct Workstation {
  std::string host;
  int64_t process = 0;
  bool operator==(const Workstation&) const = default;
};

// What a participant is doing, as the moderator's live view tells it. A new
// state is a value here with its names in playStateNames, and the place in
// the game that enters it.
enum class PlayState {
  LoggedIn,        // logged in, the first trial not started yet
  Choosing,        // the order box is open
  Watching,        // the week's shipments move
  TrialOver,       // the trial's end message, then the Next Trial button
  Restarting,      // a failed training trial is about to start again
  Paused,          // a scheduled pause waits for its password
  Finished,        // every trial was played; the closing screen
  WaitingForTeam,  // a team member waits for the team to form or to order
  TrainingOver,    // the message that training is complete and the experiment begins
};

// A state's names: its stored word and what the live view says of it.
struct PlayStateNames {
  // The word the mark stores ("order", "pause", ...). Stored marks rely on
  // these words: never change one.
  const char* word;
  // What the participant does, in the live view's words.
  const char* doing;
  // Whether the live view adds how long it has lasted ("for 0:42").
  bool timed;
};

// No default: a state without its names does not compile. Past the last
// state, none.
constexpr PlayStateNames playStateNames(PlayState state) {
  switch (state) {
    case PlayState::LoggedIn:
      return {"login", "logged in", false};
    case PlayState::Choosing:
      return {"order", "choosing an order", true};
    case PlayState::Watching:
      return {"shipment", "watching the shipment", false};
    case PlayState::TrialOver:
      return {"trial-end", "at the trial's end", false};
    case PlayState::Restarting:
      return {"restart", "restarting the training trial", false};
    case PlayState::Paused:
      return {"pause", "in a pause", true};
    case PlayState::Finished:
      return {"finished", "finished", false};
    case PlayState::WaitingForTeam:
      return {"team", "waiting for the team", true};
    case PlayState::TrainingOver:
      return {"training-end", "told that training is complete", false};
  }
  return {nullptr, nullptr, false};
}

// The word a state is stored as.
std::string playStateWord(PlayState state);
// The state stored as `word`; none for a word this version does not know.
std::optional<PlayState> playStateOf(const std::string& word);
// Every state, in the enum's order.
std::vector<PlayState> allPlayStates();

// Where the participant stands, as the mark holds it for the live view.
struct PlayActivity {
  // Empty in a mark written by an application that did not say.
  std::optional<PlayState> state;
  int64_t stateSince = 0;  // seconds since 1970
  int16_t trial = 0;       // the Trial its rows are recorded under (training below 0); 0: none
  int16_t week = 0;        // the week being played, 1 to weeks
  int16_t weeks = 0;
  std::string role;             // the participant's stage; empty when the trial plays itself
  std::optional<int64_t> cost;  // the participant's cost so far in the trial
  // The stored word when it names no state this version knows (a newer
  // application's, or a damaged row); `state` is then empty.
  std::string unknownState;
  bool operator==(const PlayActivity&) const = default;
};

// The mark of a participant playing at a workstation (a datPlaying row).
struct PlayingMark {
  std::string subject;
  std::string setting;
  Workstation at;
  int64_t since = 0;  // seconds since 1970: the login
  // Seconds since 1970: the mark's last refresh (column LastWeek): a
  // recorded week, a change of state, or the running application's timer.
  int64_t lastWeek = 0;
  PlayActivity activity;
  // The secret of the workstation that made the mark: only it may refresh
  // or remove the mark on a server. Never read back from there.
  std::string token;
};

// How often a running application refreshes its mark while nothing else
// does: a mark older than a few of these belongs to a workstation that is
// gone (killed, switched off, or hanging).
inline constexpr int64_t kMarkRefreshSeconds = 15;

// A mark not refreshed for this long no longer counts: its program was
// killed, or its computer switched off.
inline constexpr int64_t kMarkStaleAfterSeconds = 15 * 60;

// This copy of the application.
Workstation thisWorkstation();

// Whose clock dates the marks. A server dates and judges every mark by its
// own clock. A file has no clock of its own, and two computers' clocks may
// differ by any amount: a mark there is aged only by the computer that made
// it.
enum class MarkClock { Shared, EachComputer };

// Whether `other` keeps its participant from being played at `here` at
// `now` (seconds since 1970, on `clock`): it is not here's own mark, and,
// made on this computer, its process still runs; it is not stale, where its
// age can be told (always on the shared clock; on each computer's clock only
// for the marks of this computer). So on a file another computer's mark
// counts until its session ends or the moderator takes the participant over:
// a workstation whose clock runs ahead cannot take a participant unasked.
bool markCounts(const PlayingMark& other, const Workstation& here, int64_t now,
                MarkClock clock = MarkClock::Shared);

// "lab-3 (process 4711)".
std::string describeWorkstation(const Workstation& at);

// "2024-03-05 14:07:09", the local time of `seconds` since 1970.
std::string localTimeText(int64_t seconds);

}  // namespace quarn
