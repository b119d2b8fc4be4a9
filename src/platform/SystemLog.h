#pragma once

#include <string>

// Writes `message` to the system log (the journal or syslog) with facility authpriv, which
// only administrators read: audit records name patients.
void writeAuthPrivLog(const std::string& message);
