#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "config/TlsSettings.h"

// The "tls" object of a station in the settings file:
//   {"enabled": true, "trustedCertificates": "/etc/kalvora/ca.pem",
//    "clientCertificate": "...", "clientKey": "..."}
// Only the form is checked when reading (the files may come and go, and are checked when
// used); reading throws std::runtime_error naming `owner` and the field.
TlsSettings readTlsSettings(const nlohmann::json& section, const std::string& owner);
nlohmann::json writeTlsSettings(const TlsSettings& tls);
