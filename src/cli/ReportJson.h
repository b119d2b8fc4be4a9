#pragma once

#include <nlohmann/json.hpp>

#include "media/ScanProgress.h"
#include "net/SendProgress.h"

const char* scanEventName(ScanEvent event);
const char* sendEventName(SendEvent event);
// One report as a JSON object: the event's name and the record's fields.
nlohmann::json toJson(ScanEvent event, const ScanProgress& progress);
nlohmann::json toJson(SendEvent event, const SendProgress& progress);
