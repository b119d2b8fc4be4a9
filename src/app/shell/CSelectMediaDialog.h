#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CSelectMediaDialog;
}

// Starts a read by hand: offers the optical drives that hold a mounted medium.
class CSelectMediaDialog : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CSelectMediaDialog(const std::vector<std::string>& driveRoots,
                              QWidget* parent = nullptr);
  ~CSelectMediaDialog() override;

  // After OK: the chosen mount point, empty when none was listed.
  std::string selectedRoot() const { return selectedRoot_; }

  void accept() override;

 private:
  std::unique_ptr<Ui::CSelectMediaDialog> ui_;
  std::string selectedRoot_;
};
