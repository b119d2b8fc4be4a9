#pragma once

#include <chrono>
#include <string>

// The desktop's setting that mounts inserted media by itself; without it no medium
// arrives unless the user mounts it.
enum class AutomountSetting { Absent, Enabled, Disabled };

// Asked (Yes/No) at start-up when the setting is Disabled.
extern const char kEnableAutomountQuestion[];

// Read and written through the gsettings tool, run without a shell and given at most
// `timeout`. `program` lets tests stand in for the tool. Absent when the tool, the
// schema or the key does not exist, or the tool gives no answer in time.
AutomountSetting readAutomountSetting(const std::string& program = "gsettings",
                                      std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Turns the setting on; true only when reading it back says Enabled.
bool enableAutomount(const std::string& program = "gsettings",
                     std::chrono::milliseconds timeout = std::chrono::seconds(5));
