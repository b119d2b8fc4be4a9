#include "cli/Terminal.h"

#include <unistd.h>

std::mutex& terminalMutex() {
  static std::mutex mutex;
  return mutex;
}

std::atomic<bool>& questionWaiting() {
  static std::atomic<bool> waiting{false};
  return waiting;
}

bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
