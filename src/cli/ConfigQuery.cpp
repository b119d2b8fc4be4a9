#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "cli/PatientMatchText.h"
#include "config/ConfigFiles.h"
#include "config/ConfigurationLock.h"
#include "config/KalvoraSettings.h"
#include "net/PatientQuery.h"
#include "net/StationEcho.h"

namespace {

const char kQueryStationElsewhere[] = ", or change the query station in its Options dialog";

struct QueryArgs {
  std::string aeTitle, host, model = "worklist";
  int port = 0;
  bool json = false;
};

int showQueryStation(const ConfigCliOptions& options, bool json) {
  std::string error;
  const std::optional<QueryStation> station =
      loadQueryStation(workingFolder(options.workDir), error);
  if (!error.empty()) {
    std::cerr << error << "\n";
    return 1;
  }
  if (json) {
    nlohmann::ordered_json value = nullptr;
    if (station)
      value = {{"aeTitle", station->aeTitle},
               {"host", station->host},
               {"port", station->port},
               {"model", queryModelName(station->model)}};
    printJson(std::cout, value);
  } else if (station) {
    std::cout << describeQueryStation(*station) << "\n";
  } else {
    std::cout << "No query station is set up.\n";
  }
  return 0;
}

int testQueryStation(const ConfigCliOptions& options) {
  Configuration config;
  if (loadOneForReading(options, kSettingsFileName, config) != 0) return 1;
  std::string error;
  const std::optional<QueryStation> station =
      loadQueryStation(workingFolder(options.workDir), error);
  if (!error.empty() || !station) {
    std::cerr << (error.empty() ? "No query station is set up." : error) << "\n";
    return error.empty() ? 2 : 1;
  }
  const EchoResult result =
      echoStation(config.settings.callingAeTitle, station->aeTitle, station->host, station->port,
                  config.settings.timeoutMs, config.settings.maxPduSize, station->tls);
  (result.ok ? std::cout : std::cerr) << result.message << "\n";
  return result.ok ? 0 : 1;
}

}  // namespace

void addQueryCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* query = config.add_subcommand(
      "query", "The query station asked for the local patient in the new patient data step");
  query->require_subcommand(1);
  auto args = std::make_shared<QueryArgs>();

  CLI::App* show = query->add_subcommand("show", "Print the query station");
  show->add_flag("--json", args->json, "A JSON object, or null when none is set up");
  show->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] { return showQueryStation(*options, args->json); });
  });

  CLI::App* set = query->add_subcommand("set", "Set up the query station");
  set->add_option("AE_TITLE", args->aeTitle, "Called AE title of the station")->required();
  set->add_option("HOST", args->host, "Host name or IP address")->required();
  set->add_option("PORT", args->port, "TCP port, 1 to 65000")->required();
  set->add_option("--model", args->model,
                  "worklist: Modality Worklist; patient: Patient Root query at PATIENT level")
      ->check(CLI::IsMember({"worklist", "patient"}))
      ->capture_default_str();
  set->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      QueryStation station{args->aeTitle,
                           args->host,
                           args->port,
                           parseQueryModel(args->model).value_or(QueryModel::Worklist),
                           {}};
      if (auto message = validateQueryStation(station)) {
        std::cerr << *message << "\n";
        return 2;
      }
      return changeKalvoraSettings(*options, kQueryStationElsewhere,
                                   [&](KalvoraSettings& settings) -> std::optional<std::string> {
                                     // A new address keeps how the station is secured.
                                     if (settings.queryStation)
                                       station.tls = settings.queryStation->tls;
                                     settings.queryStation = station;
                                     return std::nullopt;
                                   });
    });
  });

  CLI::App* clear = query->add_subcommand("clear", "Remove the query station");
  clear->callback([options, &exitStatus] {
    exitStatus = guarded([&] {
      return changeKalvoraSettings(*options, kQueryStationElsewhere,
                                   [](KalvoraSettings& settings) -> std::optional<std::string> {
                                     settings.queryStation.reset();
                                     return std::nullopt;
                                   });
    });
  });

  CLI::App* test = query->add_subcommand("test", "Verify the query station with a C-ECHO");
  test->callback(
      [options, &exitStatus] { exitStatus = guarded([&] { return testQueryStation(*options); }); });
}
