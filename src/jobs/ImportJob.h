#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Failed: a send ended with files that did not reach its station, or the folder was left by
// an earlier run; the folder is kept so that the job can be sent again.
enum class JobStatus { Copying, Pending, Sending, Finished, Stopped, Failed };

// The display text, which is also what a job stores as its status.
const char* jobStatusText(JobStatus status);

struct PatientEntry {
  std::string name;  // as first reported, '^' replaced by ' '
  std::string patientId;
  int32_t imageCount = 1;
};

// One reading of one medium; identified by its job folder.
struct ImportJob {
  std::string number;
  std::string jobFolder;
  std::string status;
  std::string log;
  std::vector<PatientEntry> patients;
};
