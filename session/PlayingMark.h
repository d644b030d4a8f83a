#pragma once

// A participant plays on one workstation at a time. The login marks the
// participant as playing here (datPlaying), every recorded week refreshes the
// mark, a normal end removes it. Another workstation's mark keeps the
// participant from being played here while it counts; the moderator may take
// the participant over knowingly.

#include <cstdint>
#include <optional>
#include <string>

#include "session/modDatabase.h"

namespace quarn {

// A mark without a recorded week for this long no longer counts: its program
// was killed, or its computer switched off.
inline constexpr int64_t kMarkStaleAfterSeconds = 15 * 60;

// This copy of the application.
Workstation ThisWorkstation();

// Whether `other` keeps its participant from being played at `here` at
// `now` (seconds since 1970): it is not here's own mark, it is not stale,
// and, made on this computer, its process still runs.
bool MarkCounts(const PlayingMark& other, const Workstation& here, int64_t now);

// Marks `mine` as playing here, the check and the mark in one write
// transaction so that two logins racing for one participant cannot both
// win. Returns the other workstation's mark that counts (nothing written
// then), unless `takeOver`. Failures get the retries of a failed open.
std::optional<PlayingMark> ClaimParticipant(Database& db, const PlayingMark& mine, int64_t now,
                                            bool takeOver);

// Refreshes the LastWeek of `mine` to `now`. Returns the mark that replaced
// it when another workstation took the participant over. A refresh that
// fails is let go: the mark just ages.
std::optional<PlayingMark> RefreshParticipant(Database& db, PlayingMark& mine, int64_t now);

// Removes `mine` at the end of a session; a failure is let go (the mark then
// ends by its age, or at once for a later login on this computer).
void ReleaseParticipant(Database& db, const PlayingMark& mine);

// "lab-3 (process 4711)".
std::string DescribeWorkstation(const Workstation& at);

// "2024-03-05 14:07:09", the local time of `seconds` since 1970.
std::string LocalTimeText(int64_t seconds);

}  // namespace quarn
