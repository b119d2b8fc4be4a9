#pragma once

#include "app/config/FilterFieldsDlg.h"
#include "config/CFilterArray.h"

// Appends a filter whose extension the list does not hold yet.
class CFiltersAddDlg : public FilterFieldsDlg {
  Q_OBJECT
 public:
  explicit CFiltersAddDlg(CFilterArray& filters, QWidget* parent = nullptr);

  void accept() override;

 private:
  CFilterArray& filters_;
};
