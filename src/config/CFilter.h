#pragma once

#include <string>

// A file extension (with its leading dot) that a scan skips.
struct CFilter {
  std::string extension;
  std::string description;
};
