#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "db/PlayingMark.h"
#include "db/RowWriter.h"

namespace quarn {

// A new participant: a row of datUser, as the questionnaire fills it.
struct ParticipantRow {
  std::string subject;
  std::string setting;
  std::optional<int64_t> age;
  std::string gender;
  std::string schoolYear;
  std::string major;
};

// The participants: datUser, what the login looks up in the results of a
// participant, and the workstation marks (datPlaying).
class ParticipantStore {
 public:
  virtual ~ParticipantStore() = default;

  // The participant's User ID as datUser holds it: found as given, or else
  // without regard to letter case, beyond ASCII too.
  virtual std::optional<std::string> findParticipant(const std::string& subject) = 0;
  // The highest and the lowest Trial recorded in datRole for the
  // participant in the setting; nothing when there is no row.
  virtual std::optional<int16_t> highestTrial(const std::string& subject,
                                              const std::string& setting) = 0;
  virtual std::optional<int16_t> lowestTrial(const std::string& subject,
                                             const std::string& setting) = 0;
  // Whether datTrial holds the participant's row of one trial.
  virtual bool trialRecorded(const std::string& subject, const std::string& setting,
                             int16_t trial) = 0;
  // The highest Week recorded in datRole for the participant in one trial.
  virtual std::optional<int16_t> highestWeek(const std::string& subject, const std::string& setting,
                                             int16_t trial) = 0;
  // The write of a new participant's datUser row.
  virtual std::unique_ptr<RowWriter<ParticipantRow>> openRegistration() = 0;

  // The marks, each operation one write transaction (a file from before the
  // marks gets their table). markPlaying stores `mine` unless the
  // participant's present mark is another one for which `keeps` is true:
  // then that mark is returned and nothing is written. `keeps` is given the
  // store's own time (seconds since 1970) when it has a clock that every
  // workstation shares (a server's); the store then dates the marks it
  // writes by that clock too, whatever since and lastWeek `mine` carries.
  // A User ID is one participant whatever its letter case: the marks of
  // "CaseRace" and "caserace" are one mark.
  using MarkJudge =
      std::function<bool(const PlayingMark& present, std::optional<int64_t> sharedNow)>;
  virtual std::optional<PlayingMark> markPlaying(const PlayingMark& mine,
                                                 const MarkJudge& keeps) = 0;
  // Sets the lastWeek of `mine`. When the participant's mark is not `mine`
  // any more, returns the present one (a mark without a workstation when
  // there is none) and changes nothing.
  virtual std::optional<PlayingMark> touchPlaying(const PlayingMark& mine) = 0;
  // Removes `mine`; another workstation's mark stays.
  virtual void clearPlaying(const PlayingMark& mine) = 0;
};

}  // namespace quarn
