#pragma once

#include <optional>
#include <string>

class CStationArray;

// What the new patient data question shows.
struct NewPatientDataQuestion {
  std::string patientId;
  std::string accessionNumber;
  std::string patientName;
  std::string birthDate;
  std::string modality;
  std::string sex;  // a key for asking the hospital's systems who the patient is
  // Which reading asks: its job folder and the medium's mount point.
  std::string jobFolder;
  std::string sourceRoot;
};

// The user's answer; empty accession number or name mean "leave it".
struct NewPatientDataAnswer {
  std::string newPatientId;
  std::string newAccessionNumber;
  std::string newPatientName;
  // When the answer was picked from a query station's matches: which one, and from where
  // ("H-0042 (HOSP) from WORKLIST at ris:104 (worklist)"), for the job log. Empty when typed.
  std::string chosenMatch;
};

// Asked when an association request failed without a rejection: `text` is the question
// to show as it stands (Yes and No answer it).
struct AssociationRetryQuestion {
  std::string calledAeTitle;
  std::string text;
  std::string jobFolder;  // the job being sent
  std::string reason;     // why the last request failed, in DCMTK's words
};

// A station picked from the list or typed in by hand.
struct StationChoice {
  std::string aeTitle;
  std::string host;
  int port = 0;
};

// Questions the engine asks the user. The worker (or main thread) that asks
// blocks until the front end answers.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // Scan thread. nullopt when the user cancelled.
  virtual std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) = 0;
  // Send thread, after a failed association request. true to try again.
  virtual bool askRetryAssociation(const AssociationRetryQuestion& question) = 0;
  // Main thread, when no destination is configured. nullopt when cancelled.
  virtual std::optional<StationChoice> chooseStation(const CStationArray& stations) = 0;
  // The same for the job of `jobFolder`, so that the question can say which it is about.
  virtual std::optional<StationChoice> chooseStationFor(const CStationArray& stations,
                                                        const std::string& /*jobFolder*/) {
    return chooseStation(stations);
  }
};
