#pragma once

#include <string>

// The tray application keeps the configuration in memory while it runs and writes all of it
// back when it exits, so a change made meanwhile by the command line would be lost. It holds
// this lock on its working folder from before it reads the files until it has written them;
// the command line changes the configuration only while it can take the same lock.
class ConfigurationLock {
 public:
  ConfigurationLock() = default;
  ~ConfigurationLock();
  ConfigurationLock(const ConfigurationLock&) = delete;
  ConfigurationLock& operator=(const ConfigurationLock&) = delete;

  // The lock file: a hidden, private file in the working folder.
  static std::string pathIn(const std::string& workingFolder);

  // For the tray application: creates the lock file when it is missing and takes the lock,
  // waiting up to `waitMs` for a command line that is changing the configuration right now.
  // False when another process holds it or the file cannot be made.
  bool acquire(const std::string& workingFolder, int waitMs);
  // For the command line, before a change: takes the lock without waiting when a tray
  // application has ever used the folder (creates nothing). False only when a running tray
  // application holds it.
  bool acquireUnlessHeld(const std::string& workingFolder);

  bool held() const { return fd_ >= 0; }

 private:
  void release();

  int fd_ = -1;
};
