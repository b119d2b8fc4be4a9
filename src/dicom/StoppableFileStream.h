#pragma once

#include <atomic>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcistrmf.h>

// DCMTK's input stream over a file that gives way to a stop request: the file is read in
// pieces of at most kPiece bytes, and once `stop` is set the stream ends as a failed read.
// A value longer than a piece leaves DCMTK's read suspended (EC_StreamNotifyClient) and is
// resumed by reading again, as DCMTK reads data sets arriving from the network. Values are
// never left on disk to be loaded later (no stream factory): everything is read here.
class StoppableFileStream : public DcmInputStream {
 public:
  static constexpr offile_off_t kPiece = 1 << 20;

  StoppableFileStream(const std::string& path, const std::atomic<bool>& stop);
  DcmInputStreamFactory* newFactory() const override { return nullptr; }

  bool stopped() const { return stop_.load(std::memory_order_relaxed); }
  static OFCondition stoppedCondition();

 private:
  class Producer : public DcmProducer {
   public:
    Producer(const std::string& path, const std::atomic<bool>& stop);
    OFBool good() const override;
    OFCondition status() const override;
    OFBool eos() override;
    offile_off_t avail() override;
    offile_off_t read(void* buf, offile_off_t buflen) override;
    offile_off_t skip(offile_off_t skiplen) override;
    void putback(offile_off_t num) override;

   private:
    bool stopped() const { return stop_.load(std::memory_order_relaxed); }
    DcmFileProducer file_;
    const std::atomic<bool>& stop_;
  };

  Producer producer_;
  const std::atomic<bool>& stop_;
};
