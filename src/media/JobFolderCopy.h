#pragma once

#include <string>

#include <dcmtk/ofstd/ofcond.h>

class DcmFileFormat;

// A new private file claimed in the job folder, open for writing. The copy is written
// through this descriptor, never by opening the name again: whoever could swap the name
// meanwhile would otherwise get the data or leave an empty file counted as copied.
class CopyTarget {
 public:
  CopyTarget() = default;
  CopyTarget(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~CopyTarget();
  CopyTarget(CopyTarget&& other) noexcept;
  CopyTarget& operator=(CopyTarget&& other) noexcept;
  CopyTarget(const CopyTarget&) = delete;
  CopyTarget& operator=(const CopyTarget&) = delete;

  bool claimed() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  // Whether the path still names the very file that was claimed.
  bool pathStillOurs() const;

 private:
  std::string path_;
  int fd_ = -1;
};

// Claims `jobFolder/name`, or name.2, name.3 ... when taken, as a new private file.
// When nothing could be created, the target is not claimed and `error` says why.
// Probing starts at `firstSuffix` (1 = the bare name); `claimedSuffix` tells which one won.
CopyTarget ClaimCopyPath(const std::string& jobFolder, const std::string& name, std::string& error,
                         unsigned firstSuffix = 1, unsigned* claimedSuffix = nullptr);

// Writes the loaded file into `target` in the transfer syntax it was read in. The preamble
// is written as zeros: one read from a medium may hold an executable header. The data set
// moves out of `loaded`. A failed write gives the system's reason where there is one
// ("No space left on device"), and nothing is left at the path.
OFCondition SaveCopy(DcmFileFormat& loaded, CopyTarget& target);
