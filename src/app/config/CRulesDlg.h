#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"

namespace Ui {
class CRulesDlg;
}

// The forward rules in array order; edits the array in place.
class CRulesDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  CRulesDlg(CRuleArray& rules, const CStationArray& stations, QWidget* parent = nullptr);
  ~CRulesDlg() override;

  void addRule();
  void editRule();
  void deleteRule();

 private:
  void fill();

  std::unique_ptr<Ui::CRulesDlg> ui_;
  CRuleArray& rules_;
  const CStationArray& stations_;
};
