#include "app/config/CFiltersDlg.h"

#include <QApplication>
#include <QMenu>

#include "app/config/CFiltersAddDlg.h"
#include "app/config/CFiltersEditDlg.h"
#include "app/config/RecordRows.h"
#include "app/shell/MessageBoxes.h"
#include "ui_CFiltersDlg.h"

CFiltersDlg::CFiltersDlg(CFilterArray& filters, QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CFiltersDlg>()),
      filters_(filters),
      menu_(new QMenu(this)) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Filter List"));
  setHelpFile(QStringLiteral("help_filter.txt"));
  setColumnWidths(ui_->filterList, {70, 130});
  ui_->filterList->setContextMenuPolicy(Qt::CustomContextMenu);
  menu_->addAction(QStringLiteral("reset list"), this, &CFiltersDlg::resetList);

  connect(ui_->addButton, &QPushButton::clicked, this, &CFiltersDlg::addFilter);
  connect(ui_->editButton, &QPushButton::clicked, this, &CFiltersDlg::editFilter);
  connect(ui_->deleteButton, &QPushButton::clicked, this, &CFiltersDlg::deleteFilter);
  connect(ui_->okButton, &QPushButton::clicked, this, &CFiltersDlg::accept);
  connect(ui_->filterList, &QTreeWidget::itemDoubleClicked, this, &CFiltersDlg::editFilter);
  connect(ui_->filterList, &QWidget::customContextMenuRequested, this,
          &CFiltersDlg::showContextMenu);
  ui_->okButton->setDefault(true);
  enableWhileSelected(ui_->filterList, {ui_->editButton, ui_->deleteButton});
  fill();
}

CFiltersDlg::~CFiltersDlg() = default;

void CFiltersDlg::fill() {
  std::vector<RecordRow> rows;
  for (int index = 0; index < filters_.GetSize(); ++index)
    rows.push_back({{QString::fromStdString(filters_[index].extension),
                     QString::fromStdString(filters_[index].description)},
                    index});
  fillRecordRows(ui_->filterList, std::move(rows), true);
}

void CFiltersDlg::addFilter() {
  CFiltersAddDlg add(filters_, this);
  if (add.exec() == QDialog::Accepted) fill();
}

void CFiltersDlg::editFilter() {
  const int index = markedRecordIndex(ui_->filterList);
  if (index < 0) return;
  CFiltersEditDlg edit(filters_, index, this);
  if (edit.exec() == QDialog::Accepted) fill();
}

void CFiltersDlg::deleteFilter() {
  const int index = markedRecordIndex(ui_->filterList);
  if (index < 0) return;
  filters_.RemoveAt(index);
  QApplication::beep();
  fill();
}

void CFiltersDlg::resetList() {
  if (!MessageBoxes::confirmDestructive(
          this, QStringLiteral("All filters will be deleted. Are you sure?")))
    return;
  filters_.resetToDefaults();
  fill();
}

void CFiltersDlg::showContextMenu(const QPoint& position) {
  menu_->popup(ui_->filterList->viewport()->mapToGlobal(position));
}
