#include "config/TlsSettingsSection.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace {

using nlohmann::json;

std::string optionalText(const json& section, const char* name, const std::string& owner) {
  if (!section.contains(name)) return {};
  const json& value = section.at(name);
  if (!value.is_string()) throw std::runtime_error(owner + ": tls " + name + " is not a text");
  return value.get<std::string>();
}

}  // namespace

TlsSettings readTlsSettings(const json& section, const std::string& owner) {
  if (!section.is_object()) throw std::runtime_error(owner + ": tls is not an object");
  TlsSettings tls;
  if (section.contains("enabled")) {
    if (!section.at("enabled").is_boolean())
      throw std::runtime_error(owner + ": tls enabled is not true or false");
    tls.enabled = section.at("enabled").get<bool>();
  }
  tls.trustedCertificates = optionalText(section, "trustedCertificates", owner);
  tls.clientCertificate = optionalText(section, "clientCertificate", owner);
  tls.clientKey = optionalText(section, "clientKey", owner);
  return tls;
}

json writeTlsSettings(const TlsSettings& tls) {
  json section{{"enabled", tls.enabled}, {"trustedCertificates", tls.trustedCertificates}};
  if (!tls.clientCertificate.empty() || !tls.clientKey.empty()) {
    section["clientCertificate"] = tls.clientCertificate;
    section["clientKey"] = tls.clientKey;
  }
  return section;
}
