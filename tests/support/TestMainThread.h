#pragma once

#include "jobs/QueuedMainThread.h"

// The test's own thread plays the main thread: posted tasks run inside runUntil.
using TestMainThread = QueuedMainThread;
