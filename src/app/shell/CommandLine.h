#pragma once

#include <QString>

#include <optional>

// The desktop application's command line, read before QApplication exists, so that help,
// version and mistakes are answered without a display. Qt's own options (-platform,
// -session ...) are let through for QApplication.
struct CommandLine {
  // Set: the program ends now with this status (help or version printed, or refused with a
  // message on stderr).
  std::optional<int> exitStatus;
  // The existing folder given with --workdir, made absolute; empty when none was given.
  QString workdir;
};

CommandLine readCommandLine(int argc, char** argv);
