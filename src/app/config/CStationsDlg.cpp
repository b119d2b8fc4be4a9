#include "app/config/CStationsDlg.h"

#include <QApplication>

#include "app/config/CStationsAddDlg.h"
#include "app/config/CStationsEditDlg.h"
#include "app/config/RecordRows.h"
#include "app/shell/MessageBoxes.h"
#include "ui_CStationsDlg.h"

CStationsDlg::CStationsDlg(CStationArray& stations, AppSettings& settings, QWidget* parent,
                           const StationTlsStore* tlsStore)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CStationsDlg>()),
      stations_(stations),
      settings_(settings),
      tlsStore_(tlsStore) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - DICOM station list"));
  setHelpFile(QStringLiteral("help_stations.txt"));
  setColumnWidths(ui_->stationList, {120, 100, 130, 60});

  connect(ui_->addButton, &QPushButton::clicked, this, &CStationsDlg::addStation);
  connect(ui_->editButton, &QPushButton::clicked, this, &CStationsDlg::editStation);
  connect(ui_->deleteButton, &QPushButton::clicked, this, &CStationsDlg::deleteStation);
  connect(ui_->okButton, &QPushButton::clicked, this, &CStationsDlg::accept);
  connect(ui_->stationList, &QTreeWidget::itemDoubleClicked, this, &CStationsDlg::editStation);
  ui_->okButton->setDefault(true);
  enableWhileSelected(ui_->stationList, {ui_->editButton, ui_->deleteButton});
  fill();
}

CStationsDlg::~CStationsDlg() = default;

void CStationsDlg::fill() {
  std::vector<RecordRow> rows;
  for (int index = 0; index < stations_.GetSize(); ++index) {
    const CStation& station = stations_[index];
    rows.push_back({{QString::fromStdString(station.alias), QString::fromStdString(station.aeTitle),
                     QString::fromStdString(station.host), QString::number(station.port)},
                    index});
  }
  fillRecordRows(ui_->stationList, std::move(rows), true);
}

void CStationsDlg::addStation() {
  CStationsAddDlg add(stations_, settings_, this, tlsStore_);
  if (add.exec() == QDialog::Accepted) fill();
}

void CStationsDlg::editStation() {
  const int index = markedRecordIndex(ui_->stationList);
  if (index < 0) return;
  CStationsEditDlg edit(stations_, index, settings_, this, tlsStore_);
  if (edit.exec() == QDialog::Accepted) fill();
}

void CStationsDlg::deleteStation() {
  const int index = markedRecordIndex(ui_->stationList);
  if (index < 0) return;
  const auto told = stations_.removeStation(index, settings_.standardDestination);
  QApplication::beep();
  fill();
  if (told) MessageBoxes::show(this, QString::fromStdString(*told), MessageBoxes::Icon::Warning);
}
