#include "app/help/CHelpDlg.h"

#include "app/help/HelpFiles.h"
#include "app/shell/Icons.h"
#include "config/ProductVersion.h"
#include "ui_CHelpDlg.h"

CHelpDlg::CHelpDlg(QWidget* parent, const QString& helpFile)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CHelpDlg>()) {
  ui_->setupUi(body());
  setWindowTitle(QStringLiteral("Kalvora - Help"));
  ui_->logo->setPixmap(Icons::logo(devicePixelRatioF()));
  ui_->heading->setText(
      QStringLiteral("%1 %2").arg(QLatin1String(kProductName), QLatin1String(kProductVersion)));
  ui_->text->setPlainText(loadHelpText(helpFile).value_or(QStringLiteral("No help available.")));
  ui_->closeButton->setDefault(true);
  connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
  resize(560, 500);
}

CHelpDlg::~CHelpDlg() = default;

QString CHelpDlg::heading() const { return ui_->heading->text(); }

QString CHelpDlg::helpText() const { return ui_->text->toPlainText(); }
