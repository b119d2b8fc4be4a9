#include "cli/ReportJson.h"

const char* scanEventName(ScanEvent event) {
  switch (event) {
    case ScanEvent::ScanStarted:
      return "ScanStarted";
    case ScanEvent::ScanStopped:
      return "ScanStopped";
    case ScanEvent::ScanError:
      return "ScanError";
    case ScanEvent::FileCopied:
      return "FileCopied";
    case ScanEvent::FileAnonymized:
      return "FileAnonymized";
    case ScanEvent::FileNotCopied:
      return "FileNotCopied";
    case ScanEvent::ScanSkipped:
      return "ScanSkipped";
    case ScanEvent::ScanFinished:
      return "ScanFinished";
  }
  return "";
}

const char* sendEventName(SendEvent event) {
  switch (event) {
    case SendEvent::SendStarted:
      return "SendStarted";
    case SendEvent::SendNotice:
      return "SendNotice";
    case SendEvent::SendFailed:
      return "SendFailed";
    case SendEvent::FileSent:
      return "FileSent";
    case SendEvent::FileFailed:
      return "FileFailed";
    case SendEvent::FileConverted:
      return "FileConverted";
    case SendEvent::SendFinished:
      return "SendFinished";
  }
  return "";
}

nlohmann::json toJson(ScanEvent event, const ScanProgress& p) {
  nlohmann::json report = {{"event", scanEventName(event)}, {"sourceRoot", p.sourceRoot},
                           {"jobFolder", p.jobFolder},      {"fileName", p.fileName},
                           {"patientName", p.patientName},  {"patientId", p.patientId},
                           {"message", p.message},          {"filesSeen", p.filesSeen},
                           {"filesSaved", p.filesSaved}};
  if (!p.patientMatch.empty()) report["patientMatch"] = p.patientMatch;
  return report;
}

nlohmann::json toJson(SendEvent event, const SendProgress& p) {
  return {{"event", sendEventName(event)}, {"destination", p.destination},
          {"host", p.destinationHost},     {"port", p.destinationPort},
          {"jobFolder", p.jobFolder},      {"currentFile", p.currentFile},
          {"message", p.message},          {"condition", p.condition.text()},
          {"filesSent", p.filesSent},      {"filesRemaining", p.filesRemaining},
          {"filesFailed", p.filesFailed},  {"filesNotAttempted", p.filesNotAttempted}};
}

std::string dumpJson(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string withoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}
