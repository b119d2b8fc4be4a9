#include <dcmtk/oflog/oflog.h>
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Kalvora: imports patient media into DICOM stations"};
  app.require_subcommand(1);
  // Media hold all sorts of files; the job log says what became of each, so DCMTK's
  // own parser warnings would only be noise.
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
  int exitStatus = 0;
  addConfigCommands(app, exitStatus);
  addJobCommands(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : 2;
  }
  return exitStatus;
}
