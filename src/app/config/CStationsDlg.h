#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/AppSettings.h"
#include "config/CStationArray.h"

struct StationTlsStore;

namespace Ui {
class CStationsDlg;
}

// The DICOM stations, sorted by alias; edits the array in place.
class CStationsDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  // `settings` gives the station test its calling AE title, time-out and PDU size; its
  // standard destination stays on its station as stations are deleted. The add and edit
  // dialogs keep each station's TLS in `tlsStore` (none: nothing is kept).
  CStationsDlg(CStationArray& stations, AppSettings& settings, QWidget* parent = nullptr,
               const StationTlsStore* tlsStore = nullptr);
  ~CStationsDlg() override;

  void addStation();
  void editStation();
  void deleteStation();

 private:
  void fill();

  std::unique_ptr<Ui::CStationsDlg> ui_;
  CStationArray& stations_;
  AppSettings& settings_;
  const StationTlsStore* tlsStore_;
};
