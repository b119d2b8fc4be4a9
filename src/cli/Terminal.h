#pragma once

#include <atomic>
#include <mutex>

// Held while anything writes to the terminal, so that a question from a worker and the
// reports do not run into each other. Never held while waiting for the user's answer: the
// main thread must go on (Ctrl-C) while a question waits.
std::mutex& terminalMutex();
// Set while a question waits for its answer: the live progress line keeps still meanwhile.
std::atomic<bool>& questionWaiting();
bool stdinIsTerminal();
bool stdoutIsTerminal();
