#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <dcmtk/dcmdata/dcfilefo.h>

// The reading half of the import pass for one file of a medium: everything up to a data
// set in memory. It touches nothing of the scan, so the scan can read the next file while
// it writes the current one.
struct MediaFileLoad {
  // DamagedDicom: "DICM" at 128, but not loadable (truncated, damaged): unlike a program or a
  // text beside the images, a file lost.
  enum class Outcome { Excluded, Dicomdir, Unreadable, NotDicom, DamagedDicom, Loaded, Failed };

  std::string path;
  std::string name;
  Outcome outcome = Outcome::Failed;
  std::string error;  // for Unreadable
  std::unique_ptr<DcmFileFormat> file;
};

// Never throws; `excluded` is empty when extension filtering is off. With `stop`, a long
// read gives up (Failed) soon after it is set.
MediaFileLoad loadMediaFile(const std::string& path, const std::string& name,
                            const std::vector<std::string>& excluded,
                            const std::atomic<bool>* stop = nullptr);
