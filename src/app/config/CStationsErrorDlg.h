#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/CStationArray.h"
#include "workers/UserPrompts.h"

namespace Ui {
class CStationsErrorDlg;
}

// The station choice when a job is ready and no destination is configured: one of the
// defined stations, or one typed in by hand. Changes nothing in the station list.
class CStationsErrorDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CStationsErrorDlg(const CStationArray& stations, QWidget* parent = nullptr);
  ~CStationsErrorDlg() override;

  // After OK: 0 a defined station, 1 manual configuration.
  int choiceKind() const { return choiceKind_; }
  int stationIndex() const { return stationIndex_; }
  StationChoice choice() const { return choice_; }

  void accept() override;

 private:
  std::unique_ptr<Ui::CStationsErrorDlg> ui_;
  // A copy: the station list may change while the dialog is open (the tray reaches the
  // options), and the choice must be the station that was shown.
  const CStationArray stations_;
  int choiceKind_ = 0;
  int stationIndex_ = -1;
  StationChoice choice_;
};
