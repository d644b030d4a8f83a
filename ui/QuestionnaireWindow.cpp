#include "ui/QuestionnaireWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/Numbers.h"
#include "base/Text.h"
#include "ui/KeyFilter.h"

namespace quarn {

namespace {

const char* const kClasses[] = {"Freshmen", "Sophomore", "Junior", "Senior", "Graduate", "Other"};

const char* const kMajors[] = {"Art",
                               "Chemical Engineering",
                               "Civil & Environmental Engineering",
                               "Electrical & Computer Engineering",
                               "Engineering & Public Policy",
                               "Mechanical Engineering",
                               "Materials Science & Engineering",
                               "Architecture",
                               "Design",
                               "Drama",
                               "Music",
                               "Economics",
                               "English",
                               "History",
                               "Modern Languages",
                               "Philosophy",
                               "Psychology",
                               "Social & Decision Sciences",
                               "Statistics",
                               "Industrial Management",
                               "Biological Sciences",
                               "Chemistry",
                               "Mathematical Sciences",
                               "Physics",
                               "Computer Science",
                               "Other"};

const char* const kGenders[] = {"Male", "Female"};

QLabel* namedLabel(const char* name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

template <size_t N>
QComboBox* namedList(const char* name, const char* const (&items)[N], QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char* item : items) box->addItem(item);
  box->setCurrentIndex(-1);
  return box;
}

// A box left blank answers "Other".
std::string answerOf(QComboBox* box) {
  if (trimBlanks(box->currentText().toStdString()).empty()) {
    box->setCurrentIndex(box->findText("Other"));
    box->setEditText("Other");
  }
  return box->currentText().toStdString();
}

}  // namespace

QuestionnaireWindow::QuestionnaireWindow(Prompter& prompter, const std::string& subject,
                                         const std::optional<Questionnaire>& previous,
                                         QWidget* parent)
    : GuardedDialog(parent), m_prompter(prompter) {
  setObjectName("frmNewUser");
  setWindowTitle("New User Questionaire");
  setModal(true);

  auto* intro =
      namedLabel("Label6", "Please provide some background information for our experiment.", this);
  auto* subjectTag = namedLabel("lblSubjectID", "Subject ID:", this);
  auto* subjectLabel = namedLabel("lblSubject", QString::fromStdString(subject), this);
  auto* ageLabel = namedLabel("Label10", "Age:", this);
  m_ageBox = new QLineEdit(this);
  m_ageBox->setObjectName("txtAge");
  // The age box takes typed digits only: no pasting or dropping past the
  // filter, and no more than two whatever way text comes in.
  m_ageBox->setContextMenuPolicy(Qt::NoContextMenu);
  m_ageBox->setAcceptDrops(false);
  m_ageBox->setMaxLength(2);
  auto* genders = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    m_genders[i] = new QRadioButton(kGenders[i], this);
    m_genders[i]->setObjectName(QString("optGender_%1").arg(i));
    genders->addButton(m_genders[i], i);
  }
  auto* classLabel = namedLabel("Label4", "Class Status:", this);
  m_classBox = namedList("cboClass", kClasses, this);
  auto* majorLabel = namedLabel("Label5", "Major:", this);
  m_majorBox = namedList("cboMajor", kMajors, this);
  auto* okButton = new QPushButton("OK", this);
  okButton->setObjectName("cmdOK");
  okButton->setAutoDefault(false);
  auto* cancelButton = new QPushButton("Cancel", this);
  cancelButton->setObjectName("cmdCancel");
  cancelButton->setAutoDefault(false);

  auto* outer = new QVBoxLayout(this);
  outer->addWidget(intro);
  auto* grid = new QGridLayout();
  grid->addWidget(subjectTag, 0, 0);
  grid->addWidget(subjectLabel, 0, 1);
  grid->addWidget(ageLabel, 1, 0);
  grid->addWidget(m_ageBox, 1, 1);
  auto* genderRow = new QHBoxLayout();
  genderRow->addWidget(m_genders[0]);
  genderRow->addWidget(m_genders[1]);
  genderRow->addStretch();
  grid->addLayout(genderRow, 2, 1);
  grid->addWidget(classLabel, 3, 0);
  grid->addWidget(m_classBox, 3, 1);
  grid->addWidget(majorLabel, 4, 0);
  grid->addWidget(m_majorBox, 4, 1);
  outer->addLayout(grid);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  outer->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, [this] { guard([this] { takeAnswers(); }); });
  connect(cancelButton, &QPushButton::clicked, this, [this] { reject(); });
  new KeyFilter(m_ageBox, [this](const TypedKey& key) {
    if (key.kind == TypedKey::Kind::Backspace) return false;
    if (key.isDigit()) return m_ageBox->text().size() >= 2 && !m_ageBox->hasSelectedText();
    if (key.kind == TypedKey::Kind::Enter) guard([this] { takeAnswers(); });
    return true;
  });
  if (previous) fillIn(*previous);
}

std::optional<Questionnaire> QuestionnaireWindow::ask() {
  m_answers.reset();
  runModal();
  return m_answers;
}

void QuestionnaireWindow::fillIn(const Questionnaire& answers) {
  if (answers.age) m_ageBox->setText(QString::number(*answers.age));
  for (int i = 0; i < 2; ++i) m_genders[i]->setChecked(answers.gender == kGenders[i]);
  m_classBox->setEditText(QString::fromStdString(answers.schoolYear));
  m_majorBox->setEditText(QString::fromStdString(answers.major));
}

void QuestionnaireWindow::takeAnswers() {
  Questionnaire answers;
  answers.schoolYear = answerOf(m_classBox);
  answers.major = answerOf(m_majorBox);
  if (!m_genders[0]->isChecked() && !m_genders[1]->isChecked()) {
    m_prompter.ask("Please indicate gender", PromptStyle::OkWarning, "Gender Missing",
                   PromptKind::QuestionnaireIncomplete);
    return;
  }
  // The box takes two typed digits at most.
  const ParsedNumber age = parseNumber(m_ageBox->text().toStdString());
  if (age.kind != NumberKind::Number || age.value < 5) {
    m_prompter.ask("Please enter your age (I know you're older than 5)", PromptStyle::OkWarning,
                   "Age Missing or Invalid", PromptKind::QuestionnaireIncomplete);
    return;
  }
  answers.age = age.whole;
  answers.gender = m_genders[0]->isChecked() ? kGenders[0] : kGenders[1];
  m_answers = answers;
  accept();
}

}  // namespace quarn
