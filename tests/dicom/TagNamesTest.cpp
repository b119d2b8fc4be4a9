#include <gtest/gtest.h>

#include "dicom/TagNames.h"

TEST(TagNames, TagsAreReadAsDicomPeopleWriteThem) {
  struct Case {
    const char* text;
    std::optional<DcmTagKey> tag;
  };
  const Case cases[] = {
      {"0008,0060", DcmTagKey(0x0008, 0x0060)},
      {"(0008,0060)", DcmTagKey(0x0008, 0x0060)},
      {"(0010,0020)", DcmTagKey(0x0010, 0x0020)},
      {"7fe0,0010", DcmTagKey(0x7FE0, 0x0010)},
      {"Modality", DcmTagKey(0x0008, 0x0060)},
      {"PatientID", DcmTagKey(0x0010, 0x0020)},
      {"modality", std::nullopt},  // keywords are exact
      {"NoSuchKeyword", std::nullopt},
      {"8,96", std::nullopt},  // four hexadecimal digits each
      {"0008,006G", std::nullopt},
      {"(Modality)", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseTagText(c.text), c.tag);
  }
}

TEST(TagNames, ATagIsShownInHexadecimalWithItsKeyword) {
  EXPECT_EQ(describeTag(8, 96), "(0008,0060) Modality");
  EXPECT_EQ(describeTag(16, 32), "(0010,0020) PatientID");
  EXPECT_EQ(describeTag(0x0009, 0x1001), "(0009,1001)");  // private: no keyword
}
