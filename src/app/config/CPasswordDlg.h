#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CPasswordDlg;
}

// Asks for the configuration password before the station list or the DICOM options open.
class CPasswordDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CPasswordDlg(QWidget* parent = nullptr);
  ~CPasswordDlg() override;

  void accept() override;

 private:
  std::unique_ptr<Ui::CPasswordDlg> ui_;
};
