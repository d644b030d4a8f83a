#include "game/TextExport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/Numbers.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

void addField(std::string& line, const std::string& field) {
  line += ',';
  line += field;
}

void addField(std::string& line, int64_t value) {
  addField(line, decimal(value));
}

// The head of a week's line that names the week: User ID, setting, trial
// and week, with the comma after them; empty when the line has no such head.
std::string_view weekHead(std::string_view line) {
  size_t at = 0;
  for (int field = 0; field < 4; ++field) {
    at = line.find(',', at);
    if (at == std::string_view::npos) return {};
    ++at;
  }
  return line.substr(0, at);
}

// Removes `line` from the file where it stands: the rest is written to a
// new file that then takes the old one's place, so that a stop in between
// leaves the file whole. A file that no longer holds the line there stays.
std::string removeLine(const fs::path& file, const FileLine& line) {
  std::string all;
  {
    std::ifstream in(file, std::ios::binary);
    all.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string_view at =
      std::string_view(all).substr(std::min<size_t>(line.offset, all.size()));
  if (!at.starts_with(line.text)) return {};
  const size_t end = line.offset + line.text.size();
  all.erase(line.offset, (all.compare(end, 2, "\r\n") == 0 ? end + 2 : end) - line.offset);
  const fs::path replacement = file.string() + ".new";
  std::error_code ec;
  {
    std::ofstream out(replacement, std::ios::binary | std::ios::trunc);
    out.write(all.data(), static_cast<std::streamsize>(all.size()));
    out.close();
    if (!out) {
      fs::remove(replacement, ec);
      return "The line of the same week cannot be replaced: " + replacement.string() +
             " cannot be written";
    }
  }
  fs::rename(replacement, file, ec);
  if (ec) return "The line of the same week cannot be replaced: " + ec.message();
  return {};
}

}  // namespace

int32_t slotAt(const std::vector<int32_t>& slots, int index) {
  if (slots.empty()) return 0;
  index = std::clamp(index, 0, static_cast<int>(slots.size()) - 1);
  return slots[static_cast<size_t>(index)];
}

std::string stageBlock(const GameState& state, int16_t role) {
  const TrialPlan& trial = state.plan.current();
  const RoleState& s = state.chain.roles[static_cast<size_t>(role)];
  std::string block = s.roleName;
  addField(block, s.playerName);
  addField(block, s.demand);
  addField(block, slotAt(s.orderSlots, trial.orderDelay - 1));
  addField(block, s.satisfied);
  addField(block, s.deltaInventory);
  addField(block, s.inventory);
  for (int k = 0; k < trial.delay; ++k) addField(block, slotAt(s.delaySlots, k));
  addField(block, s.weeklyCost);
  addField(block, s.totalCost);
  return block;
}

std::string weekLine(const GameState& state, int16_t recordedTrial) {
  const TrialPlan& trial = state.plan.current();
  std::string line = state.identity.subject;
  addField(line, state.identity.setting);
  addField(line, recordedTrial);
  addField(line, state.chain.currentWeek - 1);
  addField(line, trial.weeks);
  addField(line, trial.delay);
  addField(line, state.times.elapsed());
  addField(line, trial.predicter.empty() ? std::string("NULL") : trial.predicter);
  addField(line, state.predicter.noise);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (r != trial.participantRole) addField(line, stageBlock(state, r));
  }
  if (hasParticipant(trial.participantRole)) {
    addField(line, stageBlock(state, trial.participantRole));
  }
  return line;
}

std::string textFilePath(const std::string& appFolder, const std::string& subject) {
  std::string name = subject;
  for (char& c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  return (fs::path(appFolder) / "data" / (name + ".txt")).string();
}

std::string appendToFile(const std::string& path, const std::string& text) {
  const fs::path file(path);
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) {
    return "The folder " + file.parent_path().string() + " cannot be created: " + ec.message();
  }
  const uintmax_t before = fs::exists(file, ec) ? fs::file_size(file, ec) : 0;
  std::FILE* out = std::fopen(file.c_str(), "ab");
  if (!out) return std::strerror(errno);
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  const int writeError = errno;
  const bool closed = std::fclose(out) == 0;
  if (written && closed) return {};
  const int error = written ? errno : writeError;
  if (!ec) fs::resize_file(file, before, ec);
  return std::strerror(error);
}

std::optional<FileLine> lastLineOf(const std::string& path) {
  constexpr uintmax_t kTail = 64 * 1024;  // far longer than a line
  std::error_code ec;
  const fs::path file(path);
  const uintmax_t size = fs::exists(file, ec) ? fs::file_size(file, ec) : 0;
  if (ec || size == 0) return std::nullopt;
  const uintmax_t from = size > kTail ? size - kTail : 0;
  std::ifstream in(file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from));
  std::string tail(static_cast<size_t>(size - from), '\0');
  if (!in.read(tail.data(), static_cast<std::streamsize>(tail.size()))) return std::nullopt;
  const size_t end = tail.ends_with("\r\n") ? tail.size() - 2 : tail.size();
  const size_t previous = end == 0 ? std::string::npos : tail.rfind('\n', end - 1);
  if (previous == std::string::npos && from > 0) return std::nullopt;
  const size_t start = previous == std::string::npos ? 0 : previous + 1;
  return FileLine{from + start, tail.substr(start, end - start)};
}

std::string appendWeekLine(const std::string& path, const std::string& line,
                           std::optional<FileLine>& left) {
  const std::string_view head = weekHead(line);
  if (left && !head.empty() && weekHead(left->text) == head) {
    const std::string reason = removeLine(path, *left);
    if (!reason.empty()) return reason;
    left.reset();
  }
  return appendToFile(path, line);
}

}  // namespace quarn
