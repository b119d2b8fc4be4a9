#pragma once

#include "app/config/FilterFieldsDlg.h"
#include "config/CFilterArray.h"

// Replaces the filter at one array index.
class CFiltersEditDlg : public FilterFieldsDlg {
  Q_OBJECT
 public:
  CFiltersEditDlg(CFilterArray& filters, int index, QWidget* parent = nullptr);

  void accept() override;

 private:
  CFilterArray& filters_;
  int index_;
};
