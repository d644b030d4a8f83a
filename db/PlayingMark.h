#pragma once

// A participant plays on one workstation at a time. The login marks the
// participant as playing here (datPlaying), every recorded week refreshes the
// mark, a normal end removes it. Another workstation's mark keeps the
// participant from being played here while it counts; the moderator may take
// the participant over knowingly.

#include <cstdint>
#include <string>

namespace quarn {

// A running copy of the application: the computer's name and the process.
struct Workstation {
  std::string host;
  int64_t process = 0;
  bool operator==(const Workstation&) const = default;
};

// The mark of a participant playing at a workstation (a datPlaying row).
struct PlayingMark {
  std::string subject;
  std::string setting;
  Workstation at;
  int64_t since = 0;     // seconds since 1970: the login
  int64_t lastWeek = 0;  // seconds since 1970: the last recorded week, the login before it
};

// A mark without a recorded week for this long no longer counts: its program
// was killed, or its computer switched off.
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
