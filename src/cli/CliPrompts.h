#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "net/PatientQuery.h"
#include "workers/UserPrompts.h"

// Answers the engine's questions from command-line options, or on the terminal.
class CliPrompts : public UserPrompts {
 public:
  std::optional<StationChoice> station;             // --to / --ae --host --port
  int retries = 0;                                  // --retry N
  std::optional<NewPatientDataAnswer> patientData;  // --patient-id / --accession / --patient-name
  bool interactive = false;                         // stdin is a terminal
  // The terminal question first offers this station's matches, to pick from by number.
  std::optional<PatientQueryParams> patientQuery;

  std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) override;
  bool askRetryAssociation(const AssociationRetryQuestion& question) override;
  std::optional<StationChoice> chooseStation(const CStationArray& stations) override;

  // Any thread: every retry waiting now, or asked for later, is answered no at once.
  void cancel();

  static constexpr std::chrono::milliseconds kFirstRetryPause{500};
  static constexpr std::chrono::milliseconds kLongestRetryPause{16000};

 private:
  std::mutex mutex_;
  std::condition_variable cancelled_;
  bool cancel_ = false;
  std::map<std::thread::id, int> retriesUsed_;
  PatientQuery* runningQuery_ = nullptr;  // cut by cancel()

  // The match the user picked, if any; says on the terminal what happened.
  std::optional<PatientMatch> pickMatch(const NewPatientDataQuestion& question);
};
