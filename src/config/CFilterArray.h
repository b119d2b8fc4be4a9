#pragma once

#include <string>

#include "config/CFilter.h"
#include "config/RecordArray.h"

class CFilterArray : public RecordArray<CFilter> {
 public:
  // First filter whose extension equals `extension` byte for byte.
  bool findFilterByExtension(const std::string& extension, std::string& description) const;
  // Empties the list and appends the 14 default filters.
  void resetToDefaults();
};
