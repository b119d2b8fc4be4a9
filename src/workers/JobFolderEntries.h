#pragma once

#include <string>

// What a job folder holds besides the copies: Kalvora's own hidden files, which the scan
// never writes a copy under and the send never sends.
inline constexpr const char* kJobFolderPrivatePrefix = ".kalvora-";
// The job's journal: destinations chosen, files each stored; its lock marks the job as
// running in some process.
inline constexpr const char* kJobJournalName = ".kalvora-job";
// A copy still being written, where the file system cannot keep it nameless.
inline constexpr const char* kPartialCopyPrefix = ".kalvora-part-";

inline bool isJobFolderPrivateEntry(const std::string& name) {
  return name.compare(0, std::char_traits<char>::length(kJobFolderPrivatePrefix),
                      kJobFolderPrivatePrefix) == 0;
}
