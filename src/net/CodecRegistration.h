#pragma once

// DCMTK's codec list is one process-wide state. Send jobs register the decompression and
// compression codecs while they run; the registration is counted so that the codecs stay
// until the last running job that registered them has ended.
class CodecRegistration {
 public:
  // Registers the codecs when no running job holds them yet.
  static void acquire();
  // Withdraws the codecs when the last holder lets go.
  static void release();
  static int holders();
};

// Holds the codecs for one scope (tests, tools, a fuzz harness).
class CodecScope {
 public:
  CodecScope() { CodecRegistration::acquire(); }
  ~CodecScope() { CodecRegistration::release(); }
  CodecScope(const CodecScope&) = delete;
  CodecScope& operator=(const CodecScope&) = delete;
};
