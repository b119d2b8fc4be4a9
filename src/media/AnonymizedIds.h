#pragma once

#include <string>
#include <utility>
#include <vector>

// The first anonymized ID of a medium when none is configured (the anonymization dialog
// stores it for an empty field): an empty one would blank the first patient's ID.
extern const char kDefaultAnonymizedPatientId[];  // "00000001"

// The anonymized ID that follows `last`: the last digit counts up, a 9 becomes "10",
// anything else gets a "2" appended. After an empty ID comes "2", as after any ID
// that does not end in a digit, so the second patient never shares the first's ID.
std::string NextAnonymizedId(const std::string& last);

// Anonymized IDs handed out on one medium: the same patient always gets the same ID,
// each new patient the ID after the last one handed out.
class AnonymizedIds {
 public:
  std::string idFor(const std::string& patientId, const std::string& firstId);

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;  // (patient ID as read, ID)
};
