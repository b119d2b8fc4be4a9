#pragma once

#include <functional>
#include <optional>
#include <string>

#include "workers/UserPrompts.h"

namespace CLI {
class App;
}
class CliPrompts;
class KalvoraEngine;
class QueuedMainThread;

// Options shared by the commands that read or send jobs.
// --retry N: past this, a station that is down only keeps the command waiting for minutes.
inline constexpr int kMostRetries = 10;

struct JobOptions {
  std::string workdir;  // empty: the per-user working folder
  std::string toAlias;
  std::string aeTitle;
  std::string host;
  int port = 0;
  int retries = 0;  // at most kMostRetries
  std::string patientId;
  std::string accession;
  std::string patientName;
  bool singlePatient = false;  // the medium holds one patient: --patient-id may take it
  bool verbose = false;
  bool json = false;
  bool noSend = false;
};

struct UsageError {
  std::string message;
};

void addWorkdirOption(CLI::App* command, JobOptions& o);
// --workdir, and the station: --to ALIAS, or --ae --host --port.
void addStationOptions(CLI::App* command, JobOptions& o);

// The station given on the command line, if any; a UsageError for an unknown alias.
std::optional<StationChoice> stationFromOptions(const JobOptions& o, const KalvoraEngine& engine);

// `kalvora-cli jobs send FOLDER` with these options: sends a job folder of Kalvora's again,
// only what is missing, to the destinations its journal records (or the station given).
int sendKeptJobFolder(const std::string& folder, const JobOptions& options);

// Before any worker starts, so that every worker inherits the blocked signals: Ctrl-C and
// SIGTERM are then taken by the main loop only.
void holdInterrupts();
bool interruptArrived();

// Runs the engine's main loop until `done` holds. The first Ctrl-C stops every scan and
// send at once and cancels the questions; false when the work had not ended a moment later,
// or a second Ctrl-C came: the process must then end without waiting for its workers.
bool runEngineUntil(KalvoraEngine& engine, QueuedMainThread& mainThread, CliPrompts& prompts,
                    const std::function<bool()>& done);
