#pragma once

#include <memory>

#include "app/shell/KalvoraDialog.h"

namespace Ui {
class CAboutBox;
}
class CLinkStatic;

// The product, its version and the maker's links.
class CAboutBox : public KalvoraDialog {
  Q_OBJECT
 public:
  explicit CAboutBox(QWidget* parent = nullptr);
  ~CAboutBox() override;

  CLinkStatic* webLink() const;
  CLinkStatic* mailLink() const;
  QString versionText() const;

 private:
  std::unique_ptr<Ui::CAboutBox> ui_;
};
