#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/JobOptions.h"
#include "cli/PatientMatchText.h"
#include "jobs/KalvoraEngine.h"
#include "jobs/QueuedMainThread.h"

namespace {

struct FindPatientOptions {
  std::string workdir;
  PatientQueryKeys keys;
  std::string aeTitle, host, model = "worklist";
  int port = 0;
  bool json = false;
};

// 0 with matches, 1 with none, 2 when the query failed or could not be made.
int findPatient(const FindPatientOptions& o) {
  QueuedMainThread mainThread;
  CliPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  if (!loadCliConfiguration(o.workdir, engine)) return 2;
  QueryStation station;
  if (!o.aeTitle.empty()) {
    station = {
        o.aeTitle, o.host, o.port, parseQueryModel(o.model).value_or(QueryModel::Worklist), {}};
    if (auto message = validateQueryStation(station)) {
      std::cerr << *message << "\n";
      return 2;
    }
  } else {
    std::string error;
    const std::optional<QueryStation> configured =
        loadQueryStation(workingFolder(o.workdir), error);
    if (!error.empty()) {
      std::cerr << error << "\n";
      return 2;
    }
    if (!configured) {
      std::cerr << "No query station is set up: kalvora-cli config query set AE HOST PORT, or "
                   "give --ae AE --host HOST --port PORT.\n";
      return 2;
    }
    station = *configured;
  }
  const PatientQueryResult result = PatientQuery(queryParams(engine.settings, station)).run(o.keys);
  if (!result.ok) {
    std::cerr << result.message << "\n";
    return 2;
  }
  for (const PatientMatch& match : result.matches) {
    if (o.json)
      std::cout << matchToJson(match, station.model).dump() << "\n";
    else
      std::cout << matchLine(match) << "\n";
  }
  if (result.truncated)
    std::cerr << "The station has more than " << PatientQuery::kMaxMatches
              << " matches; only those are shown. Narrow the query.\n";
  if (result.matches.empty()) std::cerr << "No patient matches.\n";
  return result.matches.empty() ? 1 : 0;
}

}  // namespace

void addFindPatientCommand(CLI::App& app, int& exitStatus) {
  static FindPatientOptions o;
  CLI::App* find = app.add_subcommand(
      "find-patient",
      "Ask the query station (worklist or PACS) for a patient; exit 0 with matches, 1 with "
      "none, 2 when the query failed");
  find->add_option("--workdir", o.workdir,
                   "Folder with the configuration files (default: ~/.config/kalvora)")
      ->check(CLI::ExistingDirectory);
  find->add_option("--name", o.keys.familyName, "Family name, matched as a prefix");
  find->add_option("--birth-date", o.keys.birthDate, "Birth date, YYYYMMDD")
      ->check([](const std::string& date) -> std::string {
        if (date.size() == 8 && date.find_first_not_of("0123456789") == std::string::npos)
          return {};
        return "a birth date is YYYYMMDD";
      });
  find->add_option("--sex", o.keys.sex, "Sex")->check(CLI::IsMember({"M", "F", "O"}));
  find->add_flag("--json", o.json, "One JSON object per match, one per line");
  auto* ae = find->add_option("--ae", o.aeTitle, "AE title of a query station given by hand");
  auto* host = find->add_option("--host", o.host, "Address of a query station given by hand");
  auto* port = find->add_option("--port", o.port, "Port of a query station given by hand")
                   ->check(CLI::Range(1, 65000));
  find->add_option("--model", o.model,
                   "Kind of query of a station given by hand: worklist or patient")
      ->check(CLI::IsMember({"worklist", "patient"}))
      ->needs(ae);
  ae->needs(host, port);
  host->needs(ae, port);
  port->needs(ae, host);
  find->callback([&exitStatus] {
    try {
      exitStatus = findPatient(o);
    } catch (const std::exception& error) {
      std::cerr << "Error: " << error.what() << "\n";
      exitStatus = 2;
    }
  });
}
