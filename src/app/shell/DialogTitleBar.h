#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// The bold title line of a caption-less dialog, with its "?" and "X" buttons.
class DialogTitleBar : public QWidget {
  Q_OBJECT
 public:
  explicit DialogTitleBar(QWidget* parent = nullptr);

  void setTitle(const QString& title);
  QString title() const;
  void setHelpVisible(bool visible);

  QToolButton* helpButton() const { return help_; }
  QToolButton* closeButton() const { return close_; }

 Q_SIGNALS:
  void helpClicked();
  void closeClicked();

 private:
  QLabel* title_;
  QToolButton* help_;
  QToolButton* close_;
};
