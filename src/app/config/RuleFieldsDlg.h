#pragma once

#include <memory>
#include <optional>

#include "app/shell/KalvoraDialog.h"
#include "config/CRule.h"
#include "config/CStationArray.h"

namespace Ui {
class RuleFields;
}

// The layout the rule add and edit dialogs share: group and element in decimal (the tag
// shown beside them in hexadecimal with its keyword), the
// compare value and the destination chosen from the station list.
class RuleFieldsDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  ~RuleFieldsDlg() override;

  // The tag of the two number fields in hexadecimal with its keyword, "" while one of them
  // holds no number in range.
  QString tagNameShown() const;

 protected:
  RuleFieldsDlg(const QString& title, const CStationArray& stations, QWidget* parent);

  // Selects the destination entry whose alias equals the rule's; none when no station
  // has that alias.
  void showRule(const CRule& rule);
  // Nothing when a number field was refused (its message shown). The destination is the
  // alias of the entry picked from the list, empty when none is.
  std::optional<CRule> typedRule();
  void refuse(const std::string& message);

 private:
  void showTagName();

  std::unique_ptr<Ui::RuleFields> ui_;
};
