#include "config/ProductVersion.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>

std::string productVersionText() {
  return std::string(kProductName) + " " + kProductVersion + "\nDCMTK " OFFIS_DCMTK_VERSION;
}
