// The engine's sends: one worker per station of a job, and, when asked for, one association
// at a time per station.

#include <algorithm>
#include <deque>

#include "jobs/DestinationSelection.h"
#include "jobs/JobFolders.h"
#include "jobs/KalvoraEngine.h"
#include "net/SendParams.h"
#include "net/StoreScu.h"

namespace {

// The associations a station allows: the fewest of the aliases it goes by, so that two
// entries for one station never open more than either allows.
int associationsFor(const JobDestination& destination, const CStationArray& stations,
                    const std::map<std::string, StationOptions>& options) {
  int associations = 0;
  for (const CStation& station : stations) {
    if (station.aeTitle != destination.aeTitle || station.host != destination.host ||
        station.port != destination.port)
      continue;
    const auto found = options.find(station.alias);
    const int allowed = found == options.end() ? 1 : found->second.associations;
    associations = associations == 0 ? allowed : std::min(associations, allowed);
  }
  return std::max(associations, 1);
}

// The TLS of a station: that of the first alias it goes by that has TLS on, so that a
// station one entry secures is never reached in clear through another.
TlsSettings tlsFor(const JobDestination& destination, const CStationArray& stations,
                   const std::map<std::string, StationOptions>& options) {
  for (const CStation& station : stations) {
    if (station.aeTitle != destination.aeTitle || station.host != destination.host ||
        station.port != destination.port)
      continue;
    const auto found = options.find(station.alias);
    if (found != options.end() && found->second.tls.enabled) return found->second.tls;
  }
  return {};
}

}  // namespace

void KalvoraEngine::StartSending(const std::string& jobFolder) {
  if (shutDown_ || stoppedEverything_) return;
  const DestinationSelection selection =
      selectDestinations(settings, stations, rules, jobFolder, prompts_);
  for (const StationChoice& station : selection.stations)
    StartSendJob(station.aeTitle, station.host, station.port, jobFolder);
  if (!selection.stations.empty()) return;
  // Not sent is not done: the job is kept, shown as failed, to be sent again to a station.
  appendLog(jobFolder, selection.whyNone);
  jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Failed));
  jobChanged(jobFolder);
}

void KalvoraEngine::StartSendJob(const std::string& calledAeTitle, const std::string& host,
                                 int port, const std::string& jobFolder) {
  if (shutDown_ || stoppedEverything_) return;
  // Only a folder this process holds is sent: what arrived goes into its journal.
  JobJournal* journal = journalOf(jobFolder);
  if (!journal) return;
  const JobDestination destination{calledAeTitle, host, port};
  journal->chooseDestination(destination);
  // The job counts as sending while it waits for its turn.
  ++runningSends_[jobFolder];
  if (oneAssociationPerStation_ && stationBusy_[destination] > 0) {
    waitingSends_[destination].push_back(jobFolder);
    return;
  }
  launchSend(destination, *journal, jobFolder);
}

void KalvoraEngine::launchSend(const JobDestination& destination, const JobJournal& journal,
                               const std::string& jobFolder) {
  SendParams params =
      makeSendParams(settings, destination.aeTitle, destination.host, destination.port, jobFolder);
  params.associations = associationsFor(destination, stations, stationOptions);
  params.tls = tlsFor(destination, stations, stationOptions);
  const JobJournalState& state = journal.state();
  const std::vector<JobCopy> copies = SortJobFolder(jobFolder, state).copies;
  const std::vector<std::string> missing = state.missingAt(destination, copies);
  for (const JobCopy& copy : copies)
    if (std::find(missing.begin(), missing.end(), copy.name) == missing.end())
      params.storedAlready.insert(copy.name);
  // Of a folder Kalvora made, only its own copies go; whatever else is there is named by
  // the job, never sent.
  if (state.format == 2) {
    params.onlyFiles.emplace();
    for (const JobCopy& copy : copies) params.onlyFiles->insert(copy.name);
  }

  std::weak_ptr<bool> alive = alive_;
  auto worker = std::make_unique<StoreScu>(
      std::move(params), mainThread_, prompts_,
      [this, alive, destination](SendEvent event, const SendProgress& progress) {
        if (alive.lock()) handleSendReport(event, progress, destination);
      });
  ++stationBusy_[destination];
  worker->start();
  sendThreads_.push_back({std::move(worker), jobFolder});
}

void KalvoraEngine::startNextWaitingSend(const JobDestination& destination) {
  std::deque<std::string>& waiting = waitingSends_[destination];
  while (!waiting.empty() && !shutDown_ && !stoppedEverything_) {
    const std::string jobFolder = waiting.front();
    waiting.pop_front();
    if (const JobJournal* journal = journalOf(jobFolder)) {
      launchSend(destination, *journal, jobFolder);
      return;
    }
    --runningSends_[jobFolder];
  }
}

void KalvoraEngine::dropWaitingSends() {
  for (auto& [destination, waiting] : waitingSends_) {
    for (const std::string& jobFolder : waiting) {
      --runningSends_[jobFolder];
      if (isJobActive(jobFolder)) continue;
      // Not sent: kept, to be sent again.
      jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Failed));
      releaseIdleJournal(jobFolder);
      jobChanged(jobFolder);
    }
    waiting.clear();
  }
}
