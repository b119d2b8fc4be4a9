#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "workers/UserPrompts.h"

// Answers the engine's questions from command-line options, or on the terminal.
class CliPrompts : public UserPrompts {
 public:
  std::optional<StationChoice> station;             // --to / --ae --host --port
  int retries = 0;                                  // --retry N
  std::optional<NewPatientDataAnswer> patientData;  // --patient-id / --accession / --patient-name
  bool interactive = false;                         // stdin is a terminal

  std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) override;
  bool askRetryAssociation(const AssociationRetryQuestion& question) override;
  std::optional<StationChoice> chooseStation(const CStationArray& stations) override;

 private:
  std::mutex mutex_;
  std::map<std::thread::id, int> retriesUsed_;
};
