#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "workers/UserPrompts.h"

namespace Ui {
class CQueryNewPatientIDDlg;
}

// Asks for a new patient ID, accession number and name for one patient and modality
// of a medium, showing what the file holds now.
class CQueryNewPatientIDDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CQueryNewPatientIDDlg(const NewPatientDataQuestion& current, QWidget* parent = nullptr);
  ~CQueryNewPatientIDDlg() override;

  // What the "New data" fields hold.
  NewPatientDataAnswer answer() const;

  void accept() override;

 private:
  std::unique_ptr<Ui::CQueryNewPatientIDDlg> ui_;
};
