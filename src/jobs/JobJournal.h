#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dicom/CopyIdentity.h"

// A station a job goes to, as the send reaches it.
struct JobDestination {
  std::string aeTitle;
  std::string host;
  int port = 0;

  bool operator<(const JobDestination& other) const;
  bool operator==(const JobDestination& other) const;
};

// A file of a job folder as it is now.
struct JobCopy {
  std::string name;  // bare
  CopyIdentity identity;
};

// What a job folder's journal tells.
struct JobJournalState {
  // 2: this version's journal, which records Kalvora's copies; 1: an earlier version's,
  // which names files only; 0: none, or its first line is not Kalvora's.
  int format = 0;
  std::string folderName;  // the folder's own name when the journal was made
  long long creator = -1;  // the user who made it
  std::string sourceRoot;  // the medium read, "" when unknown
  std::time_t startedAt = 0;
  bool readingFinished = false;  // false: the copy may lack files of the medium
  // Patient ID and name of each copied file, in copy order.
  std::vector<std::pair<std::string, std::string>> copiedPatients;
  std::vector<JobDestination> destinations;  // chosen, in order of choice
  // The copies Kalvora wrote, by bare name, as they were written.
  std::map<std::string, CopyIdentity> copies;
  // By bare name, the file each station stored as it was when sent.
  std::map<JobDestination, std::map<std::string, CopyIdentity>> stored;

  // Whether the journal was made with `folder` by this user: this version's journal naming
  // the folder, or (as no more can be known of it) an earlier version's.
  bool provesFolder(const std::string& folder) const;
  bool madeByEarlierVersion() const { return format == 1; }
  // The names of `copies` that `destination` has not stored as they are now, in their order.
  std::vector<std::string> missingAt(const JobDestination& destination,
                                     const std::vector<JobCopy>& copies) const;
};

// The journal of one job folder: a hidden file of appended lines, private to the user, so
// that a job sent in part, or left by a crash, is resent only where it has not gone. A line
// cut short by a kill is ignored. It is made with its job folder and its first line names the
// folder and the user: only a folder whose journal says so is Kalvora's, and only the files it
// records as Kalvora's copies are ever deleted. The open journal holds a lock on the folder: while
// it is held, no other process adopts, sends or deletes the folder.
class JobJournal {
 public:
  // Kept in memory only: for a folder that is not a job folder of Kalvora's.
  JobJournal() = default;
  ~JobJournal();
  JobJournal(const JobJournal&) = delete;
  JobJournal& operator=(const JobJournal&) = delete;

  // For a job folder just made: creates its journal, which must not exist, and locks it.
  // Null when that fails (another process took the folder first).
  static std::unique_ptr<JobJournal> create(const std::string& folder);
  // For a kept folder: opens its journal and locks it, waiting a moment for a process that
  // only looks at it. Never makes one. Null when that fails; `error` then tells why:
  // EWOULDBLOCK while another process holds the folder, ENOENT when the folder has no journal
  // (any more), or the system's reason.
  static std::unique_ptr<JobJournal> open(const std::string& folder, int& error);
  // Reads a folder's journal without taking its lock.
  static JobJournalState read(const std::string& folder);
  // Whether some process holds the folder's lock now.
  static bool isLocked(const std::string& folder);

  const JobJournalState& state() const { return state_; }
  void recordSource(const std::string& sourceRoot, std::time_t startedAt);
  void recordPatient(const std::string& patientId, const std::string& patientName);
  void recordReadingFinished();
  // A copy just written into the folder under `name`: appends its record only. Safe on the
  // scan's thread while the journal is held; noteCopy brings the state up to date after.
  void appendCopyRecord(const std::string& name, const CopyIdentity& identity) const;
  void noteCopy(const std::string& name, const CopyIdentity& identity);
  // Both at once.
  void recordCopy(const std::string& name, const CopyIdentity& identity);
  // Once per destination; a destination withdrawn before is chosen again.
  void chooseDestination(const JobDestination& destination);
  // The job no longer has to reach it (another station was chosen instead).
  void withdrawDestination(const JobDestination& destination);
  // `destination` stored the file `fileName` that had `identity` when it was sent.
  void recordStored(const JobDestination& destination, const std::string& fileName,
                    const CopyIdentity& identity);

 private:
  explicit JobJournal(int fd) : fd_(fd) {}
  void append(const std::vector<std::string>& fields) const;

  int fd_ = -1;
  bool writable_ = true;
  JobJournalState state_;
};
