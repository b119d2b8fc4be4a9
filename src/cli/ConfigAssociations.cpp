#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "config/ConfigFiles.h"
#include "config/ConfigValidation.h"
#include "config/KalvoraSettings.h"

namespace {

struct AssociationsArgs {
  std::string alias;
  std::string count;
  CLI::Option* countOption = nullptr;
};

int printAssociations(const ConfigCliOptions& options, const std::string& alias) {
  KalvoraSettings settings;
  if (auto message = loadKalvoraSettings(workingFolder(options.workDir), settings)) {
    std::cerr << *message << "\n";
    return 1;
  }
  std::cout << stationAssociations(settings, alias) << "\n";
  return 0;
}

}  // namespace

std::optional<std::string> knownStation(const ConfigCliOptions& options, const std::string& alias) {
  Configuration config;
  if (loadOneForReading(options, kStationsFileName, config) != 0)
    return std::string("The stations could not be read");
  std::string aeTitle, host;
  int port = 0;
  if (!config.stations.findStationByAlias(alias, aeTitle, host, port))
    return "No station has the alias '" + alias + "' (see `config stations list`).";
  return std::nullopt;
}

void addAssociationsCommand(CLI::App& stations, const ConfigCliOptionsPtr& options,
                            int& exitStatus) {
  auto args = std::make_shared<AssociationsArgs>();
  CLI::App* command = stations.add_subcommand(
      "associations",
      "Print, or set, how many associations a send to the station ALIAS opens at once (1 to 8, "
      "default 1); more only for a station that serves them side by side");
  command->add_option("ALIAS", args->alias, "Alias as shown by `stations list`")->required();
  args->countOption = command->add_option("COUNT", args->count, "Associations at once, 1 to 8");
  command->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      if (!args->countOption->count()) return printAssociations(*options, args->alias);
      // Refused as the other changes are: the message alone, exit status 2.
      int associations = 0;
      auto message = parseIntegerField(args->count, kStationAssociationsMin,
                                       kStationAssociationsMax, associations);
      if (!message) message = knownStation(*options, args->alias);
      if (message) {
        std::cerr << *message << "\n";
        return 2;
      }
      return changeKalvoraSettings(*options, "",
                                   [&](KalvoraSettings& settings) -> std::optional<std::string> {
                                     settings.stations[args->alias].associations = associations;
                                     return std::nullopt;
                                   });
    });
  });
}
