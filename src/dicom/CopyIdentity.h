#pragma once

#include <string>

class DcmMetaInfo;

// What tells one copy in a job folder from another file under the same name: the SOP
// Instance UID of its meta header and its size. A journal line naming a file counts only
// while the file still has this identity.
struct CopyIdentity {
  std::string sopInstanceUid;  // empty when the file has none (or is no DICOM file)
  long long size = -1;         // -1 when the file could not be looked at

  bool known() const { return !sopInstanceUid.empty() && size >= 0; }
  bool operator==(const CopyIdentity& other) const {
    return sopInstanceUid == other.sopInstanceUid && size == other.size;
  }
  bool operator!=(const CopyIdentity& other) const { return !(*this == other); }
};

// The identity of the regular file open at `fd` (read through the descriptor, so a name
// swapped meanwhile changes nothing).
CopyIdentity readCopyIdentity(int fd);

// The same for a file whose meta header is known to be byte for byte `header`, read already
// (a copy of a file's own bytes): the file itself is not read again.
CopyIdentity copyIdentityWithHeader(int fd, DcmMetaInfo& header);

// The identity of `name` in the open folder `folderFd`, never through a link: a link, a
// folder or any other kind of entry has none (not known()).
CopyIdentity readCopyIdentityAt(int folderFd, const std::string& name);

// The same for a path (its last component not followed when it is a link).
CopyIdentity readCopyIdentity(const std::string& path);

// Opens `name` in the open folder `folderFd` for reading: only a regular file, never
// through a link, never blocking on a pipe or device. Returns the descriptor or -1 with
// errno set (ELOOP for a link, EINVAL for anything that is not a regular file).
int openRegularFileAt(int folderFd, const std::string& name);

// A path that reaches the very file open at `fd` while it stays open, for readers that take
// a path (DCMTK): "/proc/self/fd/N".
std::string pathOfDescriptor(int fd);
