#pragma once

#include <memory>
#include <optional>

#include "app/shell/KalvoraDialog.h"
#include "config/AppSettings.h"
#include "config/CStation.h"
#include "config/TlsSettings.h"

namespace Ui {
class StationFields;
}
class StationEchoWorker;
class TlsFieldsBox;
struct StationTlsStore;

// The layout the station add and edit dialogs share, with the "Test" button that sends
// a C-ECHO to the station as typed, and the station's TLS, kept in `tlsStore` (none: the
// fields are shown, nothing is kept).
class StationFieldsDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  ~StationFieldsDlg() override;
  // Sends the C-ECHO; the result shows below the fields.
  void testStation();
  QString testResult() const;
  bool testRunning() const;

 Q_SIGNALS:
  void testFinished(bool reached);

 protected:
  StationFieldsDlg(const QString& title, const AppSettings& settings, QWidget* parent,
                   const StationTlsStore* tlsStore);

  // The station's fields and its TLS.
  void showStation(const CStation& station);
  // Nothing when the port was refused (its message shown).
  std::optional<CStation> typedStation();
  void refuse(const std::string& message);
  // Validates the TLS fields and keeps them for `alias`; false after a message was shown.
  bool keepTls(const std::string& alias, const std::string& previousAlias = {});

 private:
  void showTestResult(bool reached, const QString& message);
  void showResultText(const QString& text);

  std::unique_ptr<Ui::StationFields> ui_;
  const AppSettings& settings_;
  const StationTlsStore* tlsStore_;
  TlsFieldsBox* tls_;
  StationEchoWorker* echo_ = nullptr;
};
