#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/CFilterArray.h"

namespace Ui {
class CFiltersDlg;
}
class QMenu;

// The extension filter list, sorted by extension; edits the array in place.
class CFiltersDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CFiltersDlg(CFilterArray& filters, QWidget* parent = nullptr);
  ~CFiltersDlg() override;

  void addFilter();
  void editFilter();
  void deleteFilter();
  // Asks first; on Yes the list becomes the 14 default filters.
  void resetList();
  // The pop-up of the list, with its one command "reset list".
  QMenu* contextMenu() const { return menu_; }

 private:
  void fill();
  void showContextMenu(const QPoint& position);

  std::unique_ptr<Ui::CFiltersDlg> ui_;
  CFilterArray& filters_;
  QMenu* menu_;
};
