#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <optional>
#include <string>

#include "base/Prompter.h"
#include "game/GameView.h"
#include "ui/GuardedDialog.h"

namespace quarn {

// The questionnaire of a new participant (frmNewUser): age, gender, class
// status and major. OK takes the answers once gender and age are given;
// the game stores them.
class QuestionnaireWindow : public GuardedDialog {
  Q_DECLARE_TR_FUNCTIONS(QuestionnaireWindow)

 public:
  // `previous` fills the boxes again after a row that could not be stored.
  QuestionnaireWindow(Prompter& prompter, const std::string& subject,
                      const std::optional<Questionnaire>& previous, QWidget* parent = nullptr);

  // Shows the window until OK or Cancel; the answers after OK.
  std::optional<Questionnaire> ask();

 private:
  void fillIn(const Questionnaire& answers);
  void takeAnswers();

  Prompter& m_prompter;
  QLineEdit* m_ageBox;
  std::array<QRadioButton*, 2> m_genders;
  QComboBox* m_classBox;
  QComboBox* m_majorBox;
  std::optional<Questionnaire> m_answers;
};

}  // namespace quarn
