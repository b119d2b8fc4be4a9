#include "app/config/RuleFieldsDlg.h"

#include "app/config/RecordRows.h"
#include "app/shell/DialogFields.h"
#include "app/shell/MessageBoxes.h"
#include "config/ConfigValidation.h"
#include "dicom/TagNames.h"
#include "ui_RuleFields.h"

RuleFieldsDlg::RuleFieldsDlg(const QString& title, const CStationArray& stations, QWidget* parent)
    : KalvoraDialog(parent), ui_(std::make_unique<Ui::RuleFields>()) {
  ui_->setupUi(body());
  setTitle(title);
  setHelpFile(QStringLiteral("help_rules.txt"));
  fillStationChoices(ui_->destination, stations);
  ui_->group->setText(QStringLiteral("0"));
  ui_->element->setText(QStringLiteral("0"));
  connect(ui_->okButton, &QPushButton::clicked, this, &RuleFieldsDlg::accept);
  connect(ui_->group, &QLineEdit::textChanged, this, &RuleFieldsDlg::showTagName);
  connect(ui_->element, &QLineEdit::textChanged, this, &RuleFieldsDlg::showTagName);
  ui_->okButton->setDefault(true);
  ui_->group->setFocus();
  showTagName();
}

// Decimal fields, yet DICOM people know tags as (0008,0060) Modality.
void RuleFieldsDlg::showTagName() {
  int group = 0;
  int element = 0;
  const bool numbers =
      !parseIntegerField(ui_->group->text().toStdString(), kRuleTagMin, kRuleTagMax, group) &&
      !parseIntegerField(ui_->element->text().toStdString(), kRuleTagMin, kRuleTagMax, element);
  ui_->tagName->setText(numbers ? QString::fromStdString(describeTag(group, element)) : QString());
}

QString RuleFieldsDlg::tagNameShown() const { return ui_->tagName->text(); }

RuleFieldsDlg::~RuleFieldsDlg() = default;

void RuleFieldsDlg::showRule(const CRule& rule) {
  ui_->group->setText(QString::number(rule.group));
  ui_->element->setText(QString::number(rule.element));
  ui_->compareValue->setText(QString::fromStdString(rule.compareValue));
  ui_->destination->setCurrentIndex(ui_->destination->findText(
      QString::fromStdString(rule.destination), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

std::optional<CRule> RuleFieldsDlg::typedRule() {
  CRule rule;
  if (!readIntegerField(ui_->group, kRuleTagMin, kRuleTagMax, rule.group)) return std::nullopt;
  if (!readIntegerField(ui_->element, kRuleTagMin, kRuleTagMax, rule.element)) return std::nullopt;
  rule.compareValue = ui_->compareValue->text().toStdString();
  if (ui_->destination->currentIndex() >= 0)
    rule.destination = ui_->destination->currentText().toStdString();
  return rule;
}

void RuleFieldsDlg::refuse(const std::string& message) {
  MessageBoxes::show(this, QString::fromStdString(message));
}
