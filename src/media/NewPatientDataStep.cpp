#include "media/NewPatientDataStep.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>

#include "media/CharacterSet.h"
#include "workers/UserPrompts.h"

namespace {

std::string readValue(DcmDataset& dataset, const DcmTagKey& tag) {
  OFString value;
  if (dataset.findAndGetOFString(tag, value, 0, OFFalse).bad()) return {};
  return value.c_str();
}

void write(DcmDataset& dataset, const DcmTagKey& tag, const std::string& value) {
  dataset.putAndInsertString(tag, PrepareForText(dataset, value).c_str(), OFTrue);
}

void apply(DcmDataset& dataset, const NewPatientDataRecord& record) {
  if (record.cancelled) return;
  write(dataset, DCM_PatientID, record.newPatientId);
  if (!record.newAccessionNumber.empty())
    write(dataset, DCM_AccessionNumber, record.newAccessionNumber);
  if (!record.newPatientName.empty()) write(dataset, DCM_PatientName, record.newPatientName);
}

}  // namespace

void NewPatientDataStep::Run(DcmDataset& dataset, const std::string& patientId,
                             const std::string& modality) {
  for (const NewPatientDataRecord& record : remembered_) {
    if (record.patientId == patientId && record.modality == modality) {
      apply(dataset, record);
      return;
    }
  }
  NewPatientDataQuestion question;
  question.patientId = patientId;
  question.accessionNumber = readValue(dataset, DCM_AccessionNumber);
  question.patientName = readValue(dataset, DCM_PatientName);
  question.birthDate = readValue(dataset, DCM_PatientBirthDate);
  question.modality = modality;
  question.sex = readValue(dataset, DCM_PatientSex);
  question.jobFolder = jobFolder_;
  question.sourceRoot = sourceRoot_;

  const std::optional<NewPatientDataAnswer> answer = prompts_.askNewPatientData(question);
  if (answer) {
    NewPatientDataRecord record{patientId, modality, answer->newPatientId,
                                answer->newAccessionNumber, answer->newPatientName};
    apply(dataset, record);
    remembered_.push_back(record);
    chosenMatch_ = answer->chosenMatch;
  } else {
    // Cancelled: not asked again for this pair. Later files keep their own data; giving
    // them this file's accession number would tag other studies with the wrong one.
    remembered_.push_back(NewPatientDataRecord{
        patientId, modality, patientId, question.accessionNumber, question.patientName, true});
  }
}
