#pragma once

#include <QPushButton>

// A push button that shows the hand cursor, like a link.
class CLinkButton : public QPushButton {
  Q_OBJECT
 public:
  explicit CLinkButton(QWidget* parent = nullptr) : QPushButton(parent) {
    setCursor(Qt::PointingHandCursor);
  }
};
