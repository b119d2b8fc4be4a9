#pragma once

#include <string>

// The tray application keeps the configuration in memory while it runs and writes all of it
// back when it exits, so a change made meanwhile by the command line would be lost. It holds
// this lock on its working folder from before it reads the files until it has written them;
// the command line changes the configuration only while it can take the same lock.
// The lock is on the working folder itself, through its own descriptor: unlike a lock file,
// it cannot be deleted, or replaced by a link, while it is held.
class ConfigurationLock {
 public:
  ConfigurationLock() = default;
  ~ConfigurationLock();
  ConfigurationLock(const ConfigurationLock&) = delete;
  ConfigurationLock& operator=(const ConfigurationLock&) = delete;

  // For the tray application: takes the lock, waiting up to `waitMs` for a command line that
  // is changing the configuration right now. False when another process holds it or the
  // folder cannot be opened.
  bool acquire(const std::string& workingFolder, int waitMs);
  // For the command line, before a change: takes the lock without waiting. False only when
  // a running tray application holds it (a folder that does not exist yet holds no lock).
  bool acquireUnlessHeld(const std::string& workingFolder);

  bool held() const { return fd_ >= 0; }

 private:
  void release();

  int fd_ = -1;
};
