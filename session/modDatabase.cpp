#include "session/modDatabase.h"

#include <cctype>
#include <cmath>
#include <string_view>

#include "base/Numbers.h"
#include "base/Text.h"

namespace quarn {

namespace {

[[noreturn]] void NullUse() {
  throw QuarnError(kErrInvalidUseOfNull, "Invalid use of Null");
}

// A number written as text, as a typed field would convert it: plain
// decimal only, blanks around it allowed. Hexadecimal, "inf", "nan" and
// numbers beyond a double's range are refused rather than guessed at.
double NumberFromText(const std::string& text) {
  const ParsedNumber parsed = parseNumber(trimSpace(text));
  if (parsed.kind != NumberKind::Number) {
    throw QuarnError(kErrTypeMismatch, "Type mismatch: '" + printable(text) + "' is not a number");
  }
  return parsed.value;
}

}  // namespace

int16_t Field::AsInt16() const {
  if (auto* i = std::get_if<int64_t>(&value_)) return narrow16(*i, name_.c_str());
  return toInt16(AsDouble(), name_.c_str());
}

int32_t Field::AsInt32() const {
  if (auto* i = std::get_if<int64_t>(&value_)) return narrow32(*i, name_.c_str());
  return toInt32(AsDouble(), name_.c_str());
}

double Field::AsDouble() const {
  if (IsNull()) NullUse();
  if (auto* i = std::get_if<int64_t>(&value_)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&value_)) {
    // The engine stores an infinity written into a REAL column as it is.
    if (!std::isfinite(*d)) {
      throw QuarnError(kErrTypeMismatch,
                       "Type mismatch: " + shortestDecimal(*d) + " is not a finite number");
    }
    return *d;
  }
  return NumberFromText(std::get<std::string>(value_));
}

std::string Field::AsText() const {
  if (IsNull()) NullUse();
  if (auto* i = std::get_if<int64_t>(&value_)) return decimal(*i);
  if (auto* d = std::get_if<double>(&value_)) return shortestDecimal(*d);
  return std::get<std::string>(value_);
}

bool Field::AsBool() const {
  if (IsNull()) return false;
  if (auto* i = std::get_if<int64_t>(&value_)) return *i != 0;
  if (auto* d = std::get_if<double>(&value_)) return *d != 0.0;
  const std::string text = toLowerAscii(std::get<std::string>(value_));
  if (text == "true" || text == "yes" || text == "on") return true;
  if (text == "false" || text == "no" || text == "off" || text.empty()) return false;
  return NumberFromText(text) != 0.0;
}

std::string SqlQuote(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

int64_t DbBackoffCount(UniformRandom& random, int n) {
  const auto base = static_cast<int64_t>(std::floor(random.next() * 3000 + 1000));
  return base * n * n;
}

std::chrono::milliseconds DbBackoffDuration(int64_t count) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(kBackoffStep * count);
}

std::unique_ptr<Recordset> DbOpenRecordset(Database& db, const std::string& source, bool readOnly) {
  db.DbWriteRetries = 0;
  std::unique_ptr<Recordset> rs;
  DbRetrying(db, source, [&] { rs = db.engine.Open(db.DatabasePath, source, readOnly); });
  return rs;
}

void DbRetrying(Database& db, const std::string& source, const std::function<void()>& attempt) {
  int n = 0;
  for (;;) {
    try {
      attempt();
      return;
    } catch (const QuarnError& failure) {
      if (failure.number() == kErrItemNotFound) {
        db.toolkit.ask(
            "Please get the most updated database file of " + db.DatabasePath + "\r\n" + source,
            PromptStyle::Ok,
            "Error " + std::to_string(failure.number()) + ": " + failure.description());
        db.toolkit.endApplication();
      }
      ++n;
      if (n > 5) {
        Answer answer = db.toolkit.ask(failure.description() + " Retry? (No to quit)",
                                       PromptStyle::YesNoQuestion);
        if (answer == Answer::Yes) {
          n = 1;
        } else {
          DbQuitUnstored(db);
        }
      }
    }
    // The game stands still while the window's events run here.
    Prompter::ModalScope waiting(db.toolkit);
    db.toolkit.processEvents();
    db.toolkit.wait(DbBackoffDuration(DbBackoffCount(db.random, n)));
  }
}

void DbQuitUnstored(Database& db) {
  if (!db.WriteInProgress.empty()) {
    db.toolkit.ask(db.WriteInProgress + " was not stored in the database.  The application ends.",
                   PromptStyle::OkWarning, "Problems on weekly output to database");
  }
  db.toolkit.endApplication(1);
  throw ApplicationEnd(1);  // for a toolkit whose EndApplication returns
}

std::optional<PlayingMark> DatabaseEngine::MarkPlaying(
    const std::string&, const PlayingMark&, const std::function<bool(const PlayingMark&)>&) {
  throw QuarnError(kErrDatabase, "This database engine keeps no participant marks");
}

std::optional<PlayingMark> DatabaseEngine::TouchPlaying(const std::string&, const PlayingMark&) {
  throw QuarnError(kErrDatabase, "This database engine keeps no participant marks");
}

void DatabaseEngine::ClearPlaying(const std::string&, const PlayingMark&) {
  throw QuarnError(kErrDatabase, "This database engine keeps no participant marks");
}

void DbClose(Database&, std::unique_ptr<Recordset>& rs) {
  std::unique_ptr<Recordset> released = std::move(rs);
  if (released) released->Close();
}

namespace {

// Files the edited row under another trial: the next lower training number,
// or the row's Trial plus one.
void MoveRowTrial(Recordset& rs, bool trainingMode, int16_t& trainingTrialNo) {
  if (trainingMode) {
    trainingTrialNo = narrow16(int64_t{trainingTrialNo} - 1, "TrainingTrialNo");
    rs.Set("Trial", int64_t{trainingTrialNo});
    return;
  }
  Field trial("Trial", rs.Edited("Trial"));
  const int64_t current = trial.IsNull() ? 0 : trial.AsInt32();
  rs.Set("Trial", int64_t{narrow16(current + 1, "Trial")});
}

}  // namespace

Answer DbWriteRetry(Database& db, const std::string& title, Recordset& rs,
                    const QuarnError& failure, bool trainingMode, int16_t& trainingTrialNo) {
  if (db.DbWriteRetries < 5) {
    ++db.DbWriteRetries;
    // Only a collision on the key is cured by another Trial. A lock or an I/O
    // fault passes; moving the row would file the week under a trial that
    // was never played, and the real one would collide later.
    if (failure.number() == kErrDuplicateKey) MoveRowTrial(rs, trainingMode, trainingTrialNo);
    return Answer::Retry;
  }
  Answer answer = db.toolkit.ask(std::to_string(failure.number()) + ": " + failure.description(),
                                 PromptStyle::AbortRetryIgnore, title);
  db.DbWriteRetries = 0;
  return answer;
}

}  // namespace quarn
