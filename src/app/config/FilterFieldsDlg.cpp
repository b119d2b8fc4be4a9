#include "app/config/FilterFieldsDlg.h"

#include "app/shell/MessageBoxes.h"
#include "ui_FilterFields.h"

FilterFieldsDlg::FilterFieldsDlg(const QString& title, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::FilterFields>()) {
  ui_->setupUi(body());
  setTitle(title);
  connect(ui_->okButton, &QPushButton::clicked, this, &FilterFieldsDlg::accept);
  ui_->okButton->setDefault(true);
  ui_->extension->setFocus();
}

FilterFieldsDlg::~FilterFieldsDlg() = default;

void FilterFieldsDlg::showFilter(const CFilter& filter) {
  ui_->extension->setText(QString::fromStdString(filter.extension));
  ui_->description->setText(QString::fromStdString(filter.description));
}

CFilter FilterFieldsDlg::typedFilter() const {
  return {ui_->extension->text().toStdString(), ui_->description->text().toStdString()};
}

void FilterFieldsDlg::refuse(const std::string& message) {
  MessageBoxes::show(this, QString::fromStdString(message));
  ui_->extension->setFocus();
}
