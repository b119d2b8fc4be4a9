#include <dcmtk/oflog/oflog.h>
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/Commands.h"
#include "config/ProductVersion.h"
#include "platform/UserFolders.h"

namespace {

std::string whereThingsLive() {
  return "\nConfiguration: config.dat, filters.dat, rules.dat and stations.dat in the working\n"
         "folder $XDG_CONFIG_HOME/kalvora (by default ~/.config/kalvora, made private on first\n"
         "use), which the desktop application kalvora uses too; --workdir DIR reads another.\n"
         "Help texts of the desktop application: help/ in the working folder, then\n" +
         installedDataFolder() + "/help.";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Kalvora: imports patient media into DICOM stations"};
  app.set_version_flag("--version", productVersionText(),
                       "Print the version of Kalvora and of DCMTK, then exit");
  app.footer(whereThingsLive());
  app.require_subcommand(1);
  // Media hold all sorts of files; the job log says what became of each, so DCMTK's
  // own parser warnings would only be noise.
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
  int exitStatus = 0;
  addConfigCommands(app, exitStatus);
  addJobCommands(app, exitStatus);
  addKeptJobCommands(app, exitStatus);
  addFindPatientCommand(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : 2;
  }
  return exitStatus;
}
