#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/shell/KalvoraDialog.h"
#include "config/QueryStation.h"

namespace Ui {
class CQueryStationDlg;
}
struct AppSettings;
class StationEchoWorker;
class TlsFieldsBox;

// Sets up the query station of the new patient data question. It lives in kalvora.json,
// which OK writes at once (the four configuration files are written at exit); empty fields
// or "Remove" take the station away. "Test" verifies the typed station with a C-ECHO.
class CQueryStationDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  CQueryStationDlg(std::string workingFolder, const AppSettings& settings,
                   QWidget* parent = nullptr);
  ~CQueryStationDlg() override;

  void accept() override;
  QString testResult() const;

 Q_SIGNALS:
  void testFinished(bool reached);

 private:
  // The station typed in; nothing when the fields are all empty. False when refused.
  bool typedStation(std::optional<QueryStation>& station);
  void testStation();
  void showTestResult(bool reached, const QString& message);

  std::unique_ptr<Ui::CQueryStationDlg> ui_;
  std::string workingFolder_;
  const AppSettings& settings_;
  StationEchoWorker* echo_ = nullptr;
  TlsFieldsBox* tls_;
};
