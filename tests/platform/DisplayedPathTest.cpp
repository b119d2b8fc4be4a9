#include <gtest/gtest.h>

#include "platform/DisplayedPath.h"

TEST(DisplayedPath, RunsOfSlashesAreShownAsOne) {
  EXPECT_EQ(displayedPath("/home/u/.cache/kalvora//20261210153000"),
            "/home/u/.cache/kalvora/20261210153000");
  EXPECT_EQ(displayedPath("/tmp/jobs/2026121015300"), "/tmp/jobs/2026121015300");
  EXPECT_EQ(displayedPath("//"), "/");
  const std::string folder = "/t//2026";
  EXPECT_EQ(withDisplayedPath("Start sending: '/t//2026' to X\nkept: /t//2026", folder),
            "Start sending: '/t/2026' to X\nkept: /t/2026");
}
