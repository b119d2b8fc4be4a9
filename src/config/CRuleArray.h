#pragma once

#include <string>

#include "config/CRule.h"
#include "config/RecordArray.h"

class CRuleArray : public RecordArray<CRule> {
 public:
  // First rule with both group and element equal; outputs untouched on no match.
  bool findRuleByTag(int group, int element, std::string& compareValue,
                     std::string& destination) const;
};
