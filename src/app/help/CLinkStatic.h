#pragma once

#include <QColor>
#include <QLabel>

// A text that is a link: blue until followed, purple after, red under the mouse; the
// address as tooltip; a click opens it with the desktop's handler for it.
class CLinkStatic : public QLabel {
  Q_OBJECT
 public:
  explicit CLinkStatic(QWidget* parent = nullptr);

  // The address opened on click; the text shown stays the control's own (or, when it has
  // none, becomes the address).
  void SetLink(const QString& address);
  QString link() const;
  void MarkVisited(bool visited);
  bool visited() const { return visited_; }
  bool overControl() const { return overControl_; }
  // 1 always underlined, -1 underlined under the mouse, anything else never.
  void SetUnderlineMode(int mode);

  // Above 32 when the address was handed on; otherwise the reason, with the codes the
  // failure texts know (2 file not found, 3 path not found, 5 access denied, 31 nothing
  // handles the address).
  static int OpenLink(const QString& address);
  static QString linkErrorText(int code);
  void ShowLinkError(int code);

  QColor linkColour{0, 0, 238};
  QColor visitedColour{85, 26, 139};
  QColor hoverColour{255, 0, 0};

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void updateLook();

  QString link_;
  bool overControl_ = false;
  bool visited_ = false;
  int underlineMode_ = -1;
};
