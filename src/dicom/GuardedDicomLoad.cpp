#include "dicom/GuardedDicomLoad.h"

#include "dicom/NestingGuard.h"

OFCondition nestingTooDeepCondition() {
  return makeOFCondition(1024, 1, OF_error, "Sequences nested too deep");
}

OFCondition loadDicomFileGuarded(DcmFileFormat& file, const std::string& path) {
  switch (checkNestingDepth(path)) {
    case NestingVerdict::TooDeep:
      return nestingTooDeepCondition();
    case NestingVerdict::ValueBeyondEnd:
      return EC_StreamNotifyClient;  // what DCMTK itself ends such a load with
    default:
      break;
  }
  return file.loadFile(path.c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_autoDetect);
}
