#pragma once

#include <functional>

// The engine's main thread, as supplied by a front end: workers hand it callables
// (value copies of their reports) and never touch shared state themselves.
class MainThreadPoster {
 public:
  virtual ~MainThreadPoster() = default;
  // Thread-safe; the callable runs later on the main thread, in posting order.
  virtual void post(std::function<void()> task) = 0;
};
