#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "config/QueryStation.h"
#include "net/PatientMatch.h"

class LowLatencyTransportLayer;
class PatientQueryScu;
class SecureTransportLayer;

// Who asks whom, and how long any wait on the station may last.
struct PatientQueryParams {
  std::string callingAeTitle;
  QueryStation station;
  int timeoutMs = 1000;
  int maxPduSize = 16384;
};

struct PatientQueryResult {
  bool ok = false;
  std::string message;  // what went wrong, in plain words; empty when all went well
  std::vector<PatientMatch> matches;
  bool truncated = false;  // the station had more than kMaxMatches: only those are here
};

// Asks the query station for a medium's patient with one C-FIND (Modality Worklist, or
// Patient Root at PATIENT level), declaring UTF-8, and turns every answer into UTF-8
// whatever character set it declares. Every wait is bounded by the time-out.
class PatientQuery {
 public:
  static constexpr size_t kMaxMatches = 100;

  explicit PatientQuery(PatientQueryParams params);
  ~PatientQuery();
  PatientQuery(const PatientQuery&) = delete;
  PatientQuery& operator=(const PatientQuery&) = delete;

  // Once, on a thread that may wait.
  PatientQueryResult run(const PatientQueryKeys& keys);
  // Thread-safe: run() gives up at its next network wait.
  void cut();

 private:
  PatientQueryResult exchange(const PatientQueryKeys& keys);

  PatientQueryParams params_;
  std::atomic<bool> cut_{false};
  std::unique_ptr<LowLatencyTransportLayer> layer_;    // outlives the SCU, whose connection uses it
  std::unique_ptr<SecureTransportLayer> secureLayer_;  // with TLS, over layer_
  std::unique_ptr<PatientQueryScu> scu_;
};

// The station as the user reads it: "WORKLIST at ris:104 (worklist)".
std::string describeQueryStation(const QueryStation& station);

// For the job log: "H-0042 (HOSP) from WORKLIST at ris:104 (worklist)".
std::string describeChosenMatch(const PatientMatch& match, const QueryStation& station);

// The family name of a DICOM person name (the part before the first '^').
std::string familyNameOf(const std::string& personName);
