#include "media/JobFolderCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmf.h>
#include <dcmtk/dcmdata/dcwcache.h>

#include "dicom/StoppableFileStream.h"
#include "workers/JobFolderEntries.h"

namespace {

std::atomic<bool> namelessCopiesAllowed{true};

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

const off_t kPreambleLength = 128;

// Bytes of `from` between `offset` and `end` into `to` at its current position, by the kernel
// (no copy through user space) while it can. Returns 0 or the errno; `readError` says
// whether it was `from` that failed.
int copyRange(int from, int to, off_t offset, off_t end, bool& readError) {
  bool kernel = true;
  std::vector<char> buffer;
  while (offset < end) {
    const size_t wanted = static_cast<size_t>(std::min<off_t>(end - offset, 1 << 30));
    if (kernel) {
      off_t in = offset;
      const ssize_t n = copy_file_range(from, &in, to, nullptr, wanted, 0);
      if (n > 0) {
        offset = in;
        continue;
      }
      if (n == 0) break;  // the source ended early
      if (errno == EINTR) continue;
      // Where the kernel cannot (file systems apart on older kernels, special files) or
      // fails, reads and writes go on from here and tell which side failed.
      kernel = false;
      buffer.resize(1 << 20);
      continue;
    }
    const ssize_t got = pread(from, buffer.data(), std::min(wanted, buffer.size()), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      readError = true;
      return errno;
    }
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return put < 0 ? errno : EIO;
      done += put;
    }
    offset += got;
  }
  if (offset < end) {
    readError = true;
    return EIO;
  }
  return 0;
}

// The common end of both ways of copying: the copy is written in `target`, still nameless.
OFCondition publishCopy(CopyTarget& target, const std::string& name, unsigned firstSuffix,
                        unsigned* claimedSuffix) {
  // Starts writing it to the disk now, beside the next copies: the flush at the scan's end
  // (SyncJobFolder) then has little left to wait for.
  sync_file_range(target.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
  if (const int error = target.publish(name, firstSuffix, claimedSuffix)) return systemError(error);
  if (!target.pathStillOurs())
    return makeOFCondition(0, 0, OF_error, "The copy was replaced in the job folder");
  return EC_Normal;
}

}  // namespace

CopyTarget::~CopyTarget() { release(); }

void CopyTarget::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  // A hidden copy that never got its name is no copy at all.
  if (!partPath_.empty()) unlink(partPath_.c_str());
  partPath_.clear();
}

CopyTarget::CopyTarget(CopyTarget&& other) noexcept
    : jobFolder_(std::move(other.jobFolder_)),
      partPath_(std::move(other.partPath_)),
      path_(std::move(other.path_)),
      fd_(other.fd_),
      beforeNaming_(std::move(other.beforeNaming_)) {
  other.fd_ = -1;
  other.partPath_.clear();
}

CopyTarget& CopyTarget::operator=(CopyTarget&& other) noexcept {
  if (this != &other) {
    release();
    jobFolder_ = std::move(other.jobFolder_);
    partPath_ = std::move(other.partPath_);
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    beforeNaming_ = std::move(other.beforeNaming_);
    other.fd_ = -1;
    other.partPath_.clear();
  }
  return *this;
}

bool CopyTarget::pathStillOurs() const {
  struct stat opened {};
  struct stat named {};
  return fd_ >= 0 && !path_.empty() && fstat(fd_, &opened) == 0 &&
         lstat(path_.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

int CopyTarget::publish(const std::string& name, unsigned firstSuffix, unsigned* claimedSuffix) {
  if (fd_ < 0) return EBADF;
  const std::string base = jobFolder_ + "/" + (isJobFolderPrivateEntry(name) ? "_" + name : name);
  const std::string source = partPath_.empty() ? "/proc/self/fd/" + std::to_string(fd_) : partPath_;
  for (unsigned suffix = std::max(firstSuffix, 1u);; ++suffix) {
    const std::string candidate = suffix == 1 ? base : base + "." + std::to_string(suffix);
    if (beforeNaming_) {
      // Only a free name is noted; the folder is private to this job.
      struct stat taken {};
      if (lstat(candidate.c_str(), &taken) == 0) continue;
      beforeNaming_(candidate.substr(jobFolder_.size() + 1));
    }
    // A new link never replaces what is there: a taken name gives EEXIST.
    const int linked = partPath_.empty() ? linkat(AT_FDCWD, source.c_str(), AT_FDCWD,
                                                  candidate.c_str(), AT_SYMLINK_FOLLOW)
                                         : link(source.c_str(), candidate.c_str());
    if (linked == 0) {
      path_ = candidate;
      if (claimedSuffix) *claimedSuffix = suffix;
      if (!partPath_.empty()) unlink(partPath_.c_str());
      partPath_.clear();
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
}

void AllowNamelessCopies(bool allowed) { namelessCopiesAllowed = allowed; }

CopyTarget CreateCopyTarget(const std::string& jobFolder, std::string& error) {
  // Nameless until whole; publishing it needs /proc to reach the descriptor.
  if (namelessCopiesAllowed && access("/proc/self/fd", X_OK) == 0) {
    const int fd = open(jobFolder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return CopyTarget(jobFolder, fd, "");
    if (errno != EOPNOTSUPP && errno != EISDIR) {
      error = std::strerror(errno);
      return {};
    }
  }
  std::string part = jobFolder + "/" + kPartialCopyPrefix + "XXXXXX";
  const int fd = mkostemp(part.data(), O_CLOEXEC);  // O_EXCL and 0600
  if (fd < 0) {
    error = std::strerror(errno);
    return {};
  }
  return CopyTarget(jobFolder, fd, part);
}

OFCondition SaveCopy(DcmFileFormat& loaded, CopyTarget& target, const std::string& name,
                     unsigned firstSuffix, unsigned* claimedSuffix, bool* sourceFailed,
                     const LeftValueReads* leftValues) {
  if (sourceFailed) *sourceFailed = false;
  // A fresh file object has a zeroed preamble; the data set itself is moved, not copied.
  DcmFileFormat copy(loaded.getAndRemoveDataset(), OFFalse);
  DescriptorWriter writer{target.fd()};
  const cookie_io_functions_t functions{nullptr, &DescriptorWriter::write, nullptr,
                                        &DescriptorWriter::close};
  FILE* file = fopencookie(&writer, "w", functions);
  OFCondition result = file ? writeThrough(copy, file) : systemError(errno);
  if (writer.error != 0) {
    result = systemError(writer.error);
  } else if (leftValues && leftValues->failed) {
    // The job folder took every byte, but a value left on the medium was not read whole.
    if (result.good()) result = EC_StreamNotifyClient;  // DCMTK wrote it short as if whole
    if (sourceFailed) *sourceFailed = true;
  }
  if (result.bad()) return result;  // never named: nothing to clean up
  return publishCopy(target, name, firstSuffix, claimedSuffix);
}

OFCondition CopyAsItIs(int sourceFd, CopyTarget& target, const std::string& name,
                       unsigned firstSuffix, unsigned* claimedSuffix, bool* sourceFailed) {
  if (sourceFailed) *sourceFailed = false;
  struct stat source {};
  if (fstat(sourceFd, &source) != 0) return systemError(errno);
  if (source.st_size < kPreambleLength + 4) {
    if (sourceFailed) *sourceFailed = true;
    return systemError(EIO);
  }
  const char zeros[kPreambleLength] = {};
  for (size_t done = 0; done < sizeof zeros;) {
    const ssize_t put = ::write(target.fd(), zeros + done, sizeof zeros - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return systemError(put < 0 ? errno : EIO);
    done += static_cast<size_t>(put);
  }
  bool readError = false;
  if (const int error =
          copyRange(sourceFd, target.fd(), kPreambleLength, source.st_size, readError)) {
    if (sourceFailed) *sourceFailed = readError;
    return systemError(error);
  }
  return publishCopy(target, name, firstSuffix, claimedSuffix);
}

int SyncJobFolder(const std::string& jobFolder) {
  const int fd = open(jobFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  // One flush for the whole job: a flush per copy would cost the copy stage far more.
  const int result = syncfs(fd) == 0 ? 0 : errno;
  close(fd);
  return result;
}
