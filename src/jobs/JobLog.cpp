#include "jobs/JobLog.h"

#include "jobs/JobFolders.h"

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
    case ScanEvent::FileCopied: {
      // Which local patient a file was given is always worth a line.
      std::string lines;
      if (!p.patientMatch.empty())
        lines = "INFO: New patient data of '" + p.fileName + "' picked from the match " +
                p.patientMatch + "\r\n";
      if (verbose) lines += "INFO: File '" + p.fileName + "' copied\r\n";
      if (lines.empty()) return std::nullopt;
      return lines;
    }
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
      return verboseOnly(verbose || p.logAlways, "ERROR: " + p.message + "\r\n");
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

namespace {

constexpr size_t kNamedFiles = 10;

}  // namespace

std::string localTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string undeliveredLogLine(const JobDestination& d, const std::vector<std::string>& missing,
                               size_t copies) {
  std::string line = "ERROR: " + std::to_string(missing.size()) + " of " + std::to_string(copies) +
                     " files did not reach " + d.aeTitle + " at " + d.host + ":" +
                     std::to_string(d.port) + ":";
  for (size_t i = 0; i < missing.size() && i < kNamedFiles; ++i)
    line += std::string(i == 0 ? " '" : ", '") + missing[i] + "'";
  if (missing.size() > kNamedFiles)
    line += " and " + std::to_string(missing.size() - kNamedFiles) + " more";
  return line + "\r\n";
}

std::string leftInJobFolderLogLine(const std::string& jobFolder,
                                   const std::vector<std::string>& left) {
  std::string line =
      "ERROR: Job folder '" + jobFolder + "' kept: it holds what Kalvora did not write:";
  for (size_t i = 0; i < left.size() && i < kNamedFiles; ++i)
    line += std::string(i == 0 ? " '" : ", '") + left[i] + "'";
  if (left.size() > kNamedFiles)
    line += " and " + std::to_string(left.size() - kNamedFiles) + " more";
  return line + "\r\n";
}

std::string foundJobLog(const std::string& jobFolder, std::time_t leftAt,
                        const JobFolderContents& contents, const JobJournalState& journal) {
  const std::vector<JobCopy>& copies = contents.copies;
  std::string log = "Job folder '" + jobFolder + "' found, left on " + localTimeText(leftAt) +
                    " with " + std::to_string(copies.size()) + " files\r\n";
  if (journal.madeByEarlierVersion())
    log += "Made by an earlier version of Kalvora: its files are sent, never deleted\r\n";
  if (!contents.others.empty()) log += leftInJobFolderLogLine(jobFolder, contents.others);
  if (!journal.readingFinished) {
    log += journal.sourceRoot.empty()
               ? std::string("The reading of the medium was not finished\r\n")
               : "The reading of media " + journal.sourceRoot + " was not finished\r\n";
  }
  if (journal.destinations.empty()) log += "Not sent to any station yet\r\n";
  for (const JobDestination& d : journal.destinations) {
    const std::vector<std::string> missing = journal.missingAt(d, copies);
    if (!missing.empty()) log += undeliveredLogLine(d, missing, copies.size());
  }
  return log;
}
