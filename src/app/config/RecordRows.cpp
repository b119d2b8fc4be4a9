#include "app/config/RecordRows.h"

#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>

#include <algorithm>

namespace {

bool sortsBefore(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) < 0;
}

}  // namespace

void setColumnWidths(QTreeWidget* list, std::initializer_list<int> widths) {
  int column = 0;
  int total = 0;
  for (int width : widths) {
    const int shown = std::max(width, list->header()->sectionSizeHint(column));
    list->setColumnWidth(column++, shown);
    total += shown;
  }
  // Every column in view without scrolling sideways.
  list->setMinimumWidth(total + 2 * list->frameWidth() +
                        list->verticalScrollBar()->sizeHint().width());
}

void fillRecordRows(QTreeWidget* list, std::vector<RecordRow> rows, bool sortByFirstColumn) {
  if (sortByFirstColumn)
    std::stable_sort(rows.begin(), rows.end(), [](const RecordRow& a, const RecordRow& b) {
      return sortsBefore(a.columns.value(0), b.columns.value(0));
    });
  list->clear();
  for (const RecordRow& row : rows) {
    auto* item = new QTreeWidgetItem(list, row.columns);
    item->setData(0, Qt::UserRole, row.index);
  }
}

int markedRecordIndex(const QTreeWidget* list) {
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return -1;
  // Of several highlighted rows, the one with the mark (the current row) counts.
  const QTreeWidgetItem* marked = list->currentItem();
  if (!marked || !marked->isSelected()) marked = selected.first();
  return marked->data(0, Qt::UserRole).toInt();
}

void enableWhileSelected(QTreeWidget* list, std::initializer_list<QWidget*> buttons) {
  const auto update = [list, buttons = std::vector<QWidget*>(buttons)] {
    const bool selected = markedRecordIndex(list) >= 0;
    for (QWidget* button : buttons) button->setEnabled(selected);
  };
  QObject::connect(list, &QTreeWidget::itemSelectionChanged, list, update);
  QObject::connect(list->model(), &QAbstractItemModel::modelReset, list, update);
  QObject::connect(list->model(), &QAbstractItemModel::rowsRemoved, list, update);
  QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, update);
  update();
}

int rowOfRecord(const QTreeWidget* list, int index) {
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    if (list->topLevelItem(row)->data(0, Qt::UserRole).toInt() == index) return row;
  return -1;
}

void fillStationChoices(QComboBox* box, const CStationArray& stations) {
  std::vector<int> order;
  for (int index = 0; index < stations.GetSize(); ++index) order.push_back(index);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return sortsBefore(QString::fromStdString(stations[a].alias),
                       QString::fromStdString(stations[b].alias));
  });
  box->clear();
  for (int index : order) box->addItem(QString::fromStdString(stations[index].alias), index);
  box->setCurrentIndex(-1);
}

void selectStationChoice(QComboBox* box, int stationIndex) {
  box->setCurrentIndex(box->findData(stationIndex));
}

int selectedStationChoice(const QComboBox* box) {
  return box->currentIndex() < 0 ? -1 : box->currentData().toInt();
}
