#include "app/config/CDicomDlg.h"

#include "app/shell/DialogFields.h"
#include "ui_CDicomDlg.h"

CDicomDlg::CDicomDlg(AppSettings& settings, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CDicomDlg>()), settings_(settings) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - DICOM options"));
  setHelpFile(QStringLiteral("help_dicom.txt"));
  ui_->aeTitle->setText(QString::fromStdString(settings_.callingAeTitle));
  ui_->maxPduSize->setText(QString::number(settings_.maxPduSize));
  ui_->timeout->setText(QString::number(settings_.timeoutMs));
  ui_->correctSpacePaddedUids->setChecked(settings_.correctSpacePaddedUids != 0);
  ui_->proposeRequiredContextsOnly->setChecked(settings_.proposeRequiredContextsOnly != 0);
  connect(ui_->okButton, &QPushButton::clicked, this, &CDicomDlg::accept);
  ui_->okButton->setDefault(true);
}

CDicomDlg::~CDicomDlg() = default;

void CDicomDlg::accept() {
  int maxPduSize = 0;
  int timeoutMs = 0;
  if (!readIntegerField(ui_->maxPduSize, kMaxPduSizeMin, kMaxPduSizeMax, maxPduSize)) return;
  if (!readIntegerField(ui_->timeout, kTimeoutMsMin, kTimeoutMsMax, timeoutMs)) return;
  const std::string aeTitle = ui_->aeTitle->text().toStdString();
  if (aeTitle.empty()) {
    // Stays open without a word, as it always did; the empty field says enough.
    ui_->aeTitle->setFocus();
    return;
  }
  settings_.callingAeTitle = aeTitle;
  settings_.maxPduSize = maxPduSize;
  settings_.timeoutMs = timeoutMs;
  settings_.correctSpacePaddedUids = ui_->correctSpacePaddedUids->isChecked() ? 1 : 0;
  settings_.proposeRequiredContextsOnly = ui_->proposeRequiredContextsOnly->isChecked() ? 1 : 0;
  KalvoraDialog::accept();
}
