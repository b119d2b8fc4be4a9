#include "app/media/CEditAnonymizeDataDlg.h"

#include <QLabel>
#include <QLineEdit>

#include "app/shell/MessageBoxes.h"
#include "ui_CEditAnonymizeDataDlg.h"

namespace {

const char kLimitProperty[] = "entryLimit";
const char kTextProperty[] = "entryText";

std::string orDefault(const QString& text, const char* fallback) {
  return text.isEmpty() ? std::string(fallback) : text.toStdString();
}

}  // namespace

CEditAnonymizeDataDlg::CEditAnonymizeDataDlg(AppSettings& settings, QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CEditAnonymizeDataDlg>()),
      settings_(settings),
      patientNameText_(settings.patientNameText) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Edit Anonymize Data"));
  setHelpFile(QStringLiteral("help_anonymize.txt"));

  ui_->anonymizePatientId->setChecked(settings_.anonymizePatientId != 0);
  ui_->anonymizedPatientId->setText(QString::fromStdString(settings_.anonymizedPatientId));
  ui_->anonymizePatientName->setChecked(settings_.anonymizePatientName != 0);
  ui_->anonymizePhysicians->setChecked(settings_.anonymizePhysicians != 0);
  ui_->physiciansName->setText(QString::fromStdString(settings_.physiciansName));
  ui_->anonymizeInstitution->setChecked(settings_.anonymizeInstitution != 0);
  ui_->institutionName->setText(QString::fromStdString(settings_.institutionName));
  ui_->anonymizeComments->setChecked(settings_.anonymizeComments != 0);
  ui_->birthdayToJanuaryFirst->setChecked(settings_.birthdayToJanuaryFirst != 0);
  ui_->datesToCurrentDate->setChecked(settings_.datesToCurrentDate != 0);
  // Wrapped notes of a set width, so that the dialog knows their height before it shows.
  for (QLabel* note : {ui_->patientIdNote, ui_->mergeWarning}) {
    note->setFixedWidth(note->fontMetrics().averageCharWidth() * 64);
    note->setMinimumHeight(note->heightForWidth(note->width()));
  }
  limitEntry(ui_->anonymizedPatientId, 64);
  limitEntry(ui_->physiciansName, 127);
  limitEntry(ui_->institutionName, 127);

  connect(ui_->okButton, &QPushButton::clicked, this, &CEditAnonymizeDataDlg::accept);
  ui_->okButton->setDefault(true);
}

CEditAnonymizeDataDlg::~CEditAnonymizeDataDlg() = default;

void CEditAnonymizeDataDlg::limitEntry(QLineEdit* field, int limit) {
  // QLineEdit's own maximum would cut a longer loaded text silently.
  field->setProperty(kLimitProperty, limit);
  field->setProperty(kTextProperty, field->text());
  connect(field, &QLineEdit::textEdited, this, [field, limit](const QString& text) {
    const QString before = field->property(kTextProperty).toString();
    if (text.size() > limit && text.size() > before.size()) {
      const int cursor = field->cursorPosition() - int(text.size() - before.size());
      field->setText(before);
      field->setCursorPosition(cursor);
      return;
    }
    field->setProperty(kTextProperty, text);
  });
}

bool CEditAnonymizeDataDlg::withinLimit(QLineEdit* field) {
  const int limit = field->property(kLimitProperty).toInt();
  if (field->text().size() <= limit) return true;
  MessageBoxes::show(this, QStringLiteral("Please enter no more than %1 characters.").arg(limit),
                     MessageBoxes::Icon::Information);
  field->setFocus();
  field->selectAll();
  return false;
}

void CEditAnonymizeDataDlg::accept() {
  for (QLineEdit* field : {ui_->anonymizedPatientId, ui_->physiciansName, ui_->institutionName})
    if (!withinLimit(field)) return;

  settings_.anonymizePatientId = ui_->anonymizePatientId->isChecked() ? 1 : 0;
  settings_.anonymizePatientName = ui_->anonymizePatientName->isChecked() ? 1 : 0;
  settings_.anonymizePhysicians = ui_->anonymizePhysicians->isChecked() ? 1 : 0;
  settings_.anonymizeInstitution = ui_->anonymizeInstitution->isChecked() ? 1 : 0;
  settings_.anonymizeComments = ui_->anonymizeComments->isChecked() ? 1 : 0;
  settings_.birthdayToJanuaryFirst = ui_->birthdayToJanuaryFirst->isChecked() ? 1 : 0;
  settings_.datesToCurrentDate = ui_->datesToCurrentDate->isChecked() ? 1 : 0;

  settings_.anonymizedPatientId = orDefault(ui_->anonymizedPatientId->text(), "00000001");
  settings_.patientNameText =
      orDefault(QString::fromStdString(patientNameText_), "Anonymized by KALVORA");
  settings_.physiciansName = orDefault(ui_->physiciansName->text(), "Anonymized");
  settings_.institutionName = orDefault(ui_->institutionName->text(), "Anonymized");
  KalvoraDialog::accept();
}
