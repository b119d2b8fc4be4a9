#pragma once

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/oftypes.h>

// How a C-STORE response status counts for the file.
enum class StoreOutcome { Stored, StoredWithWarning, Refused };

StoreOutcome classifyStoreStatus(Uint16 status);

// "status 0xA700 (...)" with DCMTK's text for the status.
std::string describeStoreStatus(Uint16 status);
