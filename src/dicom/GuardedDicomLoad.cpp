#include "dicom/GuardedDicomLoad.h"

#include "dicom/NestingGuard.h"
#include "dicom/StoppableFileStream.h"

namespace {

// What the guard says about DCMTK's chances with the file; EC_Normal when it may load it.
OFCondition guardVerdict(NestingVerdict verdict) {
  switch (verdict) {
    case NestingVerdict::TooDeep:
      return nestingTooDeepCondition();
    case NestingVerdict::ValueBeyondEnd:
      return EC_StreamNotifyClient;  // what DCMTK itself ends such a load with
    default:
      return EC_Normal;
  }
}

}  // namespace

OFCondition nestingTooDeepCondition() {
  return makeOFCondition(1024, 1, OF_error, "Sequences nested too deep");
}

OFCondition loadDicomFileGuarded(DcmFileFormat& file, const std::string& path) {
  const OFCondition verdict = guardVerdict(checkNestingDepth(path));
  if (verdict.bad()) return verdict;
  return file.loadFile(path.c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_autoDetect);
}

OFCondition loadDicomFileGuarded(DcmFileFormat& file, const std::string& path,
                                 const std::atomic<bool>& stop,
                                 std::shared_ptr<LeftValueReads> leftValues) {
  const OFCondition verdict = guardVerdict(checkNestingDepth(path, kMaxSequenceNesting, &stop));
  if (stop) return StoppableFileStream::stoppedCondition();
  if (verdict.bad()) return verdict;

  StoppableFileStream stream(path, stop, 0, true, std::move(leftValues));
  OFCondition result = stream.status();
  if (result.bad()) return result;
  file.clear();
  file.setReadMode(ERM_autoDetect);
  file.transferInit();
  // Suspended after each piece of a long value; resumed while that brings it further, as
  // long as it is not stopped. A suspension that reads nothing more is the end of the file.
  offile_off_t before = -1;
  do {
    before = stream.tell();
    result = file.read(stream, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
  } while (result == EC_StreamNotifyClient && stream.tell() != before && !stream.eos() &&
           !stream.stopped());
  file.transferEnd();
  return stream.stopped() ? StoppableFileStream::stoppedCondition() : result;
}
