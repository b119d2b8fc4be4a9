#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `handle` on the next modal window that opens (from inside its own event loop),
// for tests of code that calls exec().
inline void onNextModal(std::function<void(QWidget*)> handle) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, handle = std::move(handle)] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      handle(modal);
    }
  });
  timer->start();
}

// The same for the next modal window of type `Window`, also above another modal window.
template <typename Window>
void onNextModalOf(std::function<void(Window*)> handle) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, handle = std::move(handle)] {
    if (auto* modal = qobject_cast<Window*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      handle(modal);
    }
  });
  timer->start();
}
