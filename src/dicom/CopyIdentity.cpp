#include "dicom/CopyIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>

namespace {

// The size of the regular file at `fd`, -1 for anything else.
long long regularFileSize(int fd) {
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long long>(info.st_size);
}

std::string instanceOf(DcmMetaInfo& header) {
  OFString uid;
  if (header.findAndGetOFString(DCM_MediaStorageSOPInstanceUID, uid).bad()) return {};
  return uid.c_str();
}

}  // namespace

CopyIdentity readCopyIdentity(int fd) {
  CopyIdentity identity;
  identity.size = regularFileSize(fd);
  if (identity.size < 0) return identity;
  // The meta header only: no data set is parsed, so nothing nested can reach DCMTK.
  DcmFileFormat file;
  if (file.loadFile(pathOfDescriptor(fd).c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength,
                    ERM_metaOnly)
          .bad())
    return identity;
  identity.sopInstanceUid = instanceOf(*file.getMetaInfo());
  return identity;
}

CopyIdentity copyIdentityWithHeader(int fd, DcmMetaInfo& header) {
  CopyIdentity identity;
  identity.size = regularFileSize(fd);
  if (identity.size >= 0) identity.sopInstanceUid = instanceOf(header);
  return identity;
}

int openRegularFileAt(int folderFd, const std::string& name) {
  const int fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

CopyIdentity readCopyIdentityAt(int folderFd, const std::string& name) {
  const int fd = openRegularFileAt(folderFd, name);
  if (fd < 0) return {};
  const CopyIdentity identity = readCopyIdentity(fd);
  close(fd);
  return identity;
}

CopyIdentity readCopyIdentity(const std::string& path) {
  const int fd = openRegularFileAt(AT_FDCWD, path);
  if (fd < 0) return {};
  const CopyIdentity identity = readCopyIdentity(fd);
  close(fd);
  return identity;
}

std::string pathOfDescriptor(int fd) { return "/proc/self/fd/" + std::to_string(fd); }
