#pragma once

#include <string>

// A file of the medium, opened read-only only when it is a regular file (a link to one
// counts). Pipes and device nodes are never opened: reading them could block for ever.
class MediaFile {
 public:
  MediaFile() = default;
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;

  enum class Opened { Yes, NotAFile, Unreadable };
  // Anything but Yes comes with a message for the scan report.
  Opened open(const std::string& path, std::string& error);
  // The name to load from: the very file that was checked, not whatever the path names now.
  const std::string& loadPath() const { return loadPath_; }
  // "DICM" after the 128-byte preamble: the file claims to be DICOM.
  bool hasDicomPrefix() const;
  // The opened file, for reading its bytes as they are; -1 before open.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::string loadPath_;
};
