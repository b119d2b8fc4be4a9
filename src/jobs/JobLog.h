#pragma once

#include <optional>
#include <string>

#include "media/ScanProgress.h"
#include "net/SendProgress.h"

// The job log line a report writes, or nullopt when it writes none
// (per-file lines only when verbose is on).
std::optional<std::string> scanLogLine(ScanEvent event, const ScanProgress& progress, bool verbose);
std::optional<std::string> sendLogLine(SendEvent event, const SendProgress& progress, bool verbose);
