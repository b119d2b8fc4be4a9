#include "media/MediaFileLoad.h"

#include <algorithm>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "dicom/GuardedDicomLoad.h"

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

// The copy keeps the file's meta header, which the send negotiates with: it must name the
// object's class and the transfer syntax the data set is really in.
bool headerAgreesWithDataset(DcmFileFormat& file, const MediaFile& source) {
  if (!source.hasDicomPrefix()) return false;
  DcmMetaInfo& meta = *file.getMetaInfo();
  DcmDataset& dataset = *file.getDataset();
  OFString metaClass, sopClass, metaInstance, sopInstance, syntax;
  return meta.findAndGetOFString(DCM_MediaStorageSOPClassUID, metaClass).good() &&
         dataset.findAndGetOFString(DCM_SOPClassUID, sopClass).good() && metaClass == sopClass &&
         meta.findAndGetOFString(DCM_MediaStorageSOPInstanceUID, metaInstance).good() &&
         dataset.findAndGetOFString(DCM_SOPInstanceUID, sopInstance).good() &&
         metaInstance == sopInstance &&
         meta.findAndGetOFString(DCM_TransferSyntaxUID, syntax).good() &&
         DcmXfer(syntax.c_str()).getXfer() == dataset.getOriginalXfer() &&
         dataset.getOriginalXfer() != EXS_Unknown;
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
    auto source = std::make_unique<MediaFile>();
    switch (source->open(path, load.error)) {
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
    const OFCondition loaded =
        stop ? loadDicomFileGuarded(*file, source->loadPath(), *stop, load.leftValues)
             : loadDicomFileGuarded(*file, source->loadPath());
    if (stop && stop->load()) {
      load.outcome = Outcome::Stopped;
      return load;
    }
    if (loaded != EC_Normal) {
      load.outcome = source->hasDicomPrefix() ? Outcome::DamagedDicom : Outcome::NotDicom;
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
    load.copyableAsItIs = headerAgreesWithDataset(*file, *source);
    load.file = std::move(file);
    load.source = std::move(source);
    load.outcome = Outcome::Loaded;
  } catch (...) {
    load.file.reset();
    load.outcome = Outcome::Failed;
    load.error = kUnknownImportError;
  }
  return load;
}
