#include "jobs/JobLog.h"

namespace {

std::optional<std::string> verboseOnly(bool verbose, std::string line) {
  if (!verbose) return std::nullopt;
  return line;
}

}  // namespace

std::optional<std::string> scanLogLine(ScanEvent event, const ScanProgress& p, bool verbose) {
  switch (event) {
    case ScanEvent::ScanStarted:
      return "Start to scan media " + p.sourceRoot + "\r\n";
    case ScanEvent::ScanError:
      return verboseOnly(verbose, "ERROR: " + p.message + " [" + p.fileName + "]\r\n");
    case ScanEvent::FileCopied:
      return verboseOnly(verbose, "INFO: File '" + p.fileName + "' copied\r\n");
    case ScanEvent::FileAnonymized:
      return verboseOnly(verbose, "INFO: '" + p.fileName + "' " + p.message + "\r\n");
    case ScanEvent::FileNotCopied:
      return verboseOnly(verbose,
                         "ERROR: File '" + p.fileName + "' not copied [" + p.message + "]\r\n");
    case ScanEvent::ScanSkipped:
      return verboseOnly(verbose,
                         "INFO: Skipped scan for one or more files [" + p.message + "]\r\n");
    case ScanEvent::ScanFinished:
      return std::nullopt;
    case ScanEvent::ScanStopped:
      return "Scan of media " + p.sourceRoot + " stopped manually\r\n";
  }
  return std::nullopt;
}

std::optional<std::string> sendLogLine(SendEvent event, const SendProgress& p, bool verbose) {
  switch (event) {
    case SendEvent::SendStarted:
      return "Start sending: '" + p.jobFolder + "' to " + p.destination + "\r\n";
    case SendEvent::SendNotice:
    case SendEvent::SendFailed:
      return verboseOnly(verbose, "ERROR: " + p.message + "\r\n");
    case SendEvent::FileSent: {
      // A warning status from the station is named, though the file counts as sent.
      const std::string warning = p.warning.empty() ? "" : " [" + p.warning + "]";
      return verboseOnly(verbose, "INFO: File '" + p.currentFile + "' sended to " + p.destination +
                                      warning + "\r\n");
    }
    case SendEvent::FileFailed:
      return verboseOnly(verbose, "ERROR: File '" + p.currentFile + "' not sended to " +
                                      p.destination + " [" + p.message + "]\r\n");
    case SendEvent::FileConverted:
      return verboseOnly(verbose, "INFO: " + p.message + "\r\n");
    case SendEvent::SendFinished:
      return "Sending finished. (sended files: " + std::to_string(p.filesSent) + ")\r\n";
  }
  return std::nullopt;
}
