#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "jobs/JobJournal.h"

// A job folder below the temporary folder, as it lies on disk: left by a job that did not
// reach every station, by an import that was not to send, or by a crash or a kill.
struct KeptJob {
  std::string jobFolder;
  std::time_t leftAt = 0;  // the newest change of anything in it
  std::vector<std::string> copies;
  JobJournalState journal;
  bool inUse = false;  // some process works on it now
};

// Every job folder of Kalvora's below the temporary folder (the setting as typed), in name
// order. Reads only: takes no lock and changes nothing. Empty when the temporary folder
// is missing or cannot be trusted.
std::vector<KeptJob> FindKeptJobs(const std::string& tempFolder);

// The same for one folder.
KeptJob ReadKeptJob(const std::string& jobFolder);

// The newest change of the folder or anything in it: when its job last did something.
std::time_t JobFolderLeftAt(const std::string& folder);
