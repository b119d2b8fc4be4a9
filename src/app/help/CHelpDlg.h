#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CHelpDlg;
}

// Shows one help text file; "No help available." when there is none.
class CHelpDlg : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CHelpDlg(QWidget* parent = nullptr,
                    const QString& helpFile = QStringLiteral("help.txt"));
  ~CHelpDlg() override;

  QString heading() const;
  QString helpText() const;

 private:
  std::unique_ptr<Ui::CHelpDlg> ui_;
};
