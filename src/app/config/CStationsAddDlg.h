#pragma once

#include "app/config/StationFieldsDlg.h"
#include "config/CStationArray.h"

// Appends a station whose alias the list does not hold yet.
class CStationsAddDlg : public StationFieldsDlg {
  Q_OBJECT
 public:
  CStationsAddDlg(CStationArray& stations, const AppSettings& settings, QWidget* parent = nullptr,
                  const StationTlsStore* tlsStore = nullptr);

  void accept() override;

 private:
  CStationArray& stations_;
};
