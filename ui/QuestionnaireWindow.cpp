#include "ui/QuestionnaireWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/Numbers.h"
#include "base/Text.h"
#include "game/Login.h"
#include "ui/CaptionFit.h"
#include "ui/KeyFilter.h"

namespace quarn {

namespace {

// The answers offered; the records keep them in English, whatever the
// language the window shows them in.
const char* const kClasses[] = {QUARN_TRANSLATABLE("Questionnaire", "Freshmen"),
                                QUARN_TRANSLATABLE("Questionnaire", "Sophomore"),
                                QUARN_TRANSLATABLE("Questionnaire", "Junior"),
                                QUARN_TRANSLATABLE("Questionnaire", "Senior"),
                                QUARN_TRANSLATABLE("Questionnaire", "Graduate"),
                                QUARN_TRANSLATABLE("Questionnaire", "Other")};

const char* const kMajors[] = {
    QUARN_TRANSLATABLE("Questionnaire", "Art"),
    QUARN_TRANSLATABLE("Questionnaire", "Chemical Engineering"),
    QUARN_TRANSLATABLE("Questionnaire", "Civil & Environmental Engineering"),
    QUARN_TRANSLATABLE("Questionnaire", "Electrical & Computer Engineering"),
    QUARN_TRANSLATABLE("Questionnaire", "Engineering & Public Policy"),
    QUARN_TRANSLATABLE("Questionnaire", "Mechanical Engineering"),
    QUARN_TRANSLATABLE("Questionnaire", "Materials Science & Engineering"),
    QUARN_TRANSLATABLE("Questionnaire", "Architecture"),
    QUARN_TRANSLATABLE("Questionnaire", "Design"),
    QUARN_TRANSLATABLE("Questionnaire", "Drama"),
    QUARN_TRANSLATABLE("Questionnaire", "Music"),
    QUARN_TRANSLATABLE("Questionnaire", "Economics"),
    QUARN_TRANSLATABLE("Questionnaire", "English"),
    QUARN_TRANSLATABLE("Questionnaire", "History"),
    QUARN_TRANSLATABLE("Questionnaire", "Modern Languages"),
    QUARN_TRANSLATABLE("Questionnaire", "Philosophy"),
    QUARN_TRANSLATABLE("Questionnaire", "Psychology"),
    QUARN_TRANSLATABLE("Questionnaire", "Social & Decision Sciences"),
    QUARN_TRANSLATABLE("Questionnaire", "Statistics"),
    QUARN_TRANSLATABLE("Questionnaire", "Industrial Management"),
    QUARN_TRANSLATABLE("Questionnaire", "Biological Sciences"),
    QUARN_TRANSLATABLE("Questionnaire", "Chemistry"),
    QUARN_TRANSLATABLE("Questionnaire", "Mathematical Sciences"),
    QUARN_TRANSLATABLE("Questionnaire", "Physics"),
    QUARN_TRANSLATABLE("Questionnaire", "Computer Science"),
    QUARN_TRANSLATABLE("Questionnaire", "Other")};

const char* const kGenders[] = {QUARN_TRANSLATABLE("Questionnaire", "Male"),
                                QUARN_TRANSLATABLE("Questionnaire", "Female")};

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
  for (const char* item : items) {
    box->addItem(QCoreApplication::translate("Questionnaire", item), QString(item));
  }
  box->setCurrentIndex(-1);
  return box;
}

// A box left blank answers "Other". An offered answer is recorded in
// English; a typed one as typed.
std::string answerOf(QComboBox* box) {
  if (trimBlanks(box->currentText().toStdString()).empty()) {
    box->setCurrentIndex(box->findData(QString("Other")));
    box->setEditText(box->itemText(box->currentIndex()));
  }
  const int offered = box->findText(box->currentText(), Qt::MatchExactly);
  if (offered >= 0) return box->itemData(offered).toString().toStdString();
  return box->currentText().toStdString();
}

// A recorded answer as the box shows it.
QString shownAnswer(QComboBox* box, const std::string& answer) {
  const int offered = box->findData(QString::fromStdString(answer));
  return offered >= 0 ? box->itemText(offered) : QString::fromStdString(answer);
}

}  // namespace

QuestionnaireWindow::QuestionnaireWindow(Prompter& prompter, const std::string& subject,
                                         const std::optional<Questionnaire>& previous,
                                         QWidget* parent)
    : GuardedDialog(parent), m_prompter(prompter) {
  setObjectName("frmNewUser");
  setWindowTitle(tr("New User Questionaire"));
  setModal(true);

  auto* intro = namedLabel(
      "Label6", tr("Please provide some background information for our experiment."), this);
  auto* subjectTag = namedLabel("lblSubjectID", tr("Subject ID:"), this);
  auto* subjectLabel = namedLabel("lblSubject", QString::fromStdString(subject), this);
  auto* ageLabel = namedLabel("Label10", tr("Age:"), this);
  m_ageBox = new QLineEdit(this);
  m_ageBox->setObjectName("txtAge");
  // The age box takes typed digits only: no pasting or dropping past the
  // filter, and no more than two whatever way text comes in.
  m_ageBox->setContextMenuPolicy(Qt::NoContextMenu);
  m_ageBox->setAcceptDrops(false);
  m_ageBox->setMaxLength(2);
  auto* genders = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    m_genders[i] =
        new QRadioButton(QCoreApplication::translate("Questionnaire", kGenders[i]), this);
    m_genders[i]->setObjectName(QString("optGender_%1").arg(i));
    genders->addButton(m_genders[i], i);
  }
  auto* classLabel = namedLabel("Label4", tr("Class Status:"), this);
  m_classBox = namedList("cboClass", kClasses, this);
  auto* majorLabel = namedLabel("Label5", tr("Major:"), this);
  m_majorBox = namedList("cboMajor", kMajors, this);
  auto* okButton = new QPushButton(tr("OK"), this);
  okButton->setObjectName("cmdOK");
  okButton->setAutoDefault(false);
  auto* cancelButton = new QPushButton(tr("Cancel"), this);
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
  keepTitleWhole(*this);

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
  m_classBox->setEditText(shownAnswer(m_classBox, answers.schoolYear));
  m_majorBox->setEditText(shownAnswer(m_majorBox, answers.major));
}

void QuestionnaireWindow::takeAnswers() {
  Questionnaire answers;
  answers.schoolYear = answerOf(m_classBox);
  answers.major = answerOf(m_majorBox);
  for (size_t i = 0; i < m_genders.size(); ++i) {
    if (m_genders[i]->isChecked()) answers.gender = kGenders[i];
  }
  // The box takes two typed digits at most.
  const ParsedNumber age = parseNumber(m_ageBox->text().toStdString());
  if (age.kind == NumberKind::Number) answers.age = age.whole;
  if (const std::optional<Prompt> fault = questionnaireFault(answers, m_prompter)) {
    m_prompter.ask(*fault);
    return;
  }
  m_answers = answers;
  accept();
}

}  // namespace quarn
