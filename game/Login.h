#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Text.h"
#include "game/GameState.h"
#include "game/GameView.h"

namespace quarn {

// The longest User ID, and team name, the login takes.
inline constexpr int kSubjectIdLength = kNameLength;

// What the login window forwards when Start is pressed.
struct LoginRequest {
  std::string subject;  // as typed; blanks at either end are dropped
  std::string setting;  // as typed or chosen
  std::string team;     // a team setting's team name, as typed; blanks at either end are dropped
};

enum class LoginResult {
  LoggedIn,
  RetrySubject,  // the User ID was refused, or the participant turned back
  RetrySetting,  // the setting was refused
};

// The answers a questionnaire offers for gender, as the records keep them.
inline constexpr const char* kQuestionnaireGenders[] = {"Male", "Female"};
// The ages the questionnaire takes (its box holds two digits).
inline constexpr int64_t kYoungestAge = 5;
inline constexpr int64_t kOldestAge = 99;

// Why `answers` cannot be stored, as the questionnaire tells the participant
// (a gender first, then an age); nothing when they are complete.
std::optional<Prompt> questionnaireFault(const Questionnaire& answers, const Prompter& prompter);

// The login: takes the setting exactly as one of `settings`, takes the User
// ID, refuses a faulty plan before anything is written, then either
// registers a new participant (the questionnaire through `view`) or finds a
// known one without regard to letter case (who goes on under the stored
// spelling) and asks to resume after the highest trial recorded. A
// participant who has played every trial is refused. The participant is
// marked as playing on this workstation. In a team setting the participant
// then joins the team named (a full team refuses), and a member whose team
// trial was left in the middle goes on with it. Every refusal is said
// through the Prompter.
LoginResult logIn(GameServices& services, GameState& state, GameView& view,
                  const std::vector<std::string>& settings, const LoginRequest& request);

}  // namespace quarn
