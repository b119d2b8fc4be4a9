#pragma once

#include <atomic>
#include <string>

// DCMTK reads nested sequences recursively without a limit, so a small file with thousands
// of nested sequences exhausts the stack of whichever thread loads it. The guard walks the
// element structure without recursion before DCMTK sees the file, following the same reading
// rules (meta header, transfer syntax guess, implicit/explicit VR, both byte orders, defined
// and undefined lengths, encapsulated pixel data, UN read as implicit VR, deflate).
enum class NestingVerdict {
  Acceptable,  // walked to its end, no deeper than allowed
  TooDeep,     // sequences nested beyond the limit: must not be loaded
  // Deflated data ending inside a value. DCMTK would fail the load as well, but only after
  // allocating the value's declared length (up to 4 GiB): must not be loaded either.
  ValueBeyondEnd,
  NotJudged,  // unreadable or damaged structure: up to DCMTK to accept or reject
};

// Far above the deepest structures in real files (structured report trees and nested
// references stay within a few dozen levels) and far below the depth at which DCMTK runs
// out of an 8 MiB thread stack (several thousand levels).
constexpr int kMaxSequenceNesting = 128;

// Whether DCMTK may be given the file.
inline bool safeToLoad(NestingVerdict verdict) {
  return verdict == NestingVerdict::Acceptable || verdict == NestingVerdict::NotJudged;
}

// With `stop`, reading gives up (NotJudged) once it is set.
NestingVerdict checkNestingDepth(const std::string& path, int maxDepth = kMaxSequenceNesting,
                                 const std::atomic<bool>* stop = nullptr);
