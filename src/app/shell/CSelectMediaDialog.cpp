#include "app/shell/CSelectMediaDialog.h"

#include "ui_CSelectMediaDialog.h"

CSelectMediaDialog::CSelectMediaDialog(const std::vector<std::string>& driveRoots, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CSelectMediaDialog>()) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora"));
  for (const std::string& root : driveRoots) ui_->drive->addItem(QString::fromStdString(root));
  if (ui_->drive->count() > 0) ui_->drive->setCurrentIndex(0);
  ui_->okButton->setDefault(true);
  connect(ui_->okButton, &QPushButton::clicked, this, &CSelectMediaDialog::accept);
}

CSelectMediaDialog::~CSelectMediaDialog() = default;

void CSelectMediaDialog::accept() {
  selectedRoot_ = ui_->drive->count() > 0 ? ui_->drive->currentText().toStdString() : "";
  KalvoraDialog::accept();
}
