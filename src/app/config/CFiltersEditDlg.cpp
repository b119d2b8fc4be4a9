#include "app/config/CFiltersEditDlg.h"

#include "config/ConfigValidation.h"

CFiltersEditDlg::CFiltersEditDlg(CFilterArray& filters, int index, QWidget* parent)
    : FilterFieldsDlg(QStringLiteral("Kalvora - Edit a filter"), parent),
      filters_(filters),
      index_(index) {
  showFilter(filters_[index_]);
}

void CFiltersEditDlg::accept() {
  const CFilter filter = typedFilter();
  if (const auto message = validateFilterEdit(filter)) return refuse(*message);
  filters_.SetAt(index_, filter);
  FilterFieldsDlg::accept();
}
