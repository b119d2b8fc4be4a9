#include "media/JobFolderCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmf.h>
#include <dcmtk/dcmdata/dcwcache.h>

namespace {

OFCondition systemError(int error) { return makeOFCondition(0, 0, OF_error, std::strerror(error)); }

// A stdio stream over the claimed descriptor that remembers why a write failed: DCMTK
// only sees a stream that stopped ("I/O suspension or premature end of stream").
struct DescriptorWriter {
  int fd;
  int error = 0;

  static ssize_t write(void* cookie, const char* bytes, size_t size) {
    auto* writer = static_cast<DescriptorWriter*>(cookie);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(writer->fd, bytes + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        writer->error = n < 0 ? errno : EIO;
        return done > 0 ? static_cast<ssize_t>(done) : -1;
      }
      done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
  }
  static int close(void*) { return 0; }  // the descriptor stays the target's
};

// The whole file through a stream over `file`, which the stream closes.
OFCondition writeThrough(DcmFileFormat& copy, FILE* file) {
  DcmOutputFileStream stream(file);
  DcmWriteCache cache;
  copy.transferInit();
  OFCondition result = copy.write(stream, EXS_Unknown, EET_UndefinedLength, &cache, EGL_recalcGL,
                                  EPD_noChange, 0, 0, 0, EWM_createNewMeta);
  copy.transferEnd();
  stream.flush();
  if (std::fflush(file) != 0 && result.good()) result = systemError(EIO);
  if (result.good() && !stream.good()) result = stream.status();
  return result;
}

}  // namespace

CopyTarget::~CopyTarget() {
  if (fd_ >= 0) close(fd_);
}

CopyTarget::CopyTarget(CopyTarget&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_) {
  other.fd_ = -1;
}

CopyTarget& CopyTarget::operator=(CopyTarget&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool CopyTarget::pathStillOurs() const {
  struct stat opened {};
  struct stat named {};
  return fd_ >= 0 && fstat(fd_, &opened) == 0 && lstat(path_.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

CopyTarget ClaimCopyPath(const std::string& jobFolder, const std::string& name, std::string& error,
                         unsigned firstSuffix, unsigned* claimedSuffix) {
  const std::string base = jobFolder + "/" + name;
  for (unsigned suffix = std::max(firstSuffix, 1u);; ++suffix) {
    const std::string candidate = suffix == 1 ? base : base + "." + std::to_string(suffix);
    // O_EXCL claims the name atomically and refuses any link planted there.
    const int fd =
        open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      if (claimedSuffix) *claimedSuffix = suffix;
      return CopyTarget(candidate, fd);
    }
    if (errno != EEXIST) {
      error = std::strerror(errno);
      return {};
    }
  }
}

OFCondition SaveCopy(DcmFileFormat& loaded, CopyTarget& target) {
  // A fresh file object has a zeroed preamble; the data set itself is moved, not copied.
  DcmFileFormat copy(loaded.getAndRemoveDataset(), OFFalse);
  DescriptorWriter writer{target.fd()};
  const cookie_io_functions_t functions{nullptr, &DescriptorWriter::write, nullptr,
                                        &DescriptorWriter::close};
  FILE* file = fopencookie(&writer, "w", functions);
  OFCondition result = file ? writeThrough(copy, file) : systemError(errno);
  if (writer.error != 0) result = systemError(writer.error);
  const bool ours = target.pathStillOurs();
  if (result.good() && !ours)
    result = makeOFCondition(0, 0, OF_error, "The copy was replaced in the job folder");
  // A half-written file would later be sent as if it were whole.
  if (result.bad() && ours) unlink(target.path().c_str());
  return result;
}
