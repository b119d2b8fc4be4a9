#include "app/config/CRulesDlg.h"

#include <QApplication>

#include "app/config/CRulesAddDlg.h"
#include "app/config/CRulesEditDlg.h"
#include "app/config/RecordRows.h"
#include "ui_CRulesDlg.h"

CRulesDlg::CRulesDlg(CRuleArray& rules, const CStationArray& stations, QWidget* parent)
    : KalvoraDialog(parent),
      ui_(std::make_unique<Ui::CRulesDlg>()),
      rules_(rules),
      stations_(stations) {
  ui_->setupUi(body());
  setTitle(QStringLiteral("Kalvora - Rules List"));
  setHelpFile(QStringLiteral("help_rules.txt"));
  setColumnWidths(ui_->ruleList, {60, 60, 130, 120});

  connect(ui_->addButton, &QPushButton::clicked, this, &CRulesDlg::addRule);
  connect(ui_->editButton, &QPushButton::clicked, this, &CRulesDlg::editRule);
  connect(ui_->deleteButton, &QPushButton::clicked, this, &CRulesDlg::deleteRule);
  connect(ui_->okButton, &QPushButton::clicked, this, &CRulesDlg::accept);
  connect(ui_->ruleList, &QTreeWidget::itemDoubleClicked, this, &CRulesDlg::editRule);
  ui_->okButton->setDefault(true);
  enableWhileSelected(ui_->ruleList, {ui_->editButton, ui_->deleteButton});
  fill();
}

CRulesDlg::~CRulesDlg() = default;

void CRulesDlg::fill() {
  std::vector<RecordRow> rows;
  for (int index = 0; index < rules_.GetSize(); ++index) {
    const CRule& rule = rules_[index];
    rows.push_back(
        {{QString::number(rule.group), QString::number(rule.element),
          QString::fromStdString(rule.compareValue), QString::fromStdString(rule.destination)},
         index});
  }
  fillRecordRows(ui_->ruleList, std::move(rows), false);
}

void CRulesDlg::addRule() {
  CRulesAddDlg add(rules_, stations_, this);
  if (add.exec() == QDialog::Accepted) fill();
}

void CRulesDlg::editRule() {
  const int index = markedRecordIndex(ui_->ruleList);
  if (index < 0) return;
  CRulesEditDlg edit(rules_, index, stations_, this);
  if (edit.exec() == QDialog::Accepted) fill();
}

void CRulesDlg::deleteRule() {
  const int index = markedRecordIndex(ui_->ruleList);
  if (index < 0) return;
  rules_.RemoveAt(index);
  QApplication::beep();
  fill();
}
