#include "app/config/CStationsAddDlg.h"

#include "config/ConfigValidation.h"

CStationsAddDlg::CStationsAddDlg(CStationArray& stations, const AppSettings& settings,
                                 QWidget* parent, const StationTlsStore* tlsStore)
    : StationFieldsDlg(QStringLiteral("Kalvora - Add a Station"), settings, parent, tlsStore),
      stations_(stations) {}

void CStationsAddDlg::accept() {
  const std::optional<CStation> station = typedStation();
  if (!station) return;
  if (const auto message = validateStationAdd(stations_, *station)) return refuse(*message);
  if (!keepTls(station->alias)) return;
  stations_.Add(*station);
  StationFieldsDlg::accept();
}
