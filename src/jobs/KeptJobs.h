#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "jobs/JobJournal.h"

// A job folder below the temporary folder, as it lies on disk: left by a job that did not
// reach every station, by an import that was not to send, or by a crash or a kill.
struct KeptJob {
  std::string jobFolder;
  std::time_t leftAt = 0;           // the newest change of anything in it
  std::vector<JobCopy> copies;      // what is to be sent (JobFolderContents::copies)
  std::vector<std::string> others;  // what Kalvora did not write and leaves alone
  JobJournalState journal;
  bool inUse = false;  // some process works on it now
};

// The kept jobs below the temporary folder, and what could not be looked at.
struct KeptJobSearch {
  std::vector<KeptJob> jobs;  // in name order
  // Why the temporary folder was not looked at (it is not private); empty when it was.
  std::string notLooked;
  // Why a folder named as a job folder is not taken for one, one line each (its journal is
  // not a plain file of this user's, or does not prove the folder).
  std::vector<std::string> passedOver;
};

// Every job folder of Kalvora's below the temporary folder (the setting as typed). Reads
// only: takes no lock and changes nothing. A missing temporary folder holds none.
KeptJobSearch SearchKeptJobs(const std::string& tempFolder);

// The jobs of SearchKeptJobs; empty when the temporary folder cannot be trusted.
std::vector<KeptJob> FindKeptJobs(const std::string& tempFolder);

// The same for one folder.
KeptJob ReadKeptJob(const std::string& jobFolder);

// The newest change of the folder or anything in it: when its job last did something.
std::time_t JobFolderLeftAt(const std::string& folder);
