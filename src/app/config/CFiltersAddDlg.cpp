#include "app/config/CFiltersAddDlg.h"

#include "config/ConfigValidation.h"

CFiltersAddDlg::CFiltersAddDlg(CFilterArray& filters, QWidget* parent)
    : FilterFieldsDlg(QStringLiteral("Kalvora - Add a filter"), parent), filters_(filters) {}

void CFiltersAddDlg::accept() {
  const CFilter filter = typedFilter();
  if (const auto message = validateFilterAdd(filters_, filter)) return refuse(*message);
  filters_.Add(filter);
  FilterFieldsDlg::accept();
}
