#include "dicom/DicomByteStream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace {
constexpr size_t kChunkSize = 16 * 1024;
}

struct DicomByteStream::Inflater {
  z_stream zs{};
  std::vector<uint8_t> input = std::vector<uint8_t>(kChunkSize);
  bool padded = false;  // the zero byte raw deflate needs at its end has been given
  bool finished = false;
  ~Inflater() { inflateEnd(&zs); }
};

DicomByteStream::DicomByteStream(const std::string& path, const std::atomic<bool>* stop)
    : stop_(stop), buffer_(kChunkSize) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return;
  struct stat info {};
  if (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fclose(file_);
    file_ = nullptr;
    return;
  }
  fileSize_ = static_cast<uint64_t>(info.st_size);
}

DicomByteStream::~DicomByteStream() {
  if (file_) std::fclose(file_);
}

size_t DicomByteStream::produce(uint8_t* out, size_t capacity) {
  if (!file_ || (stop_ && stop_->load(std::memory_order_relaxed))) return 0;
  if (!inflater_) {
    const size_t got = std::fread(out, 1, capacity, file_);
    fileOffset_ += got;
    return got;
  }
  Inflater& z = *inflater_;
  if (z.finished) return 0;
  z.zs.next_out = out;
  z.zs.avail_out = static_cast<uInt>(capacity);
  while (z.zs.avail_out == capacity) {
    if (z.zs.avail_in == 0) {
      size_t got = std::fread(z.input.data(), 1, z.input.size(), file_);
      fileOffset_ += got;
      if (got == 0) {
        if (z.padded) {
          z.finished = true;
          break;
        }
        z.input[0] = 0;
        got = 1;
        z.padded = true;
      }
      z.zs.next_in = z.input.data();
      z.zs.avail_in = static_cast<uInt>(got);
    }
    const int status = inflate(&z.zs, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      z.finished = true;
      break;
    }
    if (status != Z_OK && status != Z_BUF_ERROR) {
      z.finished = true;  // damaged data: the stream ends here, as it does for DCMTK
      break;
    }
  }
  return capacity - z.zs.avail_out;
}

bool DicomByteStream::ensure(size_t n) {
  if (buffered() >= n) return true;
  if (n > buffer_.size()) return false;
  std::memmove(buffer_.data(), buffer_.data() + begin_, buffered());
  end_ -= begin_;
  begin_ = 0;
  while (end_ < n) {
    const size_t got = produce(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) return false;
    end_ += got;
  }
  return true;
}

size_t DicomByteStream::peek(uint8_t* out, size_t n) {
  ensure(n);
  const size_t count = std::min(n, buffered());
  std::memcpy(out, buffer_.data() + begin_, count);
  return count;
}

bool DicomByteStream::read(uint8_t* out, size_t n) {
  if (n == 0) return true;  // `out` may be null then
  if (!ensure(n)) return false;
  std::memcpy(out, buffer_.data() + begin_, n);
  begin_ += n;
  position_ += n;
  return true;
}

bool DicomByteStream::skip(uint64_t n) {
  const size_t fromBuffer = static_cast<size_t>(std::min<uint64_t>(n, buffered()));
  begin_ += fromBuffer;
  position_ += fromBuffer;
  n -= fromBuffer;
  if (n == 0) return true;
  if (!file_) return false;
  if (!inflater_) {
    const uint64_t left = fileSize_ > fileOffset_ ? fileSize_ - fileOffset_ : 0;
    if (n > left || fseeko(file_, static_cast<off_t>(n), SEEK_CUR) != 0) {
      position_ += left;
      fileOffset_ = fileSize_;
      std::fseek(file_, 0, SEEK_END);
      return false;
    }
    fileOffset_ += n;
    position_ += n;
    return true;
  }
  while (n > 0) {
    const size_t got =
        produce(buffer_.data(), static_cast<size_t>(std::min<uint64_t>(n, buffer_.size())));
    if (got == 0) return false;
    n -= got;
    position_ += got;
  }
  begin_ = end_ = 0;
  return true;
}

bool DicomByteStream::atEnd() { return !ensure(1); }

bool DicomByteStream::startInflating() {
  if (!file_ || inflater_) return false;
  auto inflater = std::make_unique<Inflater>();
  if (inflateInit2(&inflater->zs, -MAX_WBITS) != Z_OK) return false;
  // Bytes already read ahead belong to the compressed stream.
  const size_t ahead = buffered();
  std::memcpy(inflater->input.data(), buffer_.data() + begin_, ahead);
  inflater->zs.next_in = inflater->input.data();
  inflater->zs.avail_in = static_cast<uInt>(ahead);
  begin_ = end_ = 0;
  inflater_ = std::move(inflater);
  return true;
}
