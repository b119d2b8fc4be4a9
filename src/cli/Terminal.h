#pragma once

#include <atomic>
#include <mutex>
#include <string>

// Held while anything writes to the terminal, so that a question from a worker and the
// reports do not run into each other. Never held while waiting for the user's answer: the
// main thread must go on (Ctrl-C) while a question waits.
std::mutex& terminalMutex();
// Set while a question waits for its answer: the live progress line keeps still meanwhile.
std::atomic<bool>& questionWaiting();
bool stdinIsTerminal();
// Text from a medium (names, file names, logs) as it may be printed: line ends stay line ends
// ("\r\n" becomes "\n"), every other control character, also the 8-bit ones of UTF-8, is
// shown escaped ("\e", "\a", "\r", "\x9B"), so that none can move the cursor, clear the
// screen or ring a bell on the terminal of whoever reads it.
std::string printableText(const std::string& text);
bool stdoutIsTerminal();
