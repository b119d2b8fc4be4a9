#pragma once

#include "app/config/RuleFieldsDlg.h"
#include "config/CRuleArray.h"

// Appends a rule on a tag that no rule uses yet.
class CRulesAddDlg : public RuleFieldsDlg {
  Q_OBJECT
 public:
  CRulesAddDlg(CRuleArray& rules, const CStationArray& stations, QWidget* parent = nullptr);

  void accept() override;

 private:
  CRuleArray& rules_;
};
