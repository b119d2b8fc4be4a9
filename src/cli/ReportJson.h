#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "media/ScanProgress.h"
#include "net/SendProgress.h"

const char* scanEventName(ScanEvent event);
const char* sendEventName(SendEvent event);
// One report as a JSON object: the event's name and the record's fields.
nlohmann::json toJson(ScanEvent event, const ScanProgress& progress);
nlohmann::json toJson(SendEvent event, const SendProgress& progress);

// `value` as JSON text; names on a medium are not always UTF-8, so it never fails on them.
std::string dumpJson(const nlohmann::json& value, int indent = -1);
// A job's log for the terminal: its lines end in "\r\n" as the window shows them.
std::string withoutCarriageReturns(const std::string& text);
