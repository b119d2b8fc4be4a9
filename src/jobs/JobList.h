#pragma once

#include <string>
#include <vector>

#include "jobs/ImportJob.h"

// Every job since start-up, in order; jobs are only appended.
class JobList {
 public:
  int AddJob(const std::string& jobFolder, const std::string& status, const std::string& log);
  // Index of the first job with exactly this folder, or -1.
  int FindJob(const std::string& jobFolder) const;
  void SetJobStatus(const std::string& jobFolder, const std::string& status);
  void AppendJobLog(const std::string& jobFolder, const std::string& text);
  // True when a new patient entry was added (the view needs a repaint).
  bool AddJobPatient(const std::string& jobFolder, const std::string& patientName,
                     const std::string& patientId);
  std::string PatientsText(int index) const;

  int size() const { return static_cast<int>(jobs_.size()); }
  const ImportJob& operator[](int index) const { return jobs_.at(index); }

 private:
  std::vector<ImportJob> jobs_;
};
