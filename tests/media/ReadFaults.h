#pragma once

#include <cstddef>
#include <functional>

// Faults in the stdio reads of this test program, which DCMTK reads files with: the first
// read of at least `minBytes` after arming is cut in half (as a scratched disc may cut one),
// or throws std::bad_alloc. Disarmed once it has struck.
// Fail: every pread and copy_file_range of at least `minBytes` (the copy of a file as it is)
// fails with EIO, as a scratched sector does, until disarmed with None.
enum class ReadFault { None, CutInHalf, Throw, Fail };
void armReadFault(ReadFault fault, std::size_t minBytes);

// Calls `hook` once, at the first stdio read of at least `minBytes` after arming, before that
// read goes on; an empty hook disarms.
void armReadHook(std::function<void()> hook, std::size_t minBytes);
