#include "app/shell/QtMainThreadPoster.h"

#include <QMetaObject>

void QtMainThreadPoster::post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}
