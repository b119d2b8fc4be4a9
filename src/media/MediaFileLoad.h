#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "dicom/StoppableFileStream.h"
#include "media/MediaFile.h"

// Why a file was lost when its import threw.
inline constexpr const char* kUnknownImportError = "Unknown error in MediaScan::ImportFile()";

// The reading half of the import pass for one file of a medium: everything up to a data
// set in memory. It touches nothing of the scan, so the scan can read the next file while
// it writes the current one.
struct MediaFileLoad {
  // NotAFile, NotDicom: a device node, a program or a text beside the images, or a data set
  // that does not name its SOP class and instance (error says so). DamagedDicom:
  // "DICM" at 128, but not loadable (truncated, damaged), or a value of it could not be read
  // whole: a file lost. Stopped: given up on a stop request. Failed: the load threw.
  enum class Outcome {
    Excluded,
    Dicomdir,
    Unreadable,
    NotAFile,
    NotDicom,
    DamagedDicom,
    Loaded,
    Stopped,
    Failed
  };

  std::string path;
  std::string name;
  Outcome outcome = Outcome::Failed;
  std::string error;  // for Unreadable, NotAFile and Failed; for DamagedDicom when not loaded,
                      // and NotDicom when loaded
  std::unique_ptr<DcmFileFormat> file;
  // Open for as long as `file`: values longer than the read length stay on the medium and
  // are read from this very file when the copy is written.
  std::unique_ptr<MediaFile> source;
  std::shared_ptr<LeftValueReads> leftValues = std::make_shared<LeftValueReads>();
  // A whole Part-10 file whose header agrees with its data set: unchanged, its own bytes
  // make the copy.
  bool copyableAsItIs = false;
};

// Never throws; `excluded` is empty when extension filtering is off. With `stop`, a long
// read gives up (Stopped) soon after it is set, and so do the later reads of large values.
MediaFileLoad loadMediaFile(const std::string& path, const std::string& name,
                            const std::vector<std::string>& excluded,
                            const std::atomic<bool>* stop = nullptr);
