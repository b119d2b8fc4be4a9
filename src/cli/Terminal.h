#pragma once

#include <mutex>

// Held while anything writes to, or asks on, the terminal, so that a question from a
// worker and the progress line do not run into each other.
std::mutex& terminalMutex();
bool stdinIsTerminal();
bool stdoutIsTerminal();
