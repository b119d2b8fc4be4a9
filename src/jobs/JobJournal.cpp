#include "jobs/JobJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <tuple>

#include "workers/JobFolderEntries.h"

namespace {

constexpr int kOpenFlags = O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC;
constexpr const char* kFormatLine = "kalvora-job";
constexpr const char* kFormat = "2";
constexpr const char* kEarlierFormat = "1";

std::string journalPath(const std::string& folder) { return folder + "/" + kJobJournalName; }

// Names on a medium may hold tabs or line ends: every control byte and '%' goes as %XX.
std::string escapeField(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7f || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

unsigned char uchar(char c) { return static_cast<unsigned char>(c); }

std::string unescapeField(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(uchar(text[i + 1])) &&
        std::isxdigit(uchar(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(unescapeField(line.substr(start, tab - start)));
  fields.push_back(unescapeField(line.substr(start)));
  return fields;
}

bool parsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  port = std::stoi(text);
  return true;
}

// fields[at..at+2] as a destination.
bool parseDestination(const std::vector<std::string>& fields, size_t at, JobDestination& out) {
  if (fields.size() < at + 3) return false;
  out.aeTitle = fields[at];
  out.host = fields[at + 1];
  return parsePort(fields[at + 2], out.port);
}

void applyChosen(JobJournalState& state, const JobDestination& destination) {
  if (std::find(state.destinations.begin(), state.destinations.end(), destination) ==
      state.destinations.end())
    state.destinations.push_back(destination);
}

void applyWithdrawn(JobJournalState& state, const JobDestination& destination) {
  state.destinations.erase(
      std::remove(state.destinations.begin(), state.destinations.end(), destination),
      state.destinations.end());
}

bool parseSize(const std::string& text, long long& size) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  size = std::stoll(text);
  return true;
}

// fields[at..at+1] as a file's identity; one without a UID identifies nothing.
bool parseIdentity(const std::vector<std::string>& fields, size_t at, CopyIdentity& out) {
  if (fields.size() < at + 2 || fields[at].empty()) return false;
  out.sopInstanceUid = fields[at];
  return parseSize(fields[at + 1], out.size);
}

std::string folderNameOf(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first line says whose journal this is; nothing else counts without it.
void applyFormatLine(JobJournalState& state, const std::string& line) {
  const std::vector<std::string> f = splitFields(line);
  if (f[0] != kFormatLine || f.size() < 2) return;
  if (f[1] == kEarlierFormat) {
    state.format = 1;
  } else if (f[1] == kFormat && f.size() >= 4 && !f[2].empty() && parseSize(f[3], state.creator)) {
    state.format = 2;
    state.folderName = f[2];
  }
}

void applyLine(JobJournalState& state, const std::string& line) {
  const std::vector<std::string> f = splitFields(line);
  const std::string& kind = f[0];
  JobDestination destination;
  CopyIdentity identity;
  try {
    if (kind == "source" && f.size() >= 3) {
      state.sourceRoot = f[1];
      state.startedAt = static_cast<std::time_t>(std::stoll(f[2]));
    } else if (kind == "patient" && f.size() >= 3) {
      state.copiedPatients.emplace_back(f[1], f[2]);
    } else if (kind == "read") {
      state.readingFinished = true;
    } else if (kind == "destination" && parseDestination(f, 1, destination)) {
      applyChosen(state, destination);
    } else if (kind == "withdrawn" && parseDestination(f, 1, destination)) {
      applyWithdrawn(state, destination);
    } else if (kind == "copy" && f.size() >= 4 && !f[1].empty() && parseIdentity(f, 2, identity)) {
      state.copies[f[1]] = identity;
    } else if (kind == "stored" && f.size() >= 7 && parseDestination(f, 1, destination) &&
               parseIdentity(f, 5, identity)) {
      // An earlier version's line names the file only: it proves nothing and is passed over.
      state.stored[destination][f[4]] = identity;
    }
  } catch (...) {
    // A damaged line tells nothing; the others still count.
  }
}

// Only whole lines count: the last one may have been cut short by a kill.
JobJournalState parseJournal(const std::string& text) {
  JobJournalState state;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    if (start == 0)
      applyFormatLine(state, text.substr(0, end));
    else if (state.format != 0)
      applyLine(state, text.substr(start, end - start));
  }
  return state;
}

std::string readAll(int fd) {
  std::string text;
  char buffer[65536];
  off_t at = 0;
  for (;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  return text;
}

// The locked descriptor must still be the file at the path: one unlinked meanwhile (its
// folder discarded) locks nothing.
bool stillAtPath(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid() &&
         lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

bool writeWhole(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool JobDestination::operator<(const JobDestination& other) const {
  return std::tie(aeTitle, host, port) < std::tie(other.aeTitle, other.host, other.port);
}

bool JobDestination::operator==(const JobDestination& other) const {
  return aeTitle == other.aeTitle && host == other.host && port == other.port;
}

bool JobJournalState::provesFolder(const std::string& folder) const {
  if (format == 1) return true;
  return format == 2 && folderName == folderNameOf(folder) &&
         creator == static_cast<long long>(geteuid());
}

std::vector<std::string> JobJournalState::missingAt(const JobDestination& destination,
                                                    const std::vector<JobCopy>& copies) const {
  const auto done = stored.find(destination);
  std::vector<std::string> missing;
  for (const JobCopy& copy : copies) {
    bool arrived = false;
    if (done != stored.end() && copy.identity.known()) {
      const auto sent = done->second.find(copy.name);
      arrived = sent != done->second.end() && sent->second == copy.identity;
    }
    if (!arrived) missing.push_back(copy.name);
  }
  return missing;
}

JobJournal::~JobJournal() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

namespace {

// Another process may look at the folder for a moment (listing kept jobs) or hold it.
bool lockWithin(int fd, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  errno = EWOULDBLOCK;
  return false;
}

}  // namespace

std::unique_ptr<JobJournal> JobJournal::create(const std::string& folder) {
  const std::string path = journalPath(folder);
  const int fd = ::open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return nullptr;
  if (!lockWithin(fd, 200) || !stillAtPath(fd, path)) {
    close(fd);
    return nullptr;
  }
  std::unique_ptr<JobJournal> journal(new JobJournal(fd));
  const std::string creator = std::to_string(static_cast<long long>(geteuid()));
  journal->append({kFormatLine, kFormat, folderNameOf(folder), creator});
  journal->state_ = parseJournal(readAll(fd));
  return journal;
}

std::unique_ptr<JobJournal> JobJournal::open(const std::string& folder, int& error) {
  error = 0;
  const std::string path = journalPath(folder);
  const int fd = ::open(path.c_str(), kOpenFlags);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (!lockWithin(fd, 50)) {
    error = errno;
    close(fd);
    return nullptr;
  }
  // Unlinked meanwhile: its folder was delivered or discarded by the process that held it.
  if (!stillAtPath(fd, path)) {
    error = ENOENT;
    close(fd);
    return nullptr;
  }
  std::unique_ptr<JobJournal> journal(new JobJournal(fd));
  const std::string text = readAll(fd);
  journal->state_ = parseJournal(text);
  // A line cut short by a kill goes: ended, it could read as a record of another file
  // (IM1 cut from IM10).
  if (!text.empty() && text.back() != '\n') {
    const size_t lastEnd = text.rfind('\n');
    // Appending after a cut line would corrupt the next record; without appending, a
    // resend only sends a few files again.
    if (ftruncate(fd, lastEnd == std::string::npos ? 0 : static_cast<off_t>(lastEnd + 1)) != 0)
      journal->writable_ = false;
  }
  return journal;
}

JobJournalState JobJournal::read(const std::string& folder) {
  const int fd = ::open(journalPath(folder).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  const JobJournalState state = parseJournal(readAll(fd));
  close(fd);
  return state;
}

bool JobJournal::isLocked(const std::string& folder) {
  const int fd = ::open(journalPath(folder).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return locked;
}

void JobJournal::recordSource(const std::string& sourceRoot, std::time_t startedAt) {
  state_.sourceRoot = sourceRoot;
  state_.startedAt = startedAt;
  append({"source", sourceRoot, std::to_string(static_cast<long long>(startedAt))});
}

void JobJournal::recordPatient(const std::string& patientId, const std::string& patientName) {
  state_.copiedPatients.emplace_back(patientId, patientName);
  append({"patient", patientId, patientName});
}

void JobJournal::recordReadingFinished() {
  state_.readingFinished = true;
  append({"read"});
}

void JobJournal::appendCopyRecord(const std::string& name, const CopyIdentity& identity) const {
  append({"copy", name, identity.sopInstanceUid, std::to_string(identity.size)});
}

void JobJournal::noteCopy(const std::string& name, const CopyIdentity& identity) {
  state_.copies[name] = identity;
}

void JobJournal::recordCopy(const std::string& name, const CopyIdentity& identity) {
  noteCopy(name, identity);
  appendCopyRecord(name, identity);
}

void JobJournal::chooseDestination(const JobDestination& d) {
  if (std::find(state_.destinations.begin(), state_.destinations.end(), d) !=
      state_.destinations.end())
    return;
  applyChosen(state_, d);
  append({"destination", d.aeTitle, d.host, std::to_string(d.port)});
}

void JobJournal::withdrawDestination(const JobDestination& d) {
  applyWithdrawn(state_, d);
  append({"withdrawn", d.aeTitle, d.host, std::to_string(d.port)});
}

void JobJournal::recordStored(const JobDestination& d, const std::string& fileName,
                              const CopyIdentity& identity) {
  if (!identity.known()) return;  // nothing could tell later that it is still this file
  auto& stored = state_.stored[d];
  const auto known = stored.find(fileName);
  if (known != stored.end() && known->second == identity) return;
  stored[fileName] = identity;
  append({"stored", d.aeTitle, d.host, std::to_string(d.port), fileName, identity.sopInstanceUid,
          std::to_string(identity.size)});
}

// One write per line: a kill cuts at most this line, which reading then ignores. A failed
// write (disk full) only costs a second send of the file it names.
void JobJournal::append(const std::vector<std::string>& fields) const {
  if (fd_ < 0 || !writable_) return;
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += '\t';
    line += escapeField(field);
  }
  writeWhole(fd_, line + "\n");
}
