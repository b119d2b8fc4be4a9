#include "cli/StationSummary.h"

#include <sys/stat.h>

#include "cli/Terminal.h"
#include "platform/DisplayedPath.h"

std::string jobFolderFate(const std::string& jobFolder, bool delivered) {
  struct stat info {};
  const bool there = lstat(jobFolder.c_str(), &info) == 0;
  if (delivered && !there) return "; job folder deleted";
  if (!delivered && there) {
    const std::string shown = displayedPath(jobFolder);
    return "; kept in " + shown + ", send it again with: kalvora-cli jobs send " + shown;
  }
  return "";
}

void printStationResults(std::ostream& out, const StationResults& results,
                         const std::string& fate) {
  constexpr std::size_t kNamed = 10;
  for (const auto& [station, p] : results) {
    out << p.filesSent << " of " << p.transfers.size() << " files stored at "
        << printableText(station.aeTitle) << " (" << printableText(station.host) << ":"
        << station.port << ")" << fate << "\n";
    std::size_t named = 0;
    for (const FileTransfer& t : p.transfers) {
      if (t.outcome == FileTransfer::Outcome::Stored) continue;
      if (named++ == kNamed) {
        out << "  ... and " << p.filesFailed + p.filesNotAttempted - kNamed << " more\n";
        break;
      }
      out << "  " << (t.outcome == FileTransfer::Outcome::Failed ? "failed" : "not attempted")
          << ": " << printableText(displayedPath(t.path))
          << (t.reason.empty() ? "" : " [" + printableText(t.reason) + "]") << "\n";
    }
  }
}
