#include "app/media/CQueryNewPatientIDDlg.h"

#include "app/media/PatientMatchPanel.h"
#include "app/shell/Icons.h"
#include "app/shell/MessageBoxes.h"
#include "ui_CQueryNewPatientIDDlg.h"

namespace {

// YYYYMMDD reads better day first; anything else is shown as it is.
QString birthDateForDisplay(const std::string& date) {
  const QString text = QString::fromStdString(date);
  if (text.size() != 8) return text;
  return text.mid(6, 2) + QLatin1Char('/') + text.mid(4, 2) + QLatin1Char('/') + text.left(4);
}

}  // namespace

CQueryNewPatientIDDlg::CQueryNewPatientIDDlg(const NewPatientDataQuestion& current, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CQueryNewPatientIDDlg>()), current_(current) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora"));
  setHelpFile(QStringLiteral("help_newpatientdata.txt"));

  ui_->currentPatientId->setText(QString::fromStdString(current.patientId));
  ui_->currentAccessionNumber->setText(QString::fromStdString(current.accessionNumber));
  ui_->currentPatientName->setText(QString::fromStdString(current.patientName));
  ui_->currentBirthDate->setText(birthDateForDisplay(current.birthDate));
  ui_->currentModality->setText(QString::fromStdString(current.modality));

  for (QAbstractButton* copy :
       {ui_->copyPatientId, ui_->copyAccessionNumber, ui_->copyPatientName}) {
    copy->setIcon(Icons::next());
    copy->setIconSize(QSize(12, 12));
  }
  connect(ui_->copyPatientId, &QToolButton::clicked, this,
          [this] { ui_->newPatientId->setText(ui_->currentPatientId->text()); });
  connect(ui_->copyAccessionNumber, &QToolButton::clicked, this,
          [this] { ui_->newAccessionNumber->setText(ui_->currentAccessionNumber->text()); });
  connect(ui_->copyPatientName, &QToolButton::clicked, this,
          [this] { ui_->newPatientName->setText(ui_->currentPatientName->text()); });
  connect(ui_->okButton, &QPushButton::clicked, this, &CQueryNewPatientIDDlg::accept);
  ui_->okButton->setDefault(true);
  ui_->newPatientId->setFocus();
}

CQueryNewPatientIDDlg::~CQueryNewPatientIDDlg() = default;

NewPatientDataAnswer CQueryNewPatientIDDlg::answer() const {
  NewPatientDataAnswer answer{ui_->newPatientId->text().toStdString(),
                              ui_->newAccessionNumber->text().toStdString(),
                              ui_->newPatientName->text().toStdString(), ""};
  if (chosen_ && matchPanel_ && matchPanel_->station() && answer.newPatientId == chosen_->patientId)
    answer.chosenMatch = describeChosenMatch(*chosen_, *matchPanel_->station());
  return answer;
}

void CQueryNewPatientIDDlg::offerPatientQuery(PatientQueryOffer offer) {
  if (matchPanel_) return;
  const PatientQueryKeys keys{familyNameOf(current_.patientName), current_.birthDate, current_.sex};
  matchPanel_ = new PatientMatchPanel(std::move(offer), keys, this);
  // Between the new data and the OK button.
  ui_->mainLayout->insertWidget(ui_->mainLayout->indexOf(ui_->newGroup) + 1, matchPanel_);
  connect(matchPanel_, &PatientMatchPanel::matchChosen, this, &CQueryNewPatientIDDlg::useMatch);
}

void CQueryNewPatientIDDlg::useMatch(const PatientMatch& match) {
  chosen_ = match;
  ui_->newPatientId->setText(QString::fromStdString(match.patientId));
  // A patient found in the PACS has no accession number: what is typed stays.
  if (!match.accessionNumber.empty())
    ui_->newAccessionNumber->setText(QString::fromStdString(match.accessionNumber));
  ui_->newPatientName->setText(QString::fromStdString(match.patientName));
}

void CQueryNewPatientIDDlg::accept() {
  if (ui_->newPatientId->text().isEmpty()) {
    MessageBoxes::show(this,
                       QStringLiteral("Patient ID is empty but have to contain data!\nPlease, "
                                      "fill in a patient ID into the field."),
                       MessageBoxes::Icon::Question);
    ui_->newPatientId->setFocus();
    return;
  }
  KalvoraDialog::accept();
}
