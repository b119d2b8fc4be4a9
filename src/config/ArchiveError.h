#pragma once

#include <stdexcept>

// A configuration file that does not hold what its layout needs.
class ArchiveError : public std::runtime_error {
 public:
  enum class Cause {
    EndOfFile,  // fewer bytes left than a field, prefix or text needs
    Generic,    // a value no writer produces (an 8-byte string length above 2^31 - 1)
  };

  explicit ArchiveError(Cause cause)
      : std::runtime_error(cause == Cause::EndOfFile ? "unexpected end of archive"
                                                     : "invalid archive"),
        cause_(cause) {}

  Cause cause() const { return cause_; }

 private:
  Cause cause_;
};
