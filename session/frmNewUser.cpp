#include "session/frmNewUser.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cctype>

#include "base/Numbers.h"
#include "base/Text.h"

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

QLabel* NamedLabel(const char* name, const char* caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

QComboBox* NamedCombo(const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  return box;
}

void OtherIfBlank(QComboBox* box) {
  if (trimBlanks(box->currentText().toStdString()).empty()) {
    box->setCurrentIndex(box->findText("Other"));
    box->setEditText("Other");
  }
}

}  // namespace

frmNewUser::frmNewUser(Game& game, QWidget* parent) : SessionDialog(parent), game_(game) {
  setObjectName("frmNewUser");
  setWindowTitle("New User Questionaire");
  setModal(true);

  Label6 =
      NamedLabel("Label6", "Please provide some background information for our experiment.", this);
  lblSubjectID = NamedLabel("lblSubjectID", "Subject ID:", this);
  lblSubject = NamedLabel("lblSubject", "", this);
  Label10 = NamedLabel("Label10", "Age:", this);
  txtAge = new QLineEdit(this);
  txtAge->setObjectName("txtAge");
  // The age box takes typed digits only: no pasting or dropping past the
  // filter, and no more than two whatever way text comes in.
  txtAge->setContextMenuPolicy(Qt::NoContextMenu);
  txtAge->setAcceptDrops(false);
  txtAge->setMaxLength(2);
  optGender[0] = new QRadioButton("Male", this);
  optGender[0]->setObjectName("optGender_0");
  optGender[1] = new QRadioButton("Female", this);
  optGender[1]->setObjectName("optGender_1");
  auto* genders = new QButtonGroup(this);
  genders->addButton(optGender[0], 0);
  genders->addButton(optGender[1], 1);
  Label4 = NamedLabel("Label4", "Class Status:", this);
  cboClass = NamedCombo("cboClass", this);
  Label5 = NamedLabel("Label5", "Major:", this);
  cboMajor = NamedCombo("cboMajor", this);
  cmdOK = new QPushButton("OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setAutoDefault(false);
  cmdCancel = new QPushButton("Cancel", this);
  cmdCancel->setObjectName("cmdCancel");
  cmdCancel->setAutoDefault(false);

  auto* outer = new QVBoxLayout(this);
  outer->addWidget(Label6);
  auto* grid = new QGridLayout();
  grid->addWidget(lblSubjectID, 0, 0);
  grid->addWidget(lblSubject, 0, 1);
  grid->addWidget(Label10, 1, 0);
  grid->addWidget(txtAge, 1, 1);
  auto* genderRow = new QHBoxLayout();
  genderRow->addWidget(optGender[0]);
  genderRow->addWidget(optGender[1]);
  genderRow->addStretch();
  grid->addLayout(genderRow, 2, 1);
  grid->addWidget(Label4, 3, 0);
  grid->addWidget(cboClass, 3, 1);
  grid->addWidget(Label5, 4, 0);
  grid->addWidget(cboMajor, 4, 1);
  outer->addLayout(grid);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  outer->addLayout(buttons);

  connect(cmdOK, &QPushButton::clicked, this, [this] { Guard([this] { cmdOK_Click(); }); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  new KeyPressFilter(txtAge, [this](int ascii, QKeyEvent*) {
    if (ascii == 8) return false;
    if (ascii >= '0' && ascii <= '9')
      return txtAge->text().size() >= 2 && !txtAge->hasSelectedText();
    if (ascii == 13) Guard([this] { cmdOK_Click(); });
    return true;
  });
}

void frmNewUser::Form_Load() {
  for (const char* major : kMajors) cboMajor->addItem(major);
  for (const char* status : kClasses) cboClass->addItem(status);
  cboMajor->setCurrentIndex(-1);
  cboClass->setCurrentIndex(-1);
  lblSubject->setText(QString::fromStdString(game_.identity.SubjectID));
}

void frmNewUser::cmdCancel_Click() {
  reject();
}

void frmNewUser::cmdOK_Click() {
  Prompter& toolkit = game_.services.prompter;
  OtherIfBlank(cboClass);
  OtherIfBlank(cboMajor);

  if (!optGender[0]->isChecked() && !optGender[1]->isChecked()) {
    toolkit.ask("Please indicate gender", PromptStyle::OkWarning, "Gender Missing");
    return;
  }
  // The box takes two typed digits at most.
  const std::string age = txtAge->text().toStdString();
  const ParsedNumber ageNumber = parseNumber(age);
  if (ageNumber.kind != NumberKind::Number || ageNumber.value < 5) {
    toolkit.ask("Please enter your age (I know you're older than 5)", PromptStyle::OkWarning,
                "Age Missing or Invalid");
    return;
  }

  ParticipantRow row;
  row.subject = game_.identity.SubjectID;
  row.setting = game_.identity.SettingName;
  row.age = ageNumber.whole;
  row.gender = optGender[0]->isChecked() ? "Male" : "Female";
  row.schoolYear = cboClass->currentText().toStdString();
  row.major = cboMajor->currentText().toStdString();
  try {
    game_.services.db.registerParticipant(row);
  } catch (const QuarnError& failure) {
    // Nothing was stored: the row is committed with its write only. The
    // window stays open with the entries as typed, so the moderator can try
    // again.
    toolkit.ask("The participant could not be registered.\r\nError " +
                    std::to_string(failure.number()) + ": " + failure.description(),
                PromptStyle::OkWarning, "New User Questionaire");
    return;
  }

  Registered = true;
  accept();
}

}  // namespace quarn
