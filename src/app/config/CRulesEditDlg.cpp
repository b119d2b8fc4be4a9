#include "app/config/CRulesEditDlg.h"

#include "config/ConfigValidation.h"

CRulesEditDlg::CRulesEditDlg(CRuleArray& rules, int index, const CStationArray& stations,
                             QWidget* parent)
    : RuleFieldsDlg(QStringLiteral("Kalvora - Edit a rule"), stations, parent),
      rules_(rules),
      index_(index) {
  showRule(rules_[index_]);
}

void CRulesEditDlg::accept() {
  const std::optional<CRule> rule = typedRule();
  if (!rule) return;
  if (const auto message = validateRuleEdit(*rule)) return refuse(*message);
  rules_.SetAt(index_, *rule);
  RuleFieldsDlg::accept();
}
