#pragma once

#include <QDialog>
#include <QPoint>

class DialogTitleBar;
class QLabel;

// The one base of every dialog of the application: a caption-less window with its own
// bold title line ("Kalvora - ..."), an "X" that cancels, an optional "?" that opens the
// dialog's help text, and a press on the background that moves the window.
//
// A dialog puts its own fields into body(), usually with `ui->setupUi(body())` from a
// form whose top level is a plain QWidget, then names itself with setTitle().
class KalvoraDialog : public QDialog {
  Q_OBJECT
 public:
  explicit KalvoraDialog(QWidget* parent = nullptr);
  ~KalvoraDialog() override;

  QWidget* body() const { return body_; }
  DialogTitleBar* titleBar() const { return titleBar_; }

  // The whole title line, as the dialog is named ("Kalvora - Options"); an empty text
  // hides the line with its buttons.
  void setTitle(const QString& title);
  QString title() const;
  // A bold line under the title saying what the dialog is about (a question from a job
  // names its medium); empty hides it.
  void setAboutLine(const QString& text);
  QString aboutLine() const;
  // The help file of "?" ("help_option.txt"); empty hides the button.
  void setHelpFile(const QString& fileName);
  QString helpFile() const { return helpFile_; }
  // On for every dialog unless its window must not be dragged by its background.
  void setMoveByBackground(bool on) { moveByBackground_ = on; }
  bool moveByBackground() const { return moveByBackground_; }

 public Q_SLOTS:
  void showHelp();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  DialogTitleBar* titleBar_;
  QLabel* aboutLine_;
  QWidget* body_;
  QString helpFile_;
  bool moveByBackground_ = true;
  // Where the system cannot move the window itself, it follows the mouse.
  bool dragging_ = false;
  QPoint dragOffset_;
};
