#include "app/shell/CSelectMediaDialog.h"

#include "app/shell/MessageBoxes.h"
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
  // Nothing to read: say so rather than close as if a reading had started.
  if (ui_->drive->count() == 0) {
    MessageBoxes::show(this,
                       QStringLiteral("There is no medium in an optical drive. Insert one "
                                      "and wait until it is mounted, then try again."),
                       MessageBoxes::Icon::Information);
    return;
  }
  selectedRoot_ = ui_->drive->currentText().toStdString();
  KalvoraDialog::accept();
}
