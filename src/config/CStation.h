#pragma once

#include <cstdint>
#include <string>

// A DICOM peer that jobs can be sent to.
struct CStation {
  std::string alias;
  std::string aeTitle;
  std::string host;
  int32_t port = 0;
};
