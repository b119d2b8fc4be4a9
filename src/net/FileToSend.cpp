#include "net/FileToSend.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmnet/cond.h>
#include <dcmtk/dcmnet/dicom.h>
#include <dcmtk/dcmnet/diutil.h>

#include "dicom/GuardedDicomLoad.h"
#include "dicom/NestingGuard.h"

FileHeader readFileHeader(const std::string& path) {
  FileHeader header;
  if (!safeToLoad(checkNestingDepth(path))) return header;
  DcmFileFormat file;
  if (file.loadFile(path.c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_metaOnly)
          .bad()) {
    return header;
  }
  OFString value;
  if (file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, value).good())
    header.sopClassUid = value.c_str();
  if (file.getMetaInfo()->findAndGetOFString(DCM_TransferSyntaxUID, value).good())
    header.transferSyntax = value.c_str();
  return header;
}

FileToSend loadFileToSend(const std::string& path, bool correctUidPadding) {
  FileToSend loaded;
  loaded.file = std::make_unique<DcmFileFormat>();
  // Guarded: a file nested too deep for DCMTK's reader fails like any unloadable file.
  loaded.condition = loadDicomFileGuarded(*loaded.file, path);
  if (loaded.condition.bad()) return loaded;

  DcmDataset* dataset = loaded.file->getDataset();
  DIC_UI sopClass = "";
  DIC_UI sopInstance = "";
  if (!DU_findSOPClassAndInstanceInDataSet(dataset, sopClass, sizeof sopClass, sopInstance,
                                           sizeof sopInstance, correctUidPadding)) {
    loaded.uidsMissing = true;
    loaded.condition = DIMSE_BADDATA;
    return loaded;
  }
  loaded.sopClassUid = sopClass;
  loaded.sopInstanceUid = sopInstance;
  loaded.originalXfer = dataset->getOriginalXfer();
  return loaded;
}

PreparedFile prepareFileToSend(const std::string& path, bool correctUidPadding,
                               bool convertCompressed) {
  PreparedFile prepared;
  prepared.loaded = loadFileToSend(path, correctUidPadding);
  if (prepared.loaded.condition.good()) {
    prepared.conversion = convertForTransfer(*prepared.loaded.dataset(), path, convertCompressed);
  }
  return prepared;
}
