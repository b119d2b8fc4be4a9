#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "jobs/JobJournal.h"
#include "media/ScanProgress.h"
#include "net/SendProgress.h"

// The job log line a report writes, or nullopt when it writes none
// (per-file lines only when verbose is on).
std::optional<std::string> scanLogLine(ScanEvent event, const ScanProgress& progress, bool verbose);
std::optional<std::string> sendLogLine(SendEvent event, const SendProgress& progress, bool verbose);

// The line a job gets for each station that lacks some of its files once its sends have
// ended, naming the first few of those files.
std::string undeliveredLogLine(const JobDestination& destination,
                               const std::vector<std::string>& missing, size_t copies);

// The first lines of a job made from a folder found at start: when it was left, how many
// files it holds, whether the medium was read to its end, and what is missing where.
struct JobFolderContents;
std::string foundJobLog(const std::string& jobFolder, std::time_t leftAt,
                        const JobFolderContents& contents, const JobJournalState& journal);

// The line a job gets when its folder keeps what Kalvora did not write (named, the first
// few), so that the folder stays.
std::string leftInJobFolderLogLine(const std::string& jobFolder,
                                   const std::vector<std::string>& left);

// A moment as the logs and listings show it: local time, "2026-01-31 14:05:07".
std::string localTimeText(std::time_t when);
