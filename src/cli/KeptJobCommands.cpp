// kalvora-cli jobs: the job folders kept because their files did not all reach their
// stations, or left by a crash: list them, send them again, discard them.

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliConfiguration.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/JobOptions.h"
#include "cli/ReportJson.h"
#include "cli/StationSummary.h"
#include "cli/Terminal.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobFolders.h"
#include "jobs/JobLog.h"
#include "jobs/KalvoraEngine.h"
#include "jobs/KeptJobs.h"
#include "jobs/QueuedMainThread.h"
#include "platform/DisplayedPath.h"

namespace {

// A folder as the user reads it: one '/' between its parts, control characters escaped.
std::string shownFolder(const std::string& folder) { return printableText(displayedPath(folder)); }

struct KeptOptions : JobOptions {
  std::string folder;
  bool all = false;
};

std::string quotedNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "'" : ", '") + printableText(name) + "'";
  return text;
}

// Patients of a kept job with their image counts, as the job list counts them.
std::vector<PatientEntry> patientsOf(const KeptJob& kept) {
  JobList list;
  list.AddJob(kept.jobFolder, "", "");
  for (const auto& [patientId, patientName] : kept.journal.copiedPatients)
    list.AddJobPatient(kept.jobFolder, patientName, patientId);
  return list[0].patients;
}

nlohmann::json keptJobJson(const KeptJob& kept) {
  nlohmann::json patients = nlohmann::json::array();
  for (const PatientEntry& p : patientsOf(kept))
    patients.push_back({{"name", p.name}, {"patientId", p.patientId}, {"images", p.imageCount}});
  nlohmann::json destinations = nlohmann::json::array();
  for (const JobDestination& d : kept.journal.destinations) {
    const size_t missing = kept.journal.missingAt(d, kept.copies).size();
    destinations.push_back({{"aeTitle", d.aeTitle},
                            {"host", d.host},
                            {"port", d.port},
                            {"stored", kept.copies.size() - missing},
                            {"missing", missing}});
  }
  nlohmann::json job = {{"jobFolder", kept.jobFolder},
                        {"leftAt", localTimeText(kept.leftAt)},
                        {"source", kept.journal.sourceRoot},
                        {"readingFinished", kept.journal.readingFinished},
                        {"files", kept.copies.size()},
                        {"patients", patients},
                        {"destinations", destinations},
                        {"inUse", kept.inUse},
                        {"notKalvoras", kept.others},
                        {"madeByEarlierVersion", kept.journal.madeByEarlierVersion()}};
  if (kept.journal.startedAt != 0) job["startedAt"] = localTimeText(kept.journal.startedAt);
  return job;
}

void printKeptJob(const KeptJob& kept) {
  std::cout << shownFolder(kept.jobFolder) << "\n  left on " << localTimeText(kept.leftAt) << ", "
            << kept.copies.size() << " files";
  if (!kept.journal.sourceRoot.empty())
    std::cout << ", read from " << printableText(kept.journal.sourceRoot);
  if (!kept.journal.readingFinished) std::cout << " (reading not finished)";
  std::cout << "\n";
  std::string patients;
  for (const PatientEntry& p : patientsOf(kept))
    patients += (patients.empty() ? "" : ", ") + p.name + " (" + std::to_string(p.imageCount) + ")";
  if (!patients.empty()) std::cout << "  patients: " << printableText(patients) << "\n";
  if (kept.journal.destinations.empty()) std::cout << "  not sent to any station yet\n";
  for (const JobDestination& d : kept.journal.destinations) {
    const size_t missing = kept.journal.missingAt(d, kept.copies).size();
    std::cout << "  " << printableText(d.aeTitle) << " at " << d.host << ":" << d.port << ": "
              << (missing == 0 ? std::string("all stored") : std::to_string(missing) + " missing")
              << "\n";
  }
  if (!kept.others.empty())
    std::cout << "  not written by Kalvora, left alone: " << quotedNames(kept.others) << "\n";
  if (kept.journal.madeByEarlierVersion())
    std::cout << "  made by an earlier version of Kalvora: sent, never deleted by Kalvora\n";
  if (kept.inUse) std::cout << "  in use by a running Kalvora\n";
}

// A folder that stays after its copies went (or for want of proof of them), and why.
void sayFolderKept(const std::string& folder) {
  const KeptJob left = ReadKeptJob(folder);
  if (left.journal.madeByEarlierVersion()) {
    std::cerr << "'" << shownFolder(folder)
              << "' is kept: an earlier version of Kalvora made it without "
              << "recording its copies; check it and delete it yourself.\n";
    return;
  }
  std::cerr << "'" << folder
            << "' is kept: it holds what Kalvora did not write: " << quotedNames(left.others)
            << ".\n";
}

// Says why kept jobs may be missing from a listing; false when anything was passed over.
bool sayWhatWasNotLooked(const KeptJobSearch& search) {
  if (!search.notLooked.empty()) std::cerr << search.notLooked << "\n";
  for (const std::string& line : search.passedOver) std::cerr << line << "\n";
  return search.notLooked.empty() && search.passedOver.empty();
}

// FOLDER must be one that `jobs list` shows.
bool checkJobFolder(const KeptOptions& o, const KalvoraEngine& engine) {
  if (o.all || IsKalvoraJobFolder(o.folder, engine.settings.tempFolder)) return true;
  std::cerr << "'" << o.folder
            << "' is not a job folder of Kalvora below the temporary folder (see kalvora-cli "
               "jobs list).\n";
  return false;
}

int runList(const KeptOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  const KeptJobSearch search = SearchKeptJobs(engine.settings.tempFolder);
  const std::vector<KeptJob>& kept = search.jobs;
  const bool lookedAtAll = sayWhatWasNotLooked(search);
  if (o.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const KeptJob& job : kept) list.push_back(keptJobJson(job));
    std::cout << dumpJson(list) << std::endl;
    return lookedAtAll ? 0 : 1;
  }
  if (kept.empty() && lookedAtAll) std::cout << "No kept jobs.\n";
  for (const KeptJob& job : kept) printKeptJob(job);
  return lookedAtAll ? 0 : 1;
}

// Prints each report as a JSON line while the jobs are sent, and keeps each station's last
// report per job for the summary.
class ReportPrinter : public EngineObserver {
 public:
  explicit ReportPrinter(bool json) : json_(json) {}
  void sendReported(SendEvent event, const SendProgress& progress) override {
    if (event == SendEvent::SendFinished)
      results_[progress.jobFolder][{progress.destination, progress.destinationHost,
                                    progress.destinationPort}] = progress;
    if (!json_) return;
    std::lock_guard<std::mutex> terminal(terminalMutex());
    std::cout << dumpJson(toJson(event, progress)) << std::endl;
  }
  const StationResults& resultsOf(const std::string& jobFolder) { return results_[jobFolder]; }

 private:
  bool json_;
  std::map<std::string, StationResults> results_;
};

// A delivered job's log without the errors of the earlier attempts that the journal
// recalled at adoption: they are mended now, and would read as failures of this send.
std::string withoutMendedErrors(const std::string& log) {
  std::string kept;
  bool sending = false;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    end = end == std::string::npos ? log.size() : end + 1;
    const std::string line = log.substr(start, end - start);
    sending = sending || line.rfind("Start sending", 0) == 0;
    if (sending || line.rfind("ERROR: ", 0) != 0) kept += line;
    start = end;
  }
  return kept;
}

// A station the job still has to reach that no configured station is.
std::optional<JobDestination> unlistedStation(const KeptJob& kept, const KalvoraEngine& engine) {
  for (const JobDestination& d : kept.journal.destinations) {
    if (kept.journal.missingAt(d, kept.copies).empty()) continue;
    bool listed = false;
    for (const CStation& station : engine.stations)
      listed = listed ||
               (station.aeTitle == d.aeTitle && station.host == d.host && station.port == d.port);
    if (!listed) return d;
  }
  return std::nullopt;
}

// What reached the stations is all that was copied, not all that is on the medium.
void sayReadingUnfinished(const KeptJob& kept) {
  const std::string medium =
      kept.journal.sourceRoot.empty() ? "the medium" : kept.journal.sourceRoot;
  std::cerr << "The reading of " << medium << " did not finish for '" << kept.jobFolder
            << "': the medium may hold more than was copied. Read the medium again.\n";
}

bool folderExists(const std::string& folder) {
  struct stat info {};
  return lstat(folder.c_str(), &info) == 0;
}

// The folders the command works on: FOLDER, or (--all) every kept job no process works on.
// Adopts each into `engine`; prints why one cannot be worked on. False when one named by
// hand could not be.
bool adoptJobs(const KeptOptions& o, KalvoraEngine& engine, std::vector<KeptJob>& adopted,
               int& removedAtAdoption) {
  std::vector<KeptJob> candidates;
  bool allTaken = true;
  if (o.all) {
    const KeptJobSearch search = SearchKeptJobs(engine.settings.tempFolder);
    allTaken = sayWhatWasNotLooked(search);
    candidates = search.jobs;
  } else {
    candidates.push_back(ReadKeptJob(o.folder));
  }
  for (const KeptJob& kept : candidates) {
    std::string why;
    switch (engine.AdoptKeptJob(kept.jobFolder, &why)) {
      case KalvoraEngine::Adoption::Adopted:
        adopted.push_back(kept);
        break;
      case KalvoraEngine::Adoption::InUse:
        std::cerr << "'" << shownFolder(kept.jobFolder)
                  << "' is in use by a running Kalvora; left as it is.\n";
        allTaken = allTaken && o.all;
        break;
      case KalvoraEngine::Adoption::Failed:
        std::cerr << "'" << shownFolder(kept.jobFolder) << "' cannot be opened as a job (" << why
                  << ").\n";
        allTaken = false;
        break;
      case KalvoraEngine::Adoption::NotKept:
        if (folderExists(kept.jobFolder)) {
          std::cerr << "'" << shownFolder(kept.jobFolder) << "' cannot be opened as a job.\n";
          allTaken = false;
          break;
        }
        // Nothing in it had still to go anywhere: it has been removed.
        removedAtAdoption += static_cast<int>(kept.copies.size());
        std::cout << "'" << shownFolder(kept.jobFolder) << "' had nothing left to send; removed.\n";
        if (!kept.journal.readingFinished) {
          sayReadingUnfinished(kept);
          allTaken = false;
        }
        break;
    }
  }
  if (o.all && candidates.empty() && allTaken) std::cout << "No kept jobs.\n";
  return allTaken;
}

int runSendAgain(const KeptOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  if (!checkJobFolder(o, engine)) return 2;
  std::optional<StationChoice> replacement;
  try {
    replacement = stationFromOptions(o, engine);
  } catch (const UsageError& error) {
    std::cerr << error.message << "\n";
    return 2;
  }
  prompts.interactive = stdinIsTerminal();
  prompts.retries = o.retries;
  prompts.station = replacement;
  if (o.verbose) engine.settings.verbose = 1;
  holdInterrupts();
  // Many jobs at once must not take more associations than a station serves.
  engine.setOneAssociationPerStation(true);
  ReportPrinter printer(o.json);
  engine.setObserver(&printer);

  std::vector<KeptJob> adopted;
  int removed = 0;
  bool ok = adoptJobs(o, engine, adopted, removed);
  for (const KeptJob& job : adopted) {
    // A journal names its stations itself: one that is in no station list is never sent to
    // on the journal's word alone.
    if (!replacement) {
      if (const auto unknown = unlistedStation(job, engine)) {
        std::cerr << "'" << shownFolder(job.jobFolder) << "' was meant for "
                  << printableText(unknown->aeTitle) << " at " << printableText(unknown->host)
                  << ":" << unknown->port
                  << ", which is in no station list: give --to ALIAS, or --ae AE --host HOST "
                     "--port PORT.\n";
        ok = false;
        continue;
      }
    }
    if (!engine.ResendJob(job.jobFolder, replacement)) {
      std::cerr << "'" << shownFolder(job.jobFolder)
                << "' has no station to go to: give --to ALIAS, or "
                << "--ae AE --host HOST --port PORT.\n";
      ok = false;
    }
  }
  const bool ended = runEngineUntil(engine, mainThread, prompts, [&] {
    for (const KeptJob& job : adopted)
      if (engine.isJobActive(job.jobFolder)) return false;
    return true;
  });
  if (!ended) {
    // Whatever did not arrive stays kept, to be sent again.
    std::cerr << "Stopped before every job had been sent; see kalvora-cli jobs list.\n";
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(130);
  }

  const JobList& jobs = engine.jobs();
  for (const KeptJob& kept : adopted) {
    const std::string& folder = kept.jobFolder;
    const ImportJob& job = jobs[jobs.FindJob(folder)];
    const bool delivered = job.status == jobStatusText(JobStatus::Finished);
    const bool complete = delivered && kept.journal.readingFinished;
    ok = ok && complete;
    if (o.json) {
      std::cout << dumpJson({{"event", "Summary"},
                             {"jobFolder", folder},
                             {"status", job.status},
                             {"patients", jobs.PatientsText(jobs.FindJob(folder))},
                             {"log", job.log},
                             {"delivered", delivered},
                             {"readingFinished", kept.journal.readingFinished}})
                << std::endl;
      continue;
    }
    std::cout << "Job " << shownFolder(folder) << " (" << job.status << ")\n"
              << printableText(withoutCarriageReturns(withDisplayedPath(
                     delivered ? withoutMendedErrors(job.log) : job.log, folder)));
    const StationResults& results = printer.resultsOf(folder);
    printStationResults(std::cout, results, jobFolderFate(folder, delivered));
    if (!delivered && results.empty()) std::cout << "The job folder is kept.\n";
    if (delivered && folderExists(folder)) {
      sayFolderKept(folder);
      ok = false;
    }
    if (delivered && !kept.journal.readingFinished) sayReadingUnfinished(kept);
  }
  engine.Shutdown();
  return ok ? 0 : 1;
}

int runDiscard(const KeptOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  if (!checkJobFolder(o, engine)) return 2;
  std::vector<KeptJob> kept;
  int removed = 0;
  bool ok = adoptJobs(o, engine, kept, removed);
  for (const KeptJob& job : kept) {
    const int files = engine.DiscardJob(job.jobFolder);
    if (files < 0) {
      ok = false;
      continue;
    }
    removed += files;
    if (folderExists(job.jobFolder)) {
      std::cout << "Not discarded whole '" << shownFolder(job.jobFolder) << "': " << files
                << " files removed.\n";
      sayFolderKept(job.jobFolder);
      ok = false;
      continue;
    }
    std::cout << "Discarded '" << shownFolder(job.jobFolder) << "': " << files
              << " files removed.\n";
  }
  if (o.all) std::cout << removed << " files removed in all.\n";
  return ok ? 0 : 1;
}

}  // namespace

int sendKeptJobFolder(const std::string& folder, const JobOptions& options) {
  KeptOptions kept;
  static_cast<JobOptions&>(kept) = options;
  kept.folder = folder;
  return runSendAgain(kept);
}

namespace {

void addFolderChoice(CLI::App* command, KeptOptions& o, const std::string& what) {
  auto* folder = command->add_option("FOLDER", o.folder, "Job folder " + what);
  auto* all = command->add_flag("--all", o.all, "Every kept job no running Kalvora works on");
  folder->excludes(all);
}

// FOLDER or --all, exactly one of them (CLI11 sees to "not both").
bool folderChosen(const KeptOptions& o) {
  if (o.all || !o.folder.empty()) return true;
  std::cerr << "Name a job folder, or give --all.\n";
  return false;
}

}  // namespace

void addKeptJobCommands(CLI::App& app, int& exitStatus) {
  static KeptOptions listOptions, sendOptions, discardOptions;

  CLI::App* jobs = app.add_subcommand(
      "jobs", "Jobs kept because not every file reached its stations, or left by a crash");
  jobs->require_subcommand(1);

  CLI::App* list = jobs->add_subcommand("list", "List the kept jobs and what each misses where");
  addWorkdirOption(list, listOptions);
  list->add_flag("--json", listOptions.json, "Print the list as JSON");
  list->callback([&] { exitStatus = runList(listOptions); });

  CLI::App* send = jobs->add_subcommand(
      "send", "Send kept jobs again: each station gets only the files it has not stored");
  addFolderChoice(send, sendOptions, "to send again");
  addStationOptions(send, sendOptions);
  send->add_option("--retry", sendOptions.retries,
                   "Retry a failed association request N times (at most " +
                       std::to_string(kMostRetries) + ")")
      ->check(CLI::Range(0, kMostRetries));
  send->add_flag("--verbose", sendOptions.verbose, "Log every file");
  send->add_flag("--json", sendOptions.json, "Print every report as a JSON line");
  send->callback([&] { exitStatus = folderChosen(sendOptions) ? runSendAgain(sendOptions) : 2; });

  CLI::App* discard =
      jobs->add_subcommand("discard", "Delete kept jobs with their files, without sending them");
  addFolderChoice(discard, discardOptions, "to delete");
  addWorkdirOption(discard, discardOptions);
  discard->callback(
      [&] { exitStatus = folderChosen(discardOptions) ? runDiscard(discardOptions) : 2; });
}
