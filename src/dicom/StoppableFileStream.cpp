#include "dicom/StoppableFileStream.h"

#include <algorithm>

// The base is given the producer before it is built, as DCMTK's own file stream does; the
// base keeps only the pointer until it is read from.
StoppableFileStream::StoppableFileStream(const std::string& path, const std::atomic<bool>& stop)
    : DcmInputStream(&producer_), producer_(path, stop), stop_(stop) {}

OFCondition StoppableFileStream::stoppedCondition() {
  return makeOFCondition(1024, 2, OF_error, "Reading stopped");
}

StoppableFileStream::Producer::Producer(const std::string& path, const std::atomic<bool>& stop)
    : file_(OFFilename(path.c_str())), stop_(stop) {}

OFBool StoppableFileStream::Producer::good() const { return !stopped() && file_.good(); }

OFCondition StoppableFileStream::Producer::status() const {
  return stopped() ? stoppedCondition() : file_.status();
}

OFBool StoppableFileStream::Producer::eos() { return stopped() || file_.eos(); }

offile_off_t StoppableFileStream::Producer::avail() { return stopped() ? 0 : file_.avail(); }

offile_off_t StoppableFileStream::Producer::read(void* buf, offile_off_t buflen) {
  return stopped() ? 0 : file_.read(buf, std::min(buflen, kPiece));
}

offile_off_t StoppableFileStream::Producer::skip(offile_off_t skiplen) {
  return stopped() ? 0 : file_.skip(skiplen);
}

void StoppableFileStream::Producer::putback(offile_off_t num) { file_.putback(num); }
