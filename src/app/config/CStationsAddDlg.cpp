#include "app/config/CStationsAddDlg.h"

#include "config/ConfigValidation.h"

CStationsAddDlg::CStationsAddDlg(CStationArray& stations, const AppSettings& settings,
                                 QWidget* parent)
    : StationFieldsDlg(QStringLiteral("Kalvora - Add a Station"), settings, parent),
      stations_(stations) {}

void CStationsAddDlg::accept() {
  const std::optional<CStation> station = typedStation();
  if (!station) return;
  if (const auto message = validateStationAdd(stations_, *station)) return refuse(*message);
  stations_.Add(*station);
  StationFieldsDlg::accept();
}
