#include "dicom/StoppableFileStream.h"

#include <algorithm>

// The base is given the producer before it is built, as DCMTK's own file stream does; the
// base keeps only the pointer until it is read from.
StoppableFileStream::StoppableFileStream(const std::string& path, const std::atomic<bool>& stop,
                                         offile_off_t offset, bool inPieces,
                                         std::shared_ptr<LeftValueReads> leftValues)
    : DcmInputStream(&producer_),
      producer_(path, offset, stop, inPieces, inPieces ? nullptr : leftValues),
      path_(path),
      stop_(stop),
      leftValues_(std::move(leftValues)) {}

OFCondition StoppableFileStream::stoppedCondition() {
  return makeOFCondition(1024, 2, OF_error, "Reading stopped");
}

// As DCMTK's file stream: none once a compression filter reads from the file.
DcmInputStreamFactory* StoppableFileStream::newFactory() const {
  if (currentProducer() != &producer_) return nullptr;
  return new Factory(path_, tell(), stop_, leftValues_);
}

StoppableFileStream::Producer::Producer(const std::string& path, offile_off_t offset,
                                        const std::atomic<bool>& stop, bool inPieces,
                                        std::shared_ptr<LeftValueReads> leftValues)
    : file_(OFFilename(path.c_str()), offset),
      stop_(stop),
      inPieces_(inPieces),
      leftValues_(std::move(leftValues)) {}

OFBool StoppableFileStream::Producer::good() const { return !stopped() && file_.good(); }

OFCondition StoppableFileStream::Producer::status() const {
  return stopped() ? stoppedCondition() : file_.status();
}

OFBool StoppableFileStream::Producer::eos() { return stopped() || file_.eos(); }

offile_off_t StoppableFileStream::Producer::avail() { return stopped() ? 0 : file_.avail(); }

// A value not read because of a stop is not whole either: DCMTK would write it short.
offile_off_t StoppableFileStream::Producer::read(void* buf, offile_off_t buflen) {
  if (stopped()) {
    noteShortRead();
    return 0;
  }
  const offile_off_t wanted = inPieces_ ? std::min(buflen, kPiece) : buflen;
  const offile_off_t got = file_.read(buf, wanted);
  // A value lies wholly inside the file, which was read whole once: short is a failed read.
  if (got < wanted) noteShortRead();
  return got;
}

offile_off_t StoppableFileStream::Producer::skip(offile_off_t skiplen) {
  if (stopped()) {
    noteShortRead();
    return 0;
  }
  const offile_off_t skipped = file_.skip(skiplen);
  if (skipped < skiplen) noteShortRead();
  return skipped;
}

void StoppableFileStream::Producer::putback(offile_off_t num) { file_.putback(num); }

StoppableFileStream::Factory::Factory(const std::string& path, offile_off_t offset,
                                      const std::atomic<bool>& stop,
                                      std::shared_ptr<LeftValueReads> leftValues)
    : DcmInputFileStreamFactory(OFFilename(path.c_str()), offset),
      path_(path),
      stop_(stop),
      leftValues_(std::move(leftValues)) {}

// A value is loaded by one read of this stream, which cannot be resumed: not in pieces.
DcmInputStream* StoppableFileStream::Factory::create() const {
  return new StoppableFileStream(path_, stop_, getOffset(), false, leftValues_);
}
