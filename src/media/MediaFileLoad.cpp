#include "media/MediaFileLoad.h"

#include <algorithm>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "dicom/GuardedDicomLoad.h"
#include "media/MediaFile.h"

namespace {

bool isExcluded(const std::string& name, const std::vector<std::string>& excluded) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = name.substr(dot);
  return std::find(excluded.begin(), excluded.end(), extension) != excluded.end();
}

bool isDirectoryObject(DcmFileFormat& file) {
  OFString sopClass;
  if (file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, sopClass).good() &&
      sopClass == UID_MediaStorageDirectoryStorage) {
    return true;
  }
  return file.getDataset()->findAndGetOFString(DCM_SOPClassUID, sopClass).good() &&
         sopClass == UID_MediaStorageDirectoryStorage;
}

// What a C-STORE needs of every file: without it a copy would fail every send of its job.
bool identifiesItsObject(DcmFileFormat& file) {
  OFString sopClass, sopInstance;
  DcmDataset& dataset = *file.getDataset();
  return dataset.findAndGetOFString(DCM_SOPClassUID, sopClass).good() && !sopClass.empty() &&
         dataset.findAndGetOFString(DCM_SOPInstanceUID, sopInstance).good() && !sopInstance.empty();
}

}  // namespace

MediaFileLoad loadMediaFile(const std::string& path, const std::string& name,
                            const std::vector<std::string>& excluded,
                            const std::atomic<bool>* stop) {
  using Outcome = MediaFileLoad::Outcome;
  MediaFileLoad load;
  try {
    load.path = path;
    load.name = name;
    if (!excluded.empty() && isExcluded(name, excluded)) {
      load.outcome = Outcome::Excluded;
      return load;
    }
    if (name == "DICOMDIR") {
      load.outcome = Outcome::Dicomdir;
      return load;
    }
    MediaFile source;
    switch (source.open(path, load.error)) {
      case MediaFile::Opened::Yes:
        break;
      case MediaFile::Opened::NotAFile:
        load.outcome = Outcome::NotAFile;
        return load;
      case MediaFile::Opened::Unreadable:
        load.outcome = Outcome::Unreadable;
        return load;
    }
    auto file = std::make_unique<DcmFileFormat>();
    // Guarded: a file nested too deep for DCMTK's reader is invalid, not a crash.
    const OFCondition loaded = stop ? loadDicomFileGuarded(*file, source.loadPath(), *stop)
                                    : loadDicomFileGuarded(*file, source.loadPath());
    if (stop && stop->load()) {
      load.outcome = Outcome::Stopped;
      return load;
    }
    if (loaded != EC_Normal) {
      load.outcome = source.hasDicomPrefix() ? Outcome::DamagedDicom : Outcome::NotDicom;
      return load;
    }
    // A directory object under another name is no image either.
    if (isDirectoryObject(*file)) {
      load.outcome = Outcome::Dicomdir;
      return load;
    }
    // DCMTK reads some programs and bare data set fragments as data sets.
    if (!identifiesItsObject(*file)) {
      load.outcome = Outcome::NotDicom;
      load.error = "Not a storable DICOM object (no SOP Class UID or SOP Instance UID)";
      return load;
    }
    // Values longer than the read length come from the medium now, while it is open. A read
    // cut short (a scratched disc) leaves a value half filled that would be written as whole.
    const OFCondition values = file->getDataset()->loadAllDataIntoMemory();
    if (stop && stop->load()) {
      load.outcome = Outcome::Stopped;
      return load;
    }
    if (values.bad()) {
      load.outcome = Outcome::DamagedDicom;
      load.error = std::string("Can't read file (") + values.text() + ")";
      return load;
    }
    load.file = std::move(file);
    load.outcome = Outcome::Loaded;
  } catch (...) {
    load.file.reset();
    load.outcome = Outcome::Failed;
    load.error = kUnknownImportError;
  }
  return load;
}
