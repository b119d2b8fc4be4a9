#include "jobs/AuditMessage.h"

#include <arpa/inet.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at `at` that XML may hold, or 0.
size_t validSequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  size_t length = 0;
  unsigned code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF) return 0;
  return length;
}

using Attributes = std::vector<std::pair<const char*, std::string>>;

// Builds the record on one line.
class XmlText {
 public:
  void open(const char* name, const Attributes& attributes = {}) {
    start(name, attributes);
    text_ += ">";
  }
  void empty(const char* name, const Attributes& attributes) {
    start(name, attributes);
    text_ += "/>";
  }
  void element(const char* name, const std::string& content) {
    open(name);
    text_ += xmlEscaped(content);
    close(name);
  }
  void close(const char* name) { text_ += std::string("</") + name + ">"; }
  void code(const char* name, const std::string& code, const char* system, const char* meaning) {
    empty(name, {{"csd-code", code}, {"codeSystemName", system}, {"originalText", meaning}});
  }
  const std::string& text() const { return text_; }

 private:
  void start(const char* name, const Attributes& attributes) {
    text_ += std::string("<") + name;
    for (const auto& [key, value] : attributes)
      text_ += std::string(" ") + key + "=\"" + xmlEscaped(value) + "\"";
  }
  std::string text_;
};

std::string eventDateTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis));
  return text;
}

// The type of a network access point: 2 for an IP address, 1 for a machine name.
std::string accessPointType(const std::string& host) {
  unsigned char address[16];
  const bool ip = inet_pton(AF_INET, host.c_str(), address) == 1 ||
                  inet_pton(AF_INET6, host.c_str(), address) == 1;
  return ip ? "2" : "1";
}

std::string aeTitles(const std::string& aeTitle) { return "AETITLES=" + aeTitle; }

// A file as a URI: file:// and the path, with every byte but the unreserved ones and '/'
// percent-encoded.
std::string fileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || std::string("-._~/").find(c) != std::string::npos) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

struct EventKind {
  const char* code;
  const char* meaning;
  const char* action;  // EventActionCode: C create, D delete, E execute
};

void event(XmlText& xml, const EventKind& kind, const AuditEventOutcome& outcome,
           bool configuration = false) {
  xml.open("EventIdentification",
           {{"EventActionCode", kind.action},
            {"EventDateTime", eventDateTime()},
            {"EventOutcomeIndicator", std::to_string(static_cast<int>(outcome.outcome))}});
  xml.code("EventID", kind.code, "DCM", kind.meaning);
  if (configuration) xml.code("EventTypeCode", "110131", "DCM", "Software Configuration");
  if (!outcome.description.empty()) xml.element("EventOutcomeDescription", outcome.description);
  xml.close("EventIdentification");
}

void participantInRole(XmlText& xml, const Attributes& attributes, const char* roleCode,
                       const char* roleMeaning) {
  xml.open("ActiveParticipant", attributes);
  xml.code("RoleIDCode", roleCode, "DCM", roleMeaning);
  xml.close("ActiveParticipant");
}

void requestingUser(XmlText& xml, const AuditActor& actor) {
  const std::string uid = std::to_string(actor.userId);
  xml.empty("ActiveParticipant", {{"UserID", actor.loginName.empty() ? uid : actor.loginName},
                                  {"AlternativeUserID", uid},
                                  {"UserIsRequestor", "true"}});
}

// Our process; `role` is its part in a transfer ("" for none).
void application(XmlText& xml, const AuditActor& actor, const char* roleCode = nullptr,
                 const char* roleMeaning = nullptr) {
  Attributes attributes{{"UserID", std::to_string(actor.processId)}};
  if (!actor.aeTitle.empty()) attributes.emplace_back("AlternativeUserID", aeTitles(actor.aeTitle));
  attributes.insert(attributes.end(), {{"UserName", actor.processName},
                                       {"UserIsRequestor", "false"},
                                       {"NetworkAccessPointID", actor.hostName},
                                       {"NetworkAccessPointTypeCode", "1"}});
  if (roleCode)
    participantInRole(xml, attributes, roleCode, roleMeaning);
  else
    xml.empty("ActiveParticipant", attributes);
}

void auditSource(XmlText& xml, const AuditActor& actor) {
  xml.empty("AuditSourceIdentification", {{"AuditSourceID", actor.hostName}});
}

std::string instancesText(int count) {
  return std::to_string(count) + (count == 1 ? " instance" : " instances");
}

// The patients and then the studies of `instances`, each once.
void patientsAndStudies(XmlText& xml, const std::vector<AuditInstance>& instances) {
  std::vector<std::pair<std::string, std::string>> patients;
  struct Study {
    std::string uid;
    int instances = 0;
    std::vector<std::pair<std::string, int>> sopClasses;
  };
  std::vector<Study> studies;
  for (const AuditInstance& instance : instances) {
    const std::pair<std::string, std::string> patient{instance.patientId, instance.patientName};
    // An instance that could not be read names no one; the count still has it.
    const bool named = !patient.first.empty() || !patient.second.empty();
    if (named && std::find(patients.begin(), patients.end(), patient) == patients.end())
      patients.push_back(patient);
    if (instance.studyInstanceUid.empty()) continue;
    auto study = std::find_if(studies.begin(), studies.end(), [&](const Study& known) {
      return known.uid == instance.studyInstanceUid;
    });
    if (study == studies.end())
      study = studies.insert(studies.end(), Study{instance.studyInstanceUid, 0, {}});
    ++study->instances;
    auto sopClass =
        std::find_if(study->sopClasses.begin(), study->sopClasses.end(),
                     [&](const auto& known) { return known.first == instance.sopClassUid; });
    if (sopClass == study->sopClasses.end())
      study->sopClasses.emplace_back(instance.sopClassUid, 1);
    else
      ++sopClass->second;
  }
  // In a stable order, whatever order the files were read or sent in.
  std::sort(patients.begin(), patients.end());
  std::sort(studies.begin(), studies.end(),
            [](const Study& a, const Study& b) { return a.uid < b.uid; });
  for (Study& study : studies) std::sort(study.sopClasses.begin(), study.sopClasses.end());
  for (const auto& [id, name] : patients) {
    xml.open("ParticipantObjectIdentification", {{"ParticipantObjectID", id},
                                                 {"ParticipantObjectTypeCode", "1"},
                                                 {"ParticipantObjectTypeCodeRole", "1"}});
    xml.code("ParticipantObjectIDTypeCode", "2", "RFC-3881", "Patient Number");
    xml.element("ParticipantObjectName", name);
    xml.close("ParticipantObjectIdentification");
  }
  for (const Study& study : studies) {
    xml.open("ParticipantObjectIdentification", {{"ParticipantObjectID", study.uid},
                                                 {"ParticipantObjectTypeCode", "2"},
                                                 {"ParticipantObjectTypeCodeRole", "3"}});
    xml.code("ParticipantObjectIDTypeCode", "110180", "DCM", "Study Instance UID");
    xml.element("ParticipantObjectDescription", instancesText(study.instances));
    for (const auto& [uid, count] : study.sopClasses) {
      Attributes attributes;
      if (!uid.empty()) attributes.emplace_back("UID", uid);
      attributes.emplace_back("NumberOfInstances", std::to_string(count));
      xml.empty("SOPClass", attributes);
    }
    xml.close("ParticipantObjectIdentification");
  }
}

// With the number of instances, which a study without a UID would not show otherwise.
AuditEventOutcome withCount(const AuditEventOutcome& outcome, size_t instances) {
  AuditEventOutcome counted = outcome;
  const std::string count = instancesText(static_cast<int>(instances));
  counted.description = outcome.description.empty() ? count : count + "; " + outcome.description;
  return counted;
}

}  // namespace

std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x80) {
      const size_t length = validSequenceLength(text, at);
      if (length == 0) {
        escaped += kReplacement;
        ++at;
      } else {
        escaped.append(text, at, length);
        at += length;
      }
      continue;
    }
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      case '\t':
        escaped += "&#9;";
        break;
      case '\n':
        escaped += "&#10;";
        break;
      case '\r':
        escaped += "&#13;";
        break;
      default:
        if (c < 0x20)
          escaped += kReplacement;
        else
          escaped += static_cast<char>(c);
    }
    ++at;
  }
  return escaped;
}

AuditActor currentAuditActor() {
  AuditActor actor;
  actor.userId = static_cast<long long>(geteuid());
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    actor.loginName = found->pw_name;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) actor.hostName = host;
  actor.processId = static_cast<long long>(getpid());
  return actor;
}

std::string importAuditMessage(const AuditActor& actor, const AuditMedium& medium,
                               const std::vector<AuditInstance>& instances,
                               const AuditEventOutcome& outcome) {
  XmlText xml;
  xml.open("AuditMessage");
  event(xml, {"110107", "Import", "C"}, withCount(outcome, instances.size()));
  requestingUser(xml, actor);
  application(xml, actor, "110152", "Destination Role ID");
  Attributes source{{"UserID", medium.mountPoint}};
  if (!medium.volumeLabel.empty()) source.emplace_back("UserName", medium.volumeLabel);
  source.emplace_back("UserIsRequestor", "false");
  participantInRole(xml, source, "110155", "Source Media");
  auditSource(xml, actor);
  patientsAndStudies(xml, instances);
  xml.close("AuditMessage");
  return xml.text();
}

std::string transferAuditMessage(const AuditActor& actor, const AuditStation& station,
                                 const std::vector<AuditInstance>& instances,
                                 const AuditEventOutcome& outcome) {
  XmlText xml;
  xml.open("AuditMessage");
  event(xml, {"110104", "DICOM Instances Transferred", "C"}, withCount(outcome, instances.size()));
  requestingUser(xml, actor);
  application(xml, actor, "110153", "Source Role ID");
  Attributes destination{{"UserID", station.aeTitle},
                         {"AlternativeUserID", aeTitles(station.aeTitle)}};
  if (!station.alias.empty()) destination.emplace_back("UserName", station.alias);
  destination.insert(destination.end(),
                     {{"UserIsRequestor", "false"},
                      {"NetworkAccessPointID", station.host},
                      {"NetworkAccessPointTypeCode", accessPointType(station.host)}});
  participantInRole(xml, destination, "110152", "Destination Role ID");
  auditSource(xml, actor);
  patientsAndStudies(xml, instances);
  xml.close("AuditMessage");
  return xml.text();
}

std::string studyDeletedAuditMessage(const AuditActor& actor,
                                     const std::vector<AuditInstance>& instances,
                                     const AuditEventOutcome& outcome) {
  XmlText xml;
  xml.open("AuditMessage");
  event(xml, {"110105", "DICOM Study Deleted", "D"}, withCount(outcome, instances.size()));
  requestingUser(xml, actor);
  application(xml, actor);
  auditSource(xml, actor);
  patientsAndStudies(xml, instances);
  xml.close("AuditMessage");
  return xml.text();
}

std::string configurationChangeAuditMessage(const AuditActor& actor,
                                            const std::vector<std::string>& files,
                                            const AuditEventOutcome& outcome) {
  XmlText xml;
  xml.open("AuditMessage");
  event(xml, {"110113", "Security Alert", "E"}, outcome, true);
  requestingUser(xml, actor);
  application(xml, actor);
  auditSource(xml, actor);
  for (const std::string& file : files) {
    xml.open("ParticipantObjectIdentification", {{"ParticipantObjectID", fileUri(file)},
                                                 {"ParticipantObjectTypeCode", "2"},
                                                 {"ParticipantObjectTypeCodeRole", "13"}});
    xml.code("ParticipantObjectIDTypeCode", "12", "RFC-3881", "URI");
    xml.close("ParticipantObjectIdentification");
  }
  xml.close("AuditMessage");
  return xml.text();
}
