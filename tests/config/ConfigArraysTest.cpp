#include <gtest/gtest.h>

#include "config/CFilterArray.h"
#include "config/CStationArray.h"

TEST(StationArray, LookupIsExactAndFindsTheFirstMatch) {
  CStationArray stations;
  stations.Add({"PACS", "AE1", "host1", 104});
  stations.Add({"pacs", "AE2", "host2", 105});
  stations.Add({"PACS", "AE3", "host3", 106});
  std::string aeTitle = "unchanged", host;
  int port = 0;
  ASSERT_TRUE(stations.findStationByAlias("PACS", aeTitle, host, port));
  EXPECT_EQ(aeTitle, "AE1");
  EXPECT_FALSE(stations.findStationByAlias("Pacs", aeTitle, host, port));
  EXPECT_EQ(aeTitle, "AE1");

  stations.RemoveAt(0);
  ASSERT_TRUE(stations.findStationByAlias("PACS", aeTitle, host, port));
  EXPECT_EQ(port, 106);
}

TEST(StationArray, RemovingAStationKeepsTheStandardDestinationOnItsStation) {
  struct Case {
    int standard;
    int removed;
    int standardAfter;  // -1: none
    bool told;
  };
  const Case cases[] = {
      {2, 0, 1, false},                    // a station before it: follows its station down
      {2, 1, 1, false}, {2, 2, -1, true},  // its own station: none, and said so
      {2, 3, 2, false},                    // a station after it: unchanged
      {0, 0, -1, true}, {-1, 0, -1, false}, {3, 3, -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.standard) + " remove " + std::to_string(c.removed));
    CStationArray stations;
    for (const char* alias : {"A", "B", "C", "D"}) stations.Add({alias, "AE", "h", 104});
    const std::string standardAlias = c.standard >= 0 ? stations[c.standard].alias : "";
    int standard = c.standard;
    const std::optional<std::string> told = stations.removeStation(c.removed, standard);
    EXPECT_EQ(standard, c.standardAfter);
    EXPECT_EQ(stations.GetSize(), 3);
    if (c.standardAfter >= 0) {
      EXPECT_EQ(stations[standard].alias, standardAlias);
    }
    ASSERT_EQ(told.has_value(), c.told);
    if (told) {
      EXPECT_EQ(*told, "The deleted station '" + standardAlias +
                           "' was the standard destination: no station is the standard "
                           "destination now.");
    }
  }
}

TEST(FilterArray, ResetGivesTheFourteenDefaultsInOrder) {
  CFilterArray filters;
  filters.Add({".dcm", "mine"});
  filters.resetToDefaults();
  ASSERT_EQ(filters.GetSize(), 14);
  EXPECT_EQ(filters[0].extension, ".exe");
  EXPECT_EQ(filters[13].extension, ".css");
  EXPECT_EQ(filters[13].description, "CSS style sheets");
  std::string description;
  EXPECT_FALSE(filters.findFilterByExtension(".EXE", description));
}
