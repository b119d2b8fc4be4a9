#include "app/config/CStationsErrorDlg.h"

#include "app/config/RecordRows.h"
#include "app/shell/DialogFields.h"
#include "app/shell/MessageBoxes.h"
#include "ui_CStationsErrorDlg.h"

CStationsErrorDlg::CStationsErrorDlg(const CStationArray& stations, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::CStationsErrorDlg>()), stations_(stations) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - No station selected"));
  setHelpFile(QStringLiteral("help_error.txt"));

  fillStationChoices(ui_->stationList, stations);

  if (stations.GetSize() == 0) {
    ui_->manualChoice->setChecked(true);
    ui_->stationList->setEnabled(false);
  } else {
    ui_->definedChoice->setChecked(true);
  }
  ui_->port->setText(QStringLiteral("0"));
  connect(ui_->okButton, &QPushButton::clicked, this, &CStationsErrorDlg::accept);
  ui_->okButton->setDefault(true);
}

CStationsErrorDlg::~CStationsErrorDlg() = default;

void CStationsErrorDlg::accept() {
  int port = 0;
  if (!readIntegerField(ui_->port, 0, 65000, port)) return;
  if (ui_->definedChoice->isChecked()) {
    const int index = selectedStationChoice(ui_->stationList);
    if (index < 0) {
      MessageBoxes::show(this, QStringLiteral("No station selected. Please, select a station."));
      return;
    }
    choiceKind_ = 0;
    stationIndex_ = index;
    const CStation& station = stations_[stationIndex_];
    choice_ = {station.aeTitle, station.host, station.port};
  } else {
    const std::string aeTitle = ui_->aeTitle->text().toStdString();
    const std::string host = ui_->address->text().toStdString();
    if (aeTitle.empty() || host.empty()) {
      MessageBoxes::show(this, QStringLiteral("Error in data. AETitle or Address is empty."));
      return;
    }
    choiceKind_ = 1;
    stationIndex_ = -1;
    choice_ = {aeTitle, host, port};
  }
  KalvoraDialog::accept();
}
