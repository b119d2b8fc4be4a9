#pragma once

#include <string>

// The standard's words for the reason of an association rejection, given as DCMTK composes
// it (source times 256 plus the diagnostic: 263 is "called AE title not recognized"), or
// "unknown reason" for a combination the standard does not have.
std::string rejectReasonText(int reason);
