#pragma once

#include <string>

#include <dcmtk/ofstd/ofcond.h>

class DcmFileFormat;

// Claims `jobFolder/name`, or name.2, name.3 ... when taken, as a new private file.
// Returns the path, or an empty text with `error` set when nothing could be created.
// Probing starts at `firstSuffix` (1 = the bare name); `claimedSuffix` tells which one won.
std::string ClaimCopyPath(const std::string& jobFolder, const std::string& name, std::string& error,
                          unsigned firstSuffix = 1, unsigned* claimedSuffix = nullptr);

// Writes the loaded file to `path` in the transfer syntax it was read in. The preamble is
// written as zeros: one read from a medium may hold an executable header. The data set
// moves out of `loaded`. On failure nothing is left at `path`.
OFCondition SaveCopy(DcmFileFormat& loaded, const std::string& path);
