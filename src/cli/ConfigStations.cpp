#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "config/ConfigFiles.h"
#include "config/ConfigValidation.h"
#include "config/KalvoraSettings.h"

namespace {

struct StationArgs {
  int index = 0;
  std::string alias, aeTitle, host, port;
  CLI::Option* aliasOption = nullptr;
  CLI::Option* aeTitleOption = nullptr;
  CLI::Option* hostOption = nullptr;
  CLI::Option* portOption = nullptr;
};

std::optional<std::string> addStation(const StationArgs& args, Configuration& config) {
  CStation station{args.alias, args.aeTitle, args.host, 0};
  if (auto message = parseIntegerField(args.port, kStationPortMin, kStationPortMax, station.port))
    return message;
  if (auto message = validateStationAdd(config.stations, station)) return message;
  config.stations.Add(station);
  return std::nullopt;
}

std::optional<std::string> editStation(const StationArgs& args, Configuration& config) {
  if (!config.stations.isValidIndex(args.index))
    return indexRangeMessage("station", args.index, config.stations.GetSize());
  CStation station = config.stations[args.index];
  if (args.portOption->count()) {
    if (auto message = parseIntegerField(args.port, kStationPortMin, kStationPortMax, station.port))
      return message;
  }
  if (args.aliasOption->count()) station.alias = args.alias;
  if (args.aeTitleOption->count()) station.aeTitle = args.aeTitle;
  if (args.hostOption->count()) station.host = args.host;
  if (auto message = validateStationEdit(station)) return message;
  config.stations.SetAt(args.index, station);
  return std::nullopt;
}

}  // namespace

void addStationCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* stations = config.add_subcommand("stations", "List or change the DICOM stations");
  stations->require_subcommand(1);
  auto args = std::make_shared<StationArgs>();

  CLI::App* list = stations->add_subcommand("list", "Print the stations with their indexes");
  auto json = std::make_shared<bool>(false);
  list->add_flag("--json", *json, "A JSON array in index order");
  list->callback([options, json, &exitStatus] {
    exitStatus = guarded([&] {
      Configuration loaded;
      const int status = loadOneForReading(*options, kStationsFileName, loaded);
      if (*json)
        printJson(std::cout, stationsToJson(loaded.stations));
      else
        printStations(std::cout, loaded.stations);
      return status;
    });
  });

  CLI::App* add = stations->add_subcommand("add", "Append a station");
  add->add_option("ALIAS", args->alias, "Unique name of the station")->required();
  add->add_option("AE_TITLE", args->aeTitle, "Called AE title")->required();
  add->add_option("HOST", args->host, "Host name or IP address")->required();
  add->add_option("PORT", args->port, "TCP port, 1 to 65000")->required();
  add->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) { return addStation(*args, c); });
    });
  });

  CLI::App* edit = stations->add_subcommand(
      "edit", "Change the station at INDEX; fields not given keep their values");
  edit->add_option("INDEX", args->index, "Index as shown by `stations list`")->required();
  args->aliasOption = edit->add_option("--alias", args->alias, "New alias");
  args->aeTitleOption = edit->add_option("--ae-title", args->aeTitle, "New AE title");
  args->hostOption = edit->add_option("--host", args->host, "New host");
  args->portOption = edit->add_option("--port", args->port, "New port, 1 to 65000");
  edit->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      std::string previousAlias;
      const int status = runConfigChange(*options, [&](Configuration& c) {
        if (c.stations.isValidIndex(args->index)) previousAlias = c.stations[args->index].alias;
        return editStation(*args, c);
      });
      // A renamed station keeps its TLS and associations, which are keyed by its alias.
      if (status != 0 || !args->aliasOption->count() || previousAlias == args->alias) return status;
      KalvoraSettings stored;
      if (loadKalvoraSettings(workingFolder(options->workDir), stored) ||
          !copyStationOptions(stored, previousAlias, args->alias))
        return status;
      return changeKalvoraSettings(*options, "", [&](KalvoraSettings& settings) {
        copyStationOptions(settings, previousAlias, args->alias);
        return std::optional<std::string>();
      });
    });
  });

  addAssociationsCommand(*stations, options, exitStatus);

  CLI::App* remove =
      stations->add_subcommand("remove",
                               "Remove the station at INDEX; later stations move down, and "
                               "standardDestination stays on its station (none when it is the "
                               "one removed); rules are left as they are");
  remove->add_option("INDEX", args->index, "Index as shown by `stations list`")->required();
  remove->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) -> std::optional<std::string> {
        if (!c.stations.isValidIndex(args->index))
          return indexRangeMessage("station", args->index, c.stations.GetSize());
        if (const auto told = c.stations.removeStation(args->index, c.settings.standardDestination))
          std::cout << *told << "\n";
        return std::nullopt;
      });
    });
  });
}
