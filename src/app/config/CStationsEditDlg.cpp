#include "app/config/CStationsEditDlg.h"

#include "config/ConfigValidation.h"

CStationsEditDlg::CStationsEditDlg(CStationArray& stations, int index, const AppSettings& settings,
                                   QWidget* parent, const StationTlsStore* tlsStore)
    : StationFieldsDlg(QStringLiteral("Kalvora - Edit a Station"), settings, parent, tlsStore),
      stations_(stations),
      index_(index) {
  showStation(stations_[index_]);
}

void CStationsEditDlg::accept() {
  const std::optional<CStation> station = typedStation();
  if (!station) return;
  if (const auto message = validateStationEdit(*station)) return refuse(*message);
  if (!keepTls(station->alias, stations_[index_].alias)) return;
  stations_.SetAt(index_, *station);
  StationFieldsDlg::accept();
}
