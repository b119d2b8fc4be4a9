#pragma once

#include <string>
#include <utility>
#include <vector>

#include "media/NewPatientDataRecord.h"

class DcmDataset;
class UserPrompts;

// Gives a patient new patient data: the user is asked once per patient ID and modality
// on a medium, and the answer is applied to every later file of that pair.
class NewPatientDataStep {
 public:
  // The questions name the job folder and the medium they are about.
  NewPatientDataStep(UserPrompts& prompts, std::string jobFolder, std::string sourceRoot)
      : prompts_(prompts), jobFolder_(std::move(jobFolder)), sourceRoot_(std::move(sourceRoot)) {}
  // Blocks while the question is open.
  void Run(DcmDataset& dataset, const std::string& patientId, const std::string& modality);

  const std::vector<NewPatientDataRecord>& rememberedPatientData() const { return remembered_; }
  // The match of the query station the last answer was picked from, once; else empty.
  std::string takeChosenMatch() { return std::exchange(chosenMatch_, {}); }

 private:
  UserPrompts& prompts_;
  std::string jobFolder_;
  std::string sourceRoot_;
  std::vector<NewPatientDataRecord> remembered_;
  std::string chosenMatch_;
};
