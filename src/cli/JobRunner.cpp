#include "cli/JobRunner.h"

#include <iostream>

#include "cli/ReportJson.h"
#include "cli/StationSummary.h"
#include "cli/Terminal.h"
#include "platform/DisplayedPath.h"

JobRunner::JobRunner(KalvoraEngine& engine, JobRunOptions options)
    : engine_(engine), options_(options) {}

void JobRunner::scanReported(ScanEvent event, const ScanProgress& p) {
  switch (event) {
    case ScanEvent::FileCopied:
      ++copied_;
      break;
    case ScanEvent::FileNotCopied:
      ++notCopied_;
      break;
    case ScanEvent::ScanError:
      // Viewer programs and texts beside the images are expected on a medium.
      if (!p.notAnImage) ++scanErrors_;
      if (p.notAnImage) ++notDicom_;
      break;
    case ScanEvent::ScanStopped:
      stopped_ = true;
      break;
    case ScanEvent::ScanFinished:
      expectedFiles_ = p.filesSaved;
      break;
    default:
      break;
  }
  showReport(toJson(event, p));
}

void JobRunner::sendReported(SendEvent event, const SendProgress& p) {
  Destination& destination = destinations_[{p.destination, p.destinationHost, p.destinationPort}];
  switch (event) {
    case SendEvent::FileSent:
      ++destination.sent;
      break;
    case SendEvent::FileFailed:
      ++destination.failed;
      break;
    case SendEvent::SendFinished:
      ++sendsFinished_;
      destination.finished = true;
      destination.last = p;
      if (p.filesRemaining != 0 || p.filesFailed != 0 || p.filesNotAttempted != 0 ||
          p.filesSent < expectedFiles_)
        allSendsComplete_ = false;
      break;
    default:
      break;
  }
  showReport(toJson(event, p));
}

void JobRunner::showReport(const nlohmann::json& report) {
  if (!options_.json) return showProgress();
  std::lock_guard<std::mutex> terminal(terminalMutex());
  std::cout << dumpJson(report) << std::endl;
}

void JobRunner::showProgress() {
  if (!options_.progressLine || questionWaiting()) return;
  std::string line = "Copied " + std::to_string(copied_);
  if (notCopied_ + scanErrors_ > 0)
    line += ", not copied " + std::to_string(notCopied_ + scanErrors_);
  for (const auto& [station, d] : destinations_) {
    line += " | " + station.aeTitle + ": sent " + std::to_string(d.sent);
    if (d.failed > 0) line += ", failed " + std::to_string(d.failed);
  }
  std::unique_lock<std::mutex> terminal(terminalMutex(), std::try_to_lock);
  if (terminal.owns_lock()) std::cout << "\r\033[K" << line << std::flush;
}

int JobRunner::finish(const std::string& jobFolder, bool scanned, bool sending, std::string note) {
  const bool copiedAll =
      !scanned || (!stopped_ && notCopied_ == 0 && scanErrors_ == 0 && copied_ > 0);
  const JobList& jobs = engine_.jobs();
  const int index = jobs.FindJob(jobFolder);
  const bool failed = index >= 0 && jobs[index].status == jobStatusText(JobStatus::Failed);
  const bool storedAll = !sending || (sendsFinished_ > 0 && allSendsComplete_ && !failed);
  const int exitStatus = copiedAll && storedAll ? 0 : 1;

  const JobCounters& counters = engine_.counters();
  if (options_.json) {
    nlohmann::json summary = {{"event", "Summary"},
                              {"jobFolder", jobFolder},
                              {"status", index >= 0 ? jobs[index].status : ""},
                              {"patients", index >= 0 ? jobs.PatientsText(index) : ""},
                              {"log", index >= 0 ? jobs[index].log : ""},
                              {"scanFiles", counters.scanFiles},
                              {"scanErrors", counters.scanErrors},
                              {"sendFiles", counters.sendFiles},
                              {"sendErrors", counters.sendErrors},
                              {"destinations", sendSummaryJson()},
                              {"exitStatus", exitStatus}};
    if (!note.empty()) summary["note"] = note;
    std::cout << dumpJson(summary) << std::endl;
    return exitStatus;
  }
  if (options_.progressLine) std::cout << "\n";
  if (index >= 0) {
    std::cout << "Job " << jobs[index].number << " (" << jobs[index].status << ")";
    if (!jobs[index].patients.empty()) std::cout << ": " << printableText(jobs.PatientsText(index));
    std::cout << "\n"
              << printableText(
                     withDisplayedPath(withoutCarriageReturns(jobs[index].log), jobFolder));
  }
  // The sends are told once, per station; the counters' own send line would say it again
  // in other words.
  if (scanned)
    std::cout << "Scan: files " << counters.scanFiles << ", errors " << counters.scanErrors << "\n";
  // A medium of only programs and texts looks like an empty job otherwise.
  if (scanned && copied_ == 0 && !stopped_ && notDicom_ > 0)
    std::cout << "0 DICOM files found; " << notDicom_
              << (notDicom_ == 1 ? " file is" : " files are") << " not DICOM"
              << (engine_.settings.verbose ? "" : " (--verbose lists them)") << "\n";
  const std::string fate = folderFate(jobFolder, index);
  printSendSummary(fate);
  // Where the stations' lines tell the folder's fate, the note would say it twice.
  if (!note.empty() && (fate.empty() || sendsFinished_ == 0))
    std::cout << withDisplayedPath(note, jobFolder) << "\n";
  return exitStatus;
}

std::string JobRunner::folderFate(const std::string& jobFolder, int index) const {
  if (index < 0 || !engine_.jobFolderMade(jobFolder)) return "";
  const std::string& status = engine_.jobs()[index].status;
  if (status == jobStatusText(JobStatus::Finished)) return jobFolderFate(jobFolder, true);
  if (status == jobStatusText(JobStatus::Failed)) return jobFolderFate(jobFolder, false);
  return "";
}

void JobRunner::printSendSummary(const std::string& fate) const {
  StationResults results;
  for (const auto& [station, d] : destinations_)
    if (d.finished) results[station] = d.last;
  printStationResults(std::cout, results, fate);
}

nlohmann::json JobRunner::sendSummaryJson() const {
  nlohmann::json summary = nlohmann::json::array();
  for (const auto& [station, d] : destinations_) {
    if (!d.finished) continue;
    nlohmann::json failed = nlohmann::json::array();
    nlohmann::json notAttempted = nlohmann::json::array();
    for (const FileTransfer& t : d.last.transfers) {
      const nlohmann::json file = {{"path", t.path}, {"reason", t.reason}};
      if (t.outcome == FileTransfer::Outcome::Failed) failed.push_back(file);
      if (t.outcome == FileTransfer::Outcome::NotAttempted) notAttempted.push_back(file);
    }
    summary.push_back({{"destination", station.aeTitle},
                       {"host", station.host},
                       {"port", station.port},
                       {"files", d.last.transfers.size()},
                       {"filesSent", d.last.filesSent},
                       {"filesFailed", d.last.filesFailed},
                       {"filesNotAttempted", d.last.filesNotAttempted},
                       {"failed", failed},
                       {"notAttempted", notAttempted}});
  }
  return summary;
}
