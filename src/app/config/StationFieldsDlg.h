#pragma once

#include <memory>
#include <optional>

#include "app/shell/KalvoraDialog.h"
#include "config/AppSettings.h"
#include "config/CStation.h"

namespace Ui {
class StationFields;
}
class StationEchoWorker;

// The layout the station add and edit dialogs share, with the "Test" button that sends
// a C-ECHO to the station as typed.
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
  StationFieldsDlg(const QString& title, const AppSettings& settings, QWidget* parent);

  void showStation(const CStation& station);
  // Nothing when the port was refused (its message shown).
  std::optional<CStation> typedStation();
  void refuse(const std::string& message);

 private:
  void showTestResult(bool reached, const QString& message);
  void showResultText(const QString& text);

  std::unique_ptr<Ui::StationFields> ui_;
  const AppSettings& settings_;
  StationEchoWorker* echo_ = nullptr;
};
