#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CFolderBrowser;
}
class QFileSystemModel;
class QLineEdit;

// Chooses the temporary folder: a folder tree with an editable path field above it. OK
// checks the folder (validateFolder) and keeps the browser open when it is not usable.
class CFolderBrowser : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CFolderBrowser(const QString& startFolder, QWidget* parent = nullptr);
  ~CFolderBrowser() override;

  // The folder chosen, when the browser closed with OK.
  QString chosenFolder() const { return chosen_; }
  QLineEdit* pathField() const;
  bool okEnabled() const;

  void accept() override;

  // Runs the browser from `startFolder`; the usable folder chosen, or empty.
  static QString browse(const QString& startFolder, QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void showCurrentFolder();
  void selectFolder(const QString& path);
  void showSelectedFolder();

  std::unique_ptr<Ui::CFolderBrowser> ui_;
  QFileSystemModel* model_;
  QString chosen_;
  bool followCurrent_ = true;
};
