#pragma once

// The participant's text file: one comma-separated line per week played,
// whatever the trial's DatabaseOutput says.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/GameState.h"

namespace quarn {

// A pipeline slot by index, clamped into the pipeline, so that a plan with
// an order delay of 0 reads its only slot instead of running off the array.
int32_t slotAt(const std::vector<int32_t>& slots, int index);

// The fields of stage `role` in the week's line.
std::string stageBlock(const GameState& state, int16_t role);

// The week's line, without its line end: who, the trial (`recordedTrial`),
// the week, the trial's set-up, the decision time, the forecast, then the
// simulated stages and the participant's stage last.
std::string weekLine(const GameState& state, int16_t recordedTrial);

// The participant's file, <appFolder>/data/<User ID>.txt. Path separators
// and control characters of the User ID become "_", so that it can neither
// leave the data folder nor cut the name short.
std::string textFilePath(const std::string& appFolder, const std::string& subject);

// Appends `text` to the file, creating its folder when missing. Returns the
// system's reason when that fails, else an empty text. A failed write is cut
// back off the file, so that a retry cannot leave half a line behind.
std::string appendToFile(const std::string& path, const std::string& text);

// A line of a text file: where it starts, and its text without its line end.
struct FileLine {
  uintmax_t offset = 0;
  std::string text;
};

// The file's last line; nothing when the file is missing or empty.
std::optional<FileLine> lastLineOf(const std::string& path);

// Appends a week's line (with its line end) as appendToFile does. When
// `left`, a line the file held before this session wrote to it, names the
// same week (the same User ID, setting, trial and week), that line is
// removed first and `left` cleared: a workstation that stopped after a
// week's line and before the week's rows were stored plays that week again,
// and the file keeps one line a week.
std::string appendWeekLine(const std::string& path, const std::string& line,
                           std::optional<FileLine>& left);

}  // namespace quarn
