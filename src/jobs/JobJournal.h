#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// A station a job goes to, as the send reaches it.
struct JobDestination {
  std::string aeTitle;
  std::string host;
  int port = 0;

  bool operator<(const JobDestination& other) const;
  bool operator==(const JobDestination& other) const;
};

// What a job folder's journal tells.
struct JobJournalState {
  std::string sourceRoot;  // the medium read, "" when unknown
  std::time_t startedAt = 0;
  bool readingFinished = false;  // false: the copy may lack files of the medium
  // Patient ID and name of each copied file, in copy order.
  std::vector<std::pair<std::string, std::string>> copiedPatients;
  std::vector<JobDestination> destinations;                // chosen, in order of choice
  std::map<JobDestination, std::set<std::string>> stored;  // bare file names

  // The copies of `copies` that `destination` has not stored, in their order.
  std::vector<std::string> missingAt(const JobDestination& destination,
                                     const std::vector<std::string>& copies) const;
};

// The journal of one job folder: a hidden file of appended lines, private to the user, so
// that a job sent in part, or left by a crash, is resent only where it has not gone. A line
// cut short by a kill is ignored. It is made with its job folder, and only a folder that holds
// one is Kalvora's. The open journal holds a lock on the folder: while it is held, no other
// process adopts, sends or deletes the folder.
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
  // Once per destination; a destination withdrawn before is chosen again.
  void chooseDestination(const JobDestination& destination);
  // The job no longer has to reach it (another station was chosen instead).
  void withdrawDestination(const JobDestination& destination);
  void recordStored(const JobDestination& destination, const std::string& fileName);

 private:
  explicit JobJournal(int fd) : fd_(fd) {}
  void append(const std::vector<std::string>& fields);

  int fd_ = -1;
  bool writable_ = true;
  JobJournalState state_;
};
