#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/AppSettings.h"

namespace Ui {
class CDicomDlg;
}

// The association parameters of the send jobs; stored only by a fully valid OK.
class CDicomDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CDicomDlg(AppSettings& settings, QWidget* parent = nullptr);
  ~CDicomDlg() override;

  void accept() override;

 private:
  std::unique_ptr<Ui::CDicomDlg> ui_;
  AppSettings& settings_;
};
