#pragma once

#include "app/config/RuleFieldsDlg.h"
#include "config/CRuleArray.h"

// Replaces the rule at one array index.
class CRulesEditDlg : public RuleFieldsDlg {
  Q_OBJECT
 public:
  CRulesEditDlg(CRuleArray& rules, int index, const CStationArray& stations,
                QWidget* parent = nullptr);

  void accept() override;

 private:
  CRuleArray& rules_;
  int index_;
};
