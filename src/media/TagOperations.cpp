#include "media/TagOperations.h"

#include <cstdio>

#include <dcmtk/dcmdata/dcelem.h>

namespace {

OFCondition succeeded(const std::string& text) {
  return makeOFCondition(0, 0, OF_ok, text.c_str());
}
OFCondition failed(const std::string& text) {
  return makeOFCondition(0, 0, OF_error, text.c_str());
}

std::string quoted(const char* before, const std::string& name, const char* after) {
  return before + ("'" + name + "'") + after;
}

// The first value of a date element, or nothing when it is absent or empty.
bool readDate(DcmDataset& dataset, const DcmTagKey& tag, OFString& value) {
  return dataset.findAndGetOFString(tag, value, 0, OFFalse).good() && !value.empty();
}

}  // namespace

OFCondition ReplaceValue(DcmDataset* dataset, Uint16 group, Uint16 element,
                         const std::string& value, const std::string& name) {
  if (dataset == nullptr) return failed("No dataset loaded yet!");
  DcmElement* found = nullptr;
  if (dataset->findAndGetElement(DcmTagKey(group, element), found, OFFalse).good() && found &&
      found->putString(value.c_str()).good()) {
    return succeeded(quoted("Tag ", name, " anonymized."));
  }
  return failed(quoted("Can't find tag ", name, "."));
}

OFCondition SetJanuaryFirst(DcmDataset& dataset, Uint16 group, Uint16 element,
                            const std::string& name) {
  const DcmTagKey tag(group, element);
  OFString value;
  if (!readDate(dataset, tag, value)) return failed(quoted("Can't find tag ", name, "."));
  // Only a full YYYYMMDD value has a month and day to replace.
  if (value.length() < 8) return failed(quoted("Can't modify tag ", name, "."));
  value.replace(4, 4, "0101");
  if (dataset.putAndInsertString(tag, value.c_str(), OFTrue).bad())
    return failed(quoted("Can't modify tag ", name, "."));
  return succeeded(quoted("Tag ", name, " reset to January, 1st"));
}

OFCondition SetCurrentDate(DcmDataset& dataset, Uint16 group, Uint16 element,
                           const std::string& name, std::time_t now) {
  const DcmTagKey tag(group, element);
  OFString value;
  if (!readDate(dataset, tag, value)) return failed(quoted("Can't find tag ", name, "."));
  std::tm utc{};
  gmtime_r(&now, &utc);
  char today[32];
  std::snprintf(today, sizeof today, "%04i%02i%02i", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday);
  if (dataset.putAndInsertString(tag, today, OFTrue).bad())
    return failed(quoted("Can't modify tag ", name, "."));
  return succeeded(quoted("Tag ", name, " reset to ") + today);
}

OFCondition DeleteTag(DcmDataset& dataset, Uint16 group, Uint16 element) {
  DcmElement* removed = dataset.remove(DcmTagKey(group, element));
  if (removed == nullptr) return failed("Can't delete tag");
  delete removed;
  return succeeded("Tag deleted");
}
