#pragma once

#include <cstdint>
#include <string>

#include "record/Game.h"
#include "record/TrialWindow.h"

namespace quarn {

// Title of the box that asks what to do after the week's text line could not
// be written.
inline constexpr const char* kTextOutputTitle = "Problems on weekly output to text file";

// The Trial number of the running trial in the output: TrainingTrialNo in
// training, else CurrentTrial + 1.
int16_t RecordedTrialNo(const Game& game);

// Stores the week just played as four datRole rows, Factory to Retailer, all
// four under one open, so that either all of them are stored or none is.
// Does nothing when the trial's DatabaseOutput is off.
void WriteRoleRecords(Game& game);

// Stores the current trial's datTrial row, in the state the trial has now.
// Does nothing when the trial's DatabaseOutput is off, or when this trial
// (its Subject, Setting and Trial number) was recorded already.
void WriteTrialRecord(Game& game);

// The comma-separated fields of stage `role` for the week's text line.
std::string StageBlock(const Game& game, int16_t role);

// The week's text line without its line end.
std::string WeekLine(const Game& game);

// The participant's text file: <AppFolder>/data/<SubjectID>.txt.
std::string WeekLinePath(Game& game);

// Appends the week's text line to the participant's text file, whatever the
// trial's DatabaseOutput says. Creates the data folder when it is missing; a
// write that fails is reported with an Abort/Retry/Ignore box.
void WriteWeekLine(Game& game);

// The records of a closed week: the text line, then the datRole rows. The
// participant's mark is refreshed first; when another workstation took the
// participant over, the session ends there instead (status 1).
void WeekClosed(Game& game);

// Removes the session's participant mark, at a normal end or before another
// login.
void ReleaseMark(Game& game);

// The week step's view of a game, with WeekClosed as its record writer. The
// context refers to the game, which must outlive it.
ChainContext MakeChainContext(Game& game);

// Moves on from the trial just finished: repeats or advances training, ends
// training after its last trial, starts the next experiment trial, or ends
// the game with the cost summary, the caption "Game Over" and the closing
// screen.
void NextTrial(Game& game, TrialWindow& window);

}  // namespace quarn
