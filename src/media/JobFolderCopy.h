#pragma once

#include <functional>
#include <string>

#include <dcmtk/ofstd/ofcond.h>

class DcmFileFormat;
struct LeftValueReads;

// A new private file in the job folder, open for writing, that gets its name only once it
// is whole: a crash or a kill while it is written leaves no file that the send would take
// for a complete copy. It is written through this descriptor, never by opening a name:
// whoever could swap a name meanwhile would otherwise get the data.
class CopyTarget {
 public:
  CopyTarget() = default;
  // `partPath`: the hidden name it is written under, or "" when it has no name yet.
  CopyTarget(std::string jobFolder, int fd, std::string partPath)
      : jobFolder_(std::move(jobFolder)), partPath_(std::move(partPath)), fd_(fd) {}
  ~CopyTarget();
  CopyTarget(CopyTarget&& other) noexcept;
  CopyTarget& operator=(CopyTarget&& other) noexcept;
  CopyTarget(const CopyTarget&) = delete;
  CopyTarget& operator=(const CopyTarget&) = delete;

  bool claimed() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // The copy's name in the job folder once published, "" before.
  const std::string& path() const { return path_; }
  // Gives the whole file the name `name`, or name.2, name.3 ... from `firstSuffix` on when
  // taken; never a name of Kalvora's own files. Returns 0 or an errno.
  int publish(const std::string& name, unsigned firstSuffix, unsigned* claimedSuffix);
  // Whether the published name still names the very file that was written.
  bool pathStillOurs() const;
  // Called with the bare name the whole file is about to get, before it gets it: what is
  // noted there (the job's journal) then never misses a copy, whenever the process is killed.
  void beforeNaming(std::function<void(const std::string& fileName)> note) {
    beforeNaming_ = std::move(note);
  }

 private:
  void release();

  std::string jobFolder_;
  std::string partPath_;
  std::string path_;
  int fd_ = -1;
  std::function<void(const std::string&)> beforeNaming_;
};

// Copies start nameless (O_TMPFILE) where the file system allows it. Off, they take the way
// of file systems that do not (NFS, SMB, vfat): a hidden part file, named once whole. Only
// tests turn it off, to run that way on any file system.
void AllowNamelessCopies(bool allowed);

// Opens a new copy in `jobFolder`. When nothing could be created, the target is not claimed
// and `error` says why.
CopyTarget CreateCopyTarget(const std::string& jobFolder, std::string& error);

// Writes the loaded file into `target` in the transfer syntax it was read in, then names it
// `name` (see CopyTarget::publish). The preamble is written as zeros: one read from a medium
// may hold an executable header. The data set moves out of `loaded`; values it left on the
// medium are read from there now. A failed write gives the system's reason where there is one
// ("No space left on device"), and nothing is left. `sourceFailed`, when given, tells whether
// it was the medium that failed (a value not read whole, as noted in `leftValues`) rather
// than the job folder.
OFCondition SaveCopy(DcmFileFormat& loaded, CopyTarget& target, const std::string& name,
                     unsigned firstSuffix = 1, unsigned* claimedSuffix = nullptr,
                     bool* sourceFailed = nullptr, const LeftValueReads* leftValues = nullptr);

// The same for a file that nothing changes: its own bytes from the open `sourceFd`, moved by
// the kernel, all but the preamble, which is written as zeros as above. A file that ends
// before the size it had when opened fails as a read cut short.
OFCondition CopyAsItIs(int sourceFd, CopyTarget& target, const std::string& name,
                       unsigned firstSuffix = 1, unsigned* claimedSuffix = nullptr,
                       bool* sourceFailed = nullptr);

// Makes every copy written to `jobFolder` so far durable, with one flush of its file system.
// Returns 0 or the errno of the failure.
int SyncJobFolder(const std::string& jobFolder);
