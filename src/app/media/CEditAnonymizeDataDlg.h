#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"
#include "config/AppSettings.h"

namespace Ui {
class CEditAnonymizeDataDlg;
}
class QLineEdit;

// What the anonymization replaces, and by what. Writes the settings on OK.
class CEditAnonymizeDataDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CEditAnonymizeDataDlg(AppSettings& settings, QWidget* parent = nullptr);
  ~CEditAnonymizeDataDlg() override;

  void accept() override;

 private:
  // Typing stops at `limit` characters; a longer text (loaded from the configuration)
  // can still be shortened.
  void limitEntry(QLineEdit* field, int limit);
  // False (after saying so) when the field holds more than its limit.
  bool withinLimit(QLineEdit* field);

  std::unique_ptr<Ui::CEditAnonymizeDataDlg> ui_;
  AppSettings& settings_;
  std::string patientNameText_;  // carried through unchanged, never shown
};
