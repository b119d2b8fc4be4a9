#pragma once

#include <QObject>

#include "workers/MainThreadPoster.h"

// The engine's main thread is the Qt event loop: posted callables run there, in order.
// Whatever is still queued when this object goes is dropped.
class QtMainThreadPoster : public QObject, public MainThreadPoster {
  Q_OBJECT
 public:
  explicit QtMainThreadPoster(QObject* parent = nullptr) : QObject(parent) {}
  void post(std::function<void()> task) override;
};
