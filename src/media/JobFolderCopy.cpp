#include "media/JobFolderCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dcmtk/dcmdata/dcfilefo.h>

std::string ClaimCopyPath(const std::string& jobFolder, const std::string& name, std::string& error,
                          unsigned firstSuffix, unsigned* claimedSuffix) {
  const std::string base = jobFolder + "/" + name;
  for (unsigned suffix = std::max(firstSuffix, 1u);; ++suffix) {
    const std::string candidate = suffix == 1 ? base : base + "." + std::to_string(suffix);
    // O_EXCL claims the name atomically and refuses any link planted there.
    const int fd =
        open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      if (claimedSuffix) *claimedSuffix = suffix;
      return candidate;
    }
    if (errno != EEXIST) {
      error = std::strerror(errno);
      return {};
    }
  }
}

OFCondition SaveCopy(DcmFileFormat& loaded, const std::string& path) {
  // A fresh file object has a zeroed preamble; the data set itself is moved, not copied.
  DcmFileFormat copy(loaded.getAndRemoveDataset(), OFFalse);
  const OFCondition result = copy.saveFile(path.c_str(), EXS_Unknown, EET_UndefinedLength,
                                           EGL_recalcGL, EPD_noChange, 0, 0, EWM_createNewMeta);
  // A half-written file would later be sent as if it were whole.
  if (result.bad()) unlink(path.c_str());
  return result;
}
