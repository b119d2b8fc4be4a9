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
