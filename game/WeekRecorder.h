#pragma once

#include <cstdint>
#include <string>

#include "game/GameState.h"
#include "game/TextExport.h"

namespace quarn {

// Title of the question after a week's line could not be written to the
// participant's text file.
inline constexpr const char* kTextOutputTitle = "Problems on weekly output to text file";

// The records of the running trial: each closed week's text line and its
// four datRole rows, and the trial's datTrial row.
class WeekRecorder {
 public:
  WeekRecorder(GameServices& services, GameState& state) : m_services(services), m_state(state) {}

  // The Trial number of the running trial's records: the training number in
  // training, else the trial's place in the experiment, counted from 1.
  int16_t recordedTrial() const;

  // The records of the week just closed: the workstation mark is refreshed,
  // then the text line is appended, then the four rows are stored.
  void weekClosed();

  // Appends the week's line to the participant's text file. A write that
  // fails asks Abort (the end), Retry or Ignore (the line is dropped). The
  // line the file ended with before this session wrote to it may be that of
  // a week whose rows a stopped workstation did not store: when this session
  // plays that week again (a trial that records to the database), its line
  // replaces that one.
  void writeWeekLine();

  // Stores the week's four datRole rows, Factory to Retailer, in one write:
  // all of them or none. Nothing when the trial's DatabaseOutput is off.
  void writeWeekRows();

  // Stores the running trial's datTrial row as the trial stands now, once:
  // nothing when this trial was recorded already, when DatabaseOutput is
  // off, or before the first trial.
  void writeTrialRecord();

  // The end costs of the participant's experiment trials 1 to `trials` as
  // the database holds them: each trial's four stages' total cost in its
  // last recorded week (a trial left in the middle, as far as it was
  // played; a trial without database output adds nothing).
  int32_t recordedCostSum(int16_t trials) const;

 private:
  // "Trial 3, week 12 of P1": the week just played.
  std::string weekName() const;

  GameServices& m_services;
  GameState& m_state;
  std::string m_textFile;               // the file this session writes its lines to
  std::optional<FileLine> m_lineFound;  // its last line before this session's first
};

}  // namespace quarn
