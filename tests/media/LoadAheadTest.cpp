// The scan's read-ahead thread: loads come back in the order given, and a load that throws
// tells whoever waits for it.

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/LoadAhead.h"

namespace {

MediaFileLoad named(const std::string& name) {
  MediaFileLoad load;
  load.name = name;
  load.outcome = MediaFileLoad::Outcome::Excluded;
  return load;
}

TEST(LoadAhead, LoadsComeBackInOrderAndAThrowReachesItsWaiter) {
  LoadAhead loadAhead;
  std::vector<std::future<MediaFileLoad>> pending;
  for (int i = 0; i < 50; ++i)
    pending.push_back(loadAhead.start([i] { return named("IM" + std::to_string(i)); }));
  std::future<MediaFileLoad> failing =
      loadAhead.start([]() -> MediaFileLoad { throw std::runtime_error("read failed"); });
  std::future<MediaFileLoad> after = loadAhead.start([] { return named("after"); });

  for (int i = 0; i < 50; ++i) EXPECT_EQ(pending[i].get().name, "IM" + std::to_string(i));
  EXPECT_THROW(failing.get(), std::runtime_error);
  EXPECT_EQ(after.get().name, "after");
}

}  // namespace
