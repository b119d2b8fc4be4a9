// The import pass of MediaScan: one file of the medium into the job folder.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>

#include "dicom/CopyIdentity.h"
#include "media/AnonymizationProfile.h"
#include "media/JobFolderCopy.h"
#include "media/MediaFileLoad.h"
#include "media/MediaScan.h"

namespace {

const char* const kUnknown = "Unknown";
const char* const kNotDicom = "Not a valid dicom file";
const std::vector<std::string> kNoExclusions;

bool read(DcmDataset& dataset, const DcmTagKey& tag, std::string& value) {
  OFString text;
  if (dataset.findAndGetOFString(tag, text, 0, OFFalse).bad()) return false;
  value = text.c_str();
  return true;
}

std::string readOrEmpty(DcmDataset& dataset, const DcmTagKey& tag) {
  std::string value;
  read(dataset, tag, value);
  return value;
}

// Every file written carries a patient ID and a patient name. Returns the ID and the
// modality the later steps group by, and whether a value had to be added.
bool completeIdentification(DcmDataset& dataset, std::string& patientId, std::string& modality) {
  bool added = false;
  if (!read(dataset, DCM_PatientID, patientId)) {
    dataset.putAndInsertString(DCM_PatientID, kUnknown, OFTrue);
    read(dataset, DCM_PatientID, patientId);
    added = true;
  }
  std::string name;
  if (!read(dataset, DCM_PatientName, name)) {
    dataset.putAndInsertString(DCM_PatientName, kUnknown, OFTrue);
    added = true;
  }
  if (!read(dataset, DCM_Modality, modality)) modality = kUnknown;
  return added;
}

}  // namespace

bool MediaScan::ImportFile(const std::string& path, const std::string& name) {
  return FinishImport(loadMediaFile(
      path, name, hasExclusions_ ? request_.excludedExtensions : kNoExclusions, &stopFlag_));
}

bool MediaScan::FinishImport(MediaFileLoad load) {
  using Outcome = MediaFileLoad::Outcome;
  ++filesSeen_;
  const std::string& name = load.name;
  try {
    switch (load.outcome) {
      case Outcome::Excluded:
      case Outcome::Stopped:
        return false;
      case Outcome::Dicomdir:
        reportFile(ScanEvent::ScanSkipped, name, "File 'DICOMDIR' skipped.");
        return false;
      case Outcome::Unreadable:
        reportFile(ScanEvent::ScanError, name, load.error);
        return false;
      case Outcome::NotAFile:
        reportNotAnImage(name, load.error);
        return false;
      case Outcome::NotDicom:
        reportNotAnImage(name, load.error.empty() ? kNotDicom : load.error);
        return false;
      case Outcome::DamagedDicom:
        reportFileLost(name, load.error.empty() ? kNotDicom : load.error);
        return false;
      case Outcome::Failed:
        reportFileLost(name, load.error);
        return false;
      case Outcome::Loaded:
        break;
    }
    DcmFileFormat& file = *load.file;
    DcmDataset& dataset = *file.getDataset();

    std::string patientId;
    std::string modality;
    // Any of these may change a value (and the character set with it): DCMTK writes the copy.
    const bool changed = completeIdentification(dataset, patientId, modality) ||
                         request_.askForNewPatientData || request_.anonymize;
    if (request_.askForNewPatientData) {
      newPatientData_.Run(dataset, patientId, modality);
      std::string chosen = newPatientData_.takeChosenMatch();
      if (!chosen.empty()) pendingPatientMatch_ = std::move(chosen);
    }
    progress_.fileName = name;
    if (request_.anonymize) anonymize(dataset, patientId);
    progress_.patientName = readOrEmpty(dataset, DCM_PatientName);
    progress_.patientId = readOrEmpty(dataset, DCM_PatientID);
    progress_.studyInstanceUid = readOrEmpty(dataset, DCM_StudyInstanceUID);
    progress_.sopClassUid = readOrEmpty(dataset, DCM_SOPClassUID);
    OFString characterSet;
    dataset.findAndGetOFStringArray(DCM_SpecificCharacterSet, characterSet);
    progress_.characterSet = characterSet.c_str();

    std::string error;
    unsigned& lastSuffix = lastSuffix_[name];
    CopyTarget destination = CreateCopyTarget(request_.jobFolder, error);
    bool sourceFailed = false;
    OFCondition written = makeOFCondition(0, 0, OF_error, error.c_str());
    // The journal learns of the copy before it has a name: a kill in between then leaves a
    // record without a file, never Kalvora's file without its record.
    CopyIdentity identity;
    // Unchanged, the copy is the file's own bytes: exactly what the medium holds, header and all.
    const bool asItIs = !changed && load.copyableAsItIs;
    destination.beforeNaming([&](const std::string& fileName) {
      identity = asItIs ? copyIdentityWithHeader(destination.fd(), *file.getMetaInfo())
                        : readCopyIdentity(destination.fd());
      if (request_.copyWritten) request_.copyWritten(fileName, identity);
    });
    if (destination.claimed()) {
      written = asItIs ? CopyAsItIs(load.source->fd(), destination, name, lastSuffix + 1,
                                    &lastSuffix, &sourceFailed)
                       : SaveCopy(file, destination, name, lastSuffix + 1, &lastSuffix,
                                  &sourceFailed, load.leftValues.get());
    }
    const std::string reason = written.text() ? written.text() : "";
    if (written.good()) {
      ++filesSaved_;
      const std::string& published = destination.path();
      progress_.copyName = published.substr(published.rfind('/') + 1);
      progress_.copySopInstanceUid = identity.sopInstanceUid;
      progress_.copySize = identity.size;
      progress_.patientMatch.swap(pendingPatientMatch_);
      reportFile(ScanEvent::FileCopied, name, "");
      progress_.patientMatch.clear();
    } else if (sourceFailed && stopFlag_) {
      // Stopped while a value was read from the medium: not copied, and not lost either.
      stopSeen();
      return false;
    } else if (sourceFailed) {
      // A value not read whole from the medium: the file is lost, no half copy is left.
      reportFileLost(name, "Can't read file (" + reason + ")");
    } else {
      reportFile(ScanEvent::FileNotCopied, name, reason);
    }
    stopSeen();
    return true;
  } catch (...) {
    try {
      reportFileLost(name, kUnknownImportError);
    } catch (...) {
    }
    return false;
  }
}

void MediaScan::reportFileLost(const std::string& name, const std::string& message) {
  progress_.fileLost = true;
  reportFile(ScanEvent::ScanError, name, message);
  progress_.fileLost = false;
}

void MediaScan::reportNotAnImage(const std::string& name, const std::string& message) {
  progress_.notAnImage = true;
  reportFile(ScanEvent::ScanError, name, message);
  progress_.notAnImage = false;
}

void MediaScan::anonymize(DcmDataset& dataset, const std::string& patientId) {
  // With new patient data asked for, the user has given ID and accession number already.
  const bool askedForData = request_.askForNewPatientData != 0;
  const int32_t patientIdOption = askedForData ? 0 : request_.anonymizePatientId;
  const std::string anonymizedId =
      askedForData ? request_.anonymizedPatientId
                   : anonymizedIds_.idFor(patientId, request_.anonymizedPatientId);

  AnonymizationProfile profile;
  profile.Init(patientIdOption, request_.anonymizePatientName, request_.anonymizePhysicians,
               request_.anonymizeInstitution, request_.anonymizeComments,
               request_.birthdayToJanuaryFirst, request_.datesToCurrentDate, anonymizedId,
               request_.physiciansName, request_.institutionName);
  std::vector<std::string> failures;
  const int32_t anonymized = profile.Apply(&dataset, failures);
  char message[64];
  std::snprintf(message, sizeof message, "%i tags anonymized [%i missing]", anonymized,
                static_cast<int>(failures.size()));
  report(ScanEvent::FileAnonymized, message);
}
