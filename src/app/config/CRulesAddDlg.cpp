#include "app/config/CRulesAddDlg.h"

#include "config/ConfigValidation.h"

CRulesAddDlg::CRulesAddDlg(CRuleArray& rules, const CStationArray& stations, QWidget* parent)
    : RuleFieldsDlg(QStringLiteral("Kalvora - Add a rule"), stations, parent), rules_(rules) {}

void CRulesAddDlg::accept() {
  const std::optional<CRule> rule = typedRule();
  if (!rule) return;
  if (const auto message = validateRuleAdd(rules_, *rule)) return refuse(*message);
  rules_.Add(*rule);
  RuleFieldsDlg::accept();
}
