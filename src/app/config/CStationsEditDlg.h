#pragma once

#include "app/config/StationFieldsDlg.h"
#include "config/CStationArray.h"

// Replaces the station at one array index.
class CStationsEditDlg : public StationFieldsDlg {
  Q_OBJECT
 public:
  CStationsEditDlg(CStationArray& stations, int index, const AppSettings& settings,
                   QWidget* parent = nullptr, const StationTlsStore* tlsStore = nullptr);

  void accept() override;

 private:
  CStationArray& stations_;
  int index_;
};
