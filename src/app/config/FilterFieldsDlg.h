#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/CFilter.h"

namespace Ui {
class FilterFields;
}

// The layout the filter add and edit dialogs share.
class FilterFieldsDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  ~FilterFieldsDlg() override;

 protected:
  FilterFieldsDlg(const QString& title, QWidget* parent);

  void showFilter(const CFilter& filter);
  // As typed: no dot added, no case changed, no blanks removed.
  CFilter typedFilter() const;
  void refuse(const std::string& message);

 private:
  std::unique_ptr<Ui::FilterFields> ui_;
};
