#pragma once

#include "media/ScanProgress.h"
#include "net/SendProgress.h"

// What views learn from the engine, always on the main thread.
class EngineObserver {
 public:
  virtual ~EngineObserver() = default;
  virtual void jobAdded(int /*index*/) {}
  virtual void jobChanged(int /*index*/) {}
  // Also before and after a stop command's wait, which blocks the main thread: repaint now.
  virtual void countersChanged() {}
  virtual void busyChanged(bool /*busy*/) {}
  // Every worker report, after the engine has handled it.
  virtual void scanReported(ScanEvent /*event*/, const ScanProgress& /*progress*/) {}
  virtual void sendReported(SendEvent /*event*/, const SendProgress& /*progress*/) {}
};
