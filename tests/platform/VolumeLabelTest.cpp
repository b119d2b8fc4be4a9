#include <gtest/gtest.h>

#include "platform/VolumeLabel.h"

TEST(VolumeLabel, UdevsEscapesInALabelsNameAreUndone) {
  const struct {
    std::string name;
    std::string label;
  } cases[] = {
      {"PATIENT\\x20CD", "PATIENT CD"},
      {"A\\x2fB", "A/B"},
      {"PLAIN", "PLAIN"},
      {"CUT\\x2", "CUT\\x2"},
      {"NOT\\xZZHEX", "NOT\\xZZHEX"},
  };
  for (const auto& c : cases) EXPECT_EQ(unescapedLabel(c.name), c.label) << c.name;
  EXPECT_EQ(volumeLabelOf("/no/such/mount/point"), "");
}
