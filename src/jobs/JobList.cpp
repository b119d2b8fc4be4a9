#include "jobs/JobList.h"

#include <algorithm>

const char* jobStatusText(JobStatus status) {
  switch (status) {
    case JobStatus::Copying:
      return "Copying";
    case JobStatus::Pending:
      return "Pending";
    case JobStatus::Sending:
      return "Sending";
    case JobStatus::Finished:
      return "Finished";
    case JobStatus::Stopped:
      return "Stopped";
    case JobStatus::Failed:
      return "Failed";
  }
  return "";
}

int JobList::AddJob(const std::string& jobFolder, const std::string& status,
                    const std::string& log) {
  ImportJob job;
  job.number = std::to_string(jobs_.size() + 1);
  job.jobFolder = jobFolder;
  job.status = status;
  job.log = log;
  jobs_.push_back(std::move(job));
  return static_cast<int>(jobs_.size()) - 1;
}

int JobList::FindJob(const std::string& jobFolder) const {
  for (size_t i = 0; i < jobs_.size(); ++i)
    if (jobs_[i].jobFolder == jobFolder) return static_cast<int>(i);
  return -1;
}

void JobList::SetJobStatus(const std::string& jobFolder, const std::string& status) {
  const int index = FindJob(jobFolder);
  if (index >= 0) jobs_[index].status = status;
}

void JobList::AppendJobLog(const std::string& jobFolder, const std::string& text) {
  const int index = FindJob(jobFolder);
  if (index >= 0) jobs_[index].log += text;
}

bool JobList::AddJobPatient(const std::string& jobFolder, const std::string& patientName,
                            const std::string& patientId) {
  const int index = FindJob(jobFolder);
  if (index < 0) return false;
  std::vector<PatientEntry>& patients = jobs_[index].patients;
  for (PatientEntry& entry : patients) {
    if (entry.patientId == patientId) {
      ++entry.imageCount;
      return false;
    }
  }
  std::string name = patientName;
  std::replace(name.begin(), name.end(), '^', ' ');
  patients.push_back({name, patientId, 1});
  return true;
}

std::string JobList::PatientsText(int index) const {
  std::string text;
  for (const PatientEntry& entry : jobs_.at(index).patients) {
    if (!text.empty()) text += ", ";
    text += entry.name;
  }
  return text;
}
