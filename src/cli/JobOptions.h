#pragma once

#include <functional>
#include <optional>
#include <string>

#include "workers/UserPrompts.h"

namespace CLI {
class App;
}
class KalvoraEngine;
class QueuedMainThread;

// Options shared by the commands that read or send jobs.
struct JobOptions {
  std::string workdir;  // empty: the per-user working folder
  std::string toAlias;
  std::string aeTitle;
  std::string host;
  int port = 0;
  int retries = 0;
  std::string patientId;
  std::string accession;
  std::string patientName;
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

// Before any worker starts, so that every worker inherits the blocked signals: Ctrl-C and
// SIGTERM are then taken by the main loop only.
void holdInterrupts();
bool interruptArrived();

// Runs the engine's main loop until `done` holds; Ctrl-C stops every scan and send.
void runEngineUntil(KalvoraEngine& engine, QueuedMainThread& mainThread,
                    const std::function<bool()>& done);
