#include "app/config/CPasswordDlg.h"

#include "app/shell/MessageBoxes.h"
#include "config/ConfigurationPassword.h"
#include "ui_CPasswordDlg.h"

CPasswordDlg::CPasswordDlg(QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CPasswordDlg>()) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Security"));
  setMoveByBackground(false);
  connect(ui_->okButton, &QPushButton::clicked, this, &CPasswordDlg::accept);
  ui_->okButton->setDefault(true);
  ui_->password->setFocus();
}

CPasswordDlg::~CPasswordDlg() = default;

void CPasswordDlg::accept() {
  if (configurationPasswordMatches(ui_->password->text().toStdString())) {
    KalvoraDialog::accept();
    return;
  }
  MessageBoxes::show(this, QStringLiteral("Password not valid!!! Please, try again."));
  ui_->password->clear();
  ui_->password->setFocus();
}
