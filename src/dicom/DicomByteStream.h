#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A file read forward in chunks, optionally inflated (raw deflate) from some point on.
// Positions count bytes of the decoded stream, as DCMTK's input streams do.
class DicomByteStream {
 public:
  // With `stop`, the stream ends early once it is set.
  explicit DicomByteStream(const std::string& path, const std::atomic<bool>* stop = nullptr);
  ~DicomByteStream();
  DicomByteStream(const DicomByteStream&) = delete;
  DicomByteStream& operator=(const DicomByteStream&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // Copies up to n bytes ahead without consuming them; returns how many there were.
  size_t peek(uint8_t* out, size_t n);
  // Consumes exactly n bytes; false (and nothing promised) when fewer remain.
  bool read(uint8_t* out, size_t n);
  // Consumes n bytes; false when fewer remain.
  bool skip(uint64_t n);
  bool atEnd();
  uint64_t position() const { return position_; }
  // Everything after the current position is raw deflate data (no zlib header).
  bool startInflating();
  bool inflating() const { return inflater_ != nullptr; }

 private:
  struct Inflater;

  bool ensure(size_t n);
  size_t produce(uint8_t* out, size_t capacity);
  size_t buffered() const { return end_ - begin_; }

  std::FILE* file_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
  uint64_t fileSize_ = 0;
  uint64_t fileOffset_ = 0;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  uint64_t position_ = 0;
  std::unique_ptr<Inflater> inflater_;
};
