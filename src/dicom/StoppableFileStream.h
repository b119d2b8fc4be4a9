#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcistrmf.h>

// How the reads of the values left in the file went. DCMTK writes a value it could not read
// whole as an empty one and reports success: whoever writes such a data set asks here.
struct LeftValueReads {
  std::atomic<bool> failed{false};
};

// DCMTK's input stream over a file that gives way to a stop request: once `stop` is set,
// the stream ends as a failed read at its next read. Read `inPieces`, no single read takes
// more than kPiece bytes: a longer value leaves DCMTK's read suspended (EC_StreamNotifyClient)
// and is resumed by reading again, as DCMTK reads data sets arriving from the network.
// As DCMTK's own file stream, it leaves values longer than the read length in the file, to
// be loaded later through its factory (one read per value, looked at the stop first); a read
// of such a value that comes back short, or not at all for a stop, is noted in `leftValues`.
class StoppableFileStream : public DcmInputStream {
 public:
  static constexpr offile_off_t kPiece = 1 << 20;

  StoppableFileStream(const std::string& path, const std::atomic<bool>& stop,
                      offile_off_t offset = 0, bool inPieces = true,
                      std::shared_ptr<LeftValueReads> leftValues = nullptr);
  DcmInputStreamFactory* newFactory() const override;

  bool stopped() const { return stop_.load(std::memory_order_relaxed); }
  static OFCondition stoppedCondition();

 private:
  class Producer : public DcmProducer {
   public:
    Producer(const std::string& path, offile_off_t offset, const std::atomic<bool>& stop,
             bool inPieces, std::shared_ptr<LeftValueReads> leftValues);
    OFBool good() const override;
    OFCondition status() const override;
    OFBool eos() override;
    offile_off_t avail() override;
    offile_off_t read(void* buf, offile_off_t buflen) override;
    offile_off_t skip(offile_off_t skiplen) override;
    void putback(offile_off_t num) override;

   private:
    bool stopped() const { return stop_.load(std::memory_order_relaxed); }
    void noteShortRead() {
      if (leftValues_) leftValues_->failed = true;
    }
    DcmFileProducer file_;
    const std::atomic<bool>& stop_;
    const bool inPieces_;
    const std::shared_ptr<LeftValueReads> leftValues_;  // only for a value's own stream
  };

  // A file stream factory (DCMTK may take it for one) whose streams look at the stop too.
  class Factory : public DcmInputFileStreamFactory {
   public:
    Factory(const std::string& path, offile_off_t offset, const std::atomic<bool>& stop,
            std::shared_ptr<LeftValueReads> leftValues);
    DcmInputStream* create() const override;
    DcmInputStreamFactory* clone() const override { return new Factory(*this); }

   private:
    std::string path_;
    const std::atomic<bool>& stop_;
    std::shared_ptr<LeftValueReads> leftValues_;
  };

  Producer producer_;
  const std::string path_;
  const std::atomic<bool>& stop_;
  const std::shared_ptr<LeftValueReads> leftValues_;
};
