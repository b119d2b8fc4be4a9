#pragma once

#include <cstdint>
#include <string>

#include <dcmtk/dcmdata/dctypes.h>

enum class TagActionKind : int32_t {
  DeleteTag = 0,
  SetJanuaryFirst = 1,
  SetCurrentDate = 2,
  ReplaceValue = 3,
};

// One row of the anonymization table.
struct TagAction {
  Uint16 group = 0;
  Uint16 element = 0;
  std::string value;  // written by ReplaceValue; empty for the other kinds
  TagActionKind kind = TagActionKind::ReplaceValue;
  std::string name;  // display name, used in failure lines
};
