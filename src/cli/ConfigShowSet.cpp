#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "cli/ConfigSettingsFields.h"
#include "config/ConfigValidation.h"

void addShowCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* show = config.add_subcommand(
      "show", "Print settings, stations, rules and filters (creates and writes nothing)");
  auto json = std::make_shared<bool>(false);
  show->add_flag("--json", *json, "One JSON object with the fields named as in the code");
  show->callback([options, json, &exitStatus] {
    exitStatus = guarded([&] {
      Configuration loaded;
      int status = loadConfigForReading(*options, loaded);
      if (*json) {
        printJson(std::cout, {{"settings", settingsToJson(loaded.settings)},
                              {"stations", stationsToJson(loaded.stations)},
                              {"rules", rulesToJson(loaded.rules)},
                              {"filters", filtersToJson(loaded.filters)}});
        return status;
      }
      std::cout << "Settings\n";
      std::vector<std::vector<std::string>> rows;
      for (const SettingsField& field : settingsFields())
        rows.push_back({field.name, field.text ? loaded.settings.*field.text
                                               : std::to_string(loaded.settings.*field.number)});
      printTable(std::cout, {"Field", "Value"}, rows);
      std::cout << "\nStations\n";
      printStations(std::cout, loaded.stations);
      KalvoraSettings own;
      if (auto message = loadKalvoraSettings(workingFolder(options->workDir), own)) {
        std::cerr << *message << "\n";
        status = 1;
      }
      printTlsSettings(std::cout, own);
      std::cout << "\nRules\n";
      printRules(std::cout, loaded.rules);
      std::cout << "\nFilters\n";
      printFilters(std::cout, loaded.filters);
      return status;
    });
  });
}

void addSetCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* set = config.add_subcommand(
      "set", "Set one settings field by its name (flags take 0 or 1; see `config show`)");
  auto fieldName = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  std::vector<std::string> names;
  for (const SettingsField& field : settingsFields()) names.push_back(field.name);
  set->add_option("FIELD", *fieldName, "Field name, as in `config show`")
      ->required()
      ->check(CLI::IsMember(names));
  set->add_option("VALUE", *value, "New value")->required();
  set->callback([options, fieldName, value, &exitStatus] {
    exitStatus = guarded([&] {
      const SettingsField* field = findSettingsField(*fieldName);
      std::optional<std::string> warning;
      const int status = runConfigChange(*options, [&](Configuration& loaded) {
        const AppSettings before = loaded.settings;
        auto rejection = setSettingsField(*field, *value, loaded);
        // Said when this change leaves anonymization on with nothing to do.
        if (!rejection && (anonymizationWarning(before) != anonymizationWarning(loaded.settings) ||
                           std::string(field->name) == "anonymize"))
          warning = anonymizationWarning(loaded.settings);
        return rejection;
      });
      if (status == 0 && warning) std::cerr << "Warning: " << *warning << "\n";
      return status;
    });
  });
}
