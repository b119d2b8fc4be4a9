#pragma once

#include <cstddef>

// Faults in the stdio reads of this test program, which DCMTK reads files with: the first
// read of at least `minBytes` after arming is cut in half (as a scratched disc may cut one),
// or throws std::bad_alloc. Disarmed once it has struck.
enum class ReadFault { None, CutInHalf, Throw };
void armReadFault(ReadFault fault, std::size_t minBytes);
