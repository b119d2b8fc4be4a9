#include <CLI/CLI.hpp>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/CliConfiguration.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/JobOptions.h"
#include "cli/JobRunner.h"
#include "cli/PatientMatchText.h"
#include "cli/Terminal.h"
#include "config/ConfigValidation.h"
#include "jobs/JobFolders.h"
#include "jobs/KalvoraEngine.h"
#include "jobs/QueuedMainThread.h"
#include "media/MediumPatients.h"
#include "media/ScanRequest.h"
#include "net/StationEcho.h"
#include "platform/DisplayedPath.h"

namespace {

sigset_t interruptSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

// A signal landing on a worker would break its network wait and fail the file it is sending.
void holdInterrupts() {
  const sigset_t signals = interruptSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool interruptArrived() {
  const sigset_t signals = interruptSignals();
  const timespec noWait{};
  return sigtimedwait(&signals, nullptr, &noWait) > 0;
}

void addWorkdirOption(CLI::App* command, JobOptions& o) {
  command
      ->add_option("--workdir", o.workdir,
                   "Folder with the configuration files (default: ~/.config/kalvora)")
      ->check(CLI::ExistingDirectory);
}

void addStationOptions(CLI::App* command, JobOptions& o) {
  addWorkdirOption(command, o);
  auto* to = command->add_option("--to", o.toAlias, "Station (by alias) to send to");
  auto* ae = command->add_option("--ae", o.aeTitle, "AE title of a station given by hand")
                 ->check([](const std::string& aeTitle) {
                   if (aeTitle.empty()) return std::string("the AE title is empty");
                   const auto problem = aeTitleProblem(aeTitle);
                   return problem ? "the AE title " + *problem : std::string();
                 });
  auto* host = command->add_option("--host", o.host, "Address of a station given by hand");
  auto* port = command->add_option("--port", o.port, "Port of a station given by hand")
                   ->check(CLI::Range(1, 65000));
  ae->needs(host, port);
  host->needs(ae, port);
  port->needs(ae, host);
  to->excludes(ae, host, port);
}

std::optional<StationChoice> stationFromOptions(const JobOptions& o, const KalvoraEngine& engine) {
  if (!o.toAlias.empty()) {
    StationChoice station;
    if (!engine.stations.findStationByAlias(o.toAlias, station.aeTitle, station.host, station.port))
      throw UsageError{"No station with the alias '" + o.toAlias + "'."};
    return station;
  }
  if (!o.aeTitle.empty()) return StationChoice{o.aeTitle, o.host, o.port};
  return std::nullopt;
}

// How long the first Ctrl-C waits for the work to end before the process ends anyway (a
// question on the terminal, a file being written to a slow disk).
constexpr auto kStopGrace = std::chrono::milliseconds(1500);

bool runEngineUntil(KalvoraEngine& engine, QueuedMainThread& mainThread, CliPrompts& prompts,
                    const std::function<bool()>& done) {
  std::optional<std::chrono::steady_clock::time_point> stopDeadline;
  bool givenUp = false;
  mainThread.runUntil(
      [&] {
        if (interruptArrived()) {
          if (stopDeadline) {
            givenUp = true;
          } else {
            stopDeadline = std::chrono::steady_clock::now() + kStopGrace;
            prompts.cancel();
            engine.StopEverythingNow();
          }
        }
        if (stopDeadline && std::chrono::steady_clock::now() >= *stopDeadline) givenUp = true;
        return givenUp || done();
      },
      std::chrono::hours(24 * 365), std::chrono::milliseconds(50));
  return !givenUp;
}

namespace {

void addJobOptions(CLI::App* command, JobOptions& o) {
  addStationOptions(command, o);
  command
      ->add_option("--retry", o.retries,
                   "Retry a failed association request N times (at most " +
                       std::to_string(kMostRetries) + ")")
      ->check(CLI::Range(0, kMostRetries));
  command->add_option("--patient-id", o.patientId, "New patient ID for every patient");
  command->add_option("--accession", o.accession, "New accession number for every patient");
  command->add_option("--patient-name", o.patientName, "New patient name for every patient");
  command->add_flag("--single-patient", o.singlePatient,
                    "The medium holds one patient: let --patient-id take every file");
  command->add_flag("--verbose", o.verbose, "Log every file");
  command->add_flag("--json", o.json, "Print every report as a JSON line");
}

void preparePrompts(const JobOptions& o, KalvoraEngine& engine, bool sending, CliPrompts& prompts) {
  prompts.interactive = stdinIsTerminal();
  prompts.retries = o.retries;
  prompts.station = stationFromOptions(o, engine);
  AppSettings& s = engine.settings;
  if (prompts.station && !sending)
    throw UsageError{"--to/--ae/--host/--port choose where to send, and --no-send sends nothing."};
  if (prompts.station) {
    // This job goes to the station given instead of the configured destinations; the
    // command line saves nothing, so the configuration itself is unchanged.
    s.sendToStandardDestination = 0;
    s.useForwardRules = 0;
  }
  const bool choiceAsked = !s.sendToStandardDestination && !s.useForwardRules;
  if (sending && choiceAsked && !prompts.station && !prompts.interactive)
    throw UsageError{
        "No destination is configured: give --to ALIAS or --ae AE --host HOST --port PORT."};

  const bool answerGiven = !o.patientId.empty() || !o.accession.empty() || !o.patientName.empty();
  if (answerGiven) {
    if (!s.askForNewPatientData)
      throw UsageError{"--patient-id/--accession/--patient-name need askForNewPatientData on."};
    prompts.patientData = NewPatientDataAnswer{o.patientId, o.accession, o.patientName, ""};
  } else if (s.askForNewPatientData && !prompts.interactive) {
    throw UsageError{
        "askForNewPatientData is on: give --patient-id, --accession or --patient-name, or run "
        "on a terminal."};
  } else if (s.askForNewPatientData) {
    std::string error;
    const std::optional<QueryStation> station = loadQueryStation(workingFolder(o.workdir), error);
    if (!error.empty()) throw UsageError{error};
    if (station) prompts.patientQuery = queryParams(s, *station);
  }
}

// Runs the engine's main loop until the job has ended. The first Ctrl-C stops the job at
// once: scans stop at the next piece they read, sends cut their association, retries are
// no longer waited for. Returns false when the job had not ended after the grace time, or a
// second Ctrl-C came first: the process must then end without waiting for its workers.
bool runUntilJobEnds(KalvoraEngine& engine, QueuedMainThread& mainThread, CliPrompts& prompts,
                     const std::string& jobFolder) {
  return runEngineUntil(engine, mainThread, prompts,
                        [&] { return !engine.isJobActive(jobFolder); });
}

// Ends the process without waiting for workers that did not stop.
[[noreturn]] void endNow(const std::string& jobFolder, bool folderMade) {
  struct stat info {};
  if (folderMade && lstat(jobFolder.c_str(), &info) == 0)
    std::cerr << "Stopped before the job had ended; its folder is left: "
              << displayedPath(jobFolder) << "\n";
  std::cout.flush();
  std::cerr.flush();
  std::_Exit(130);
}

// Whether the folder (made by the job) is still there to be named.
bool folderLeft(const KalvoraEngine& engine, const std::string& jobFolder) {
  struct stat info {};
  return engine.jobFolderMade(jobFolder) && lstat(jobFolder.c_str(), &info) == 0;
}

// One --patient-id for a medium of several patients would merge them into one on the
// station: refused before anything is read into a job, unless the user says it is one.
std::optional<std::string> mergedPatients(const std::string& source, const JobOptions& o,
                                          const KalvoraEngine& engine) {
  if (o.patientId.empty() || o.singlePatient) return std::nullopt;
  const ScanRequest request = makeScanRequest(source, "", engine.settings, engine.filters);
  const std::vector<MediumPatient> patients = patientsOnMedium(source, request.excludedExtensions);
  if (patients.size() < 2) return std::nullopt;
  std::string names;
  for (const MediumPatient& patient : patients)
    names += "\n  " + patient.patientId + " (" + patient.patientName + ")";
  return "Nothing was read: --patient-id gives every patient the same ID, and the medium holds " +
         std::to_string(patients.size()) + " patients:" + names +
         "\nImport them one by one on a terminal (each patient is asked for), or give "
         "--single-patient if these are one patient.";
}

int runImport(const std::string& source, const JobOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  try {
    preparePrompts(o, engine, !o.noSend, prompts);
  } catch (const UsageError& error) {
    std::cerr << error.message << "\n";
    return 2;
  }
  if (const std::optional<std::string> refusal = mergedPatients(source, o, engine)) {
    std::cerr << *refusal << "\n";
    return 2;
  }
  if (o.verbose) engine.settings.verbose = 1;
  holdInterrupts();
  engine.setSendAfterScan(!o.noSend);
  JobRunner runner(engine, {o.json, !o.json && stdoutIsTerminal()});
  engine.setObserver(&runner);

  const std::string jobFolder = engine.StartScan(source);
  if (jobFolder.empty()) {
    std::cerr << "Nothing to read at '" << source << "': missing, empty or unreadable.\n";
    return 1;
  }
  const bool ended = runUntilJobEnds(engine, mainThread, prompts, jobFolder);
  std::string note;
  // A folder left behind holds patients' copies that did not go where they were meant to.
  if (ended && folderLeft(engine, jobFolder)) {
    const int index = engine.jobs().FindJob(jobFolder);
    const bool failed =
        index >= 0 && engine.jobs()[index].status == jobStatusText(JobStatus::Failed);
    if (o.noSend)
      note = "Job folder kept: " + jobFolder;
    else if (!runner.anySendFinished())
      note = "Nothing was sent; the job folder is kept: " + jobFolder +
             "\nSend it with: kalvora-cli jobs send " + jobFolder + " --to ALIAS";
    else if (failed)
      note = "Not every file reached its stations; the job folder is kept: " + jobFolder +
             "\nSend it again with: kalvora-cli jobs send " + jobFolder;
    else
      note = "Nothing was sent; the job folder is kept: " + jobFolder +
             "\nSend it with: kalvora-cli jobs send " + jobFolder;
  }
  const int status = runner.finish(jobFolder, true, !o.noSend, note);
  if (!ended) endNow(jobFolder, engine.jobFolderMade(jobFolder));
  engine.Shutdown();
  return status;
}

int runSend(const std::string& folder, const JobOptions& o) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    std::cerr << "'" << folder << "' is not a folder.\n";
    return 2;
  }
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  // A job folder of Kalvora's goes where its journal says, as a kept job does.
  if (IsKalvoraJobFolder(folder, engine.settings.tempFolder)) return sendKeptJobFolder(folder, o);
  try {
    preparePrompts(o, engine, true, prompts);
  } catch (const UsageError& error) {
    std::cerr << error.message << "\n";
    return 2;
  }
  if (o.verbose) engine.settings.verbose = 1;
  holdInterrupts();
  JobRunner runner(engine, {o.json, !o.json && stdoutIsTerminal()});
  engine.setObserver(&runner);
  if (!engine.AdoptJobFolder(folder)) {
    std::cerr << "'" << folder << "' cannot be sent.\n";
    return 1;
  }
  engine.StartSending(folder);
  const bool ended = runUntilJobEnds(engine, mainThread, prompts, folder);
  const int status = runner.finish(folder, false, true, "");
  if (!ended) endNow(folder, false);
  engine.Shutdown();
  return status;
}

int runEcho(const std::string& alias, const JobOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  StationChoice station;
  const std::string& name = alias.empty() ? o.toAlias : alias;
  if (!name.empty()) {
    if (!engine.stations.findStationByAlias(name, station.aeTitle, station.host, station.port)) {
      std::cerr << "No station with the alias '" << name << "'.\n";
      return 2;
    }
  } else if (!o.aeTitle.empty()) {
    station = {o.aeTitle, o.host, o.port};
  } else {
    std::cerr << "Name a station: ALIAS, or --ae AE --host HOST --port PORT.\n";
    return 2;
  }
  TlsSettings tls;
  if (!name.empty()) {
    const auto options = engine.stationOptions.find(name);
    if (options != engine.stationOptions.end()) tls = options->second.tls;
  }
  const EchoResult result =
      echoStation(engine.settings.callingAeTitle, station.aeTitle, station.host, station.port,
                  engine.settings.timeoutMs, engine.settings.maxPduSize, tls);
  (result.ok ? std::cout : std::cerr) << result.message << "\n";
  return result.ok ? 0 : 1;
}

}  // namespace

void addJobCommands(CLI::App& app, int& exitStatus) {
  static JobOptions importOptions, sendOptions, echoOptions;
  static std::string source, folder, alias;

  CLI::App* importCommand = app.add_subcommand("import", "Read a medium and send it");
  importCommand->add_option("SOURCE", source, "Root folder of the medium")->required();
  addJobOptions(importCommand, importOptions);
  importCommand->add_flag("--no-send", importOptions.noSend,
                          "Only copy: keep the job folder and print its path");
  importCommand->callback([&] { exitStatus = runImport(source, importOptions); });

  CLI::App* send = app.add_subcommand("send", "Send an existing job folder");
  send->add_option("FOLDER", folder, "Job folder, for example one kept by import --no-send")
      ->required();
  addJobOptions(send, sendOptions);
  send->callback([&] { exitStatus = runSend(folder, sendOptions); });

  CLI::App* echo = app.add_subcommand("echo", "Verify a station with a C-ECHO");
  echo->add_option("ALIAS", alias, "Alias of a configured station");
  addStationOptions(echo, echoOptions);
  echo->callback([&] { exitStatus = runEcho(alias, echoOptions); });
}
