#pragma once

#include <QStringList>

#include <initializer_list>
#include <vector>

#include "config/CStationArray.h"

class QComboBox;
class QWidget;
class QTreeWidget;

// The list views and drop-downs of the configuration dialogs show records in an order of
// their own while each row keeps the array index of its record, so that editing and
// deleting always act on the record the row shows.

struct RecordRow {
  QStringList columns;
  int index = 0;  // in the record array
};

// Gives the columns their widths, or more where a header text needs it.
void setColumnWidths(QTreeWidget* list, std::initializer_list<int> widths);
// Replaces the rows; `sortByFirstColumn` orders them by their first column, ignoring case.
void fillRecordRows(QTreeWidget* list, std::vector<RecordRow> rows, bool sortByFirstColumn);
// The array index of the row with the selection mark; -1 when no row is selected.
int markedRecordIndex(const QTreeWidget* list);
// Keeps `buttons` (Edit, Delete) enabled only while a row of `list` is selected.
void enableWhileSelected(QTreeWidget* list, std::initializer_list<QWidget*> buttons);
// Row of `list` that shows the record at `index`; -1 when none.
int rowOfRecord(const QTreeWidget* list, int index);

// One entry per station alias, sorted, each carrying its station's index.
void fillStationChoices(QComboBox* box, const CStationArray& stations);
// Selects the entry that carries `stationIndex`; none when no entry does.
void selectStationChoice(QComboBox* box, int stationIndex);
// Station index of the selected entry; -1 when none is selected.
int selectedStationChoice(const QComboBox* box);
