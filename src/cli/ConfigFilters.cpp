#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/ConfigCli.h"
#include "config/ConfigFiles.h"
#include "config/ConfigValidation.h"

namespace {

struct FilterArgs {
  int index = 0;
  std::string extension, description;
  CLI::Option* extensionOption = nullptr;
  CLI::Option* descriptionOption = nullptr;
};

std::optional<std::string> addFilter(const FilterArgs& args, Configuration& config) {
  const CFilter filter{args.extension, args.description};
  if (auto message = validateFilterAdd(config.filters, filter)) return message;
  config.filters.Add(filter);
  return std::nullopt;
}

std::optional<std::string> editFilter(const FilterArgs& args, Configuration& config) {
  if (!config.filters.isValidIndex(args.index))
    return indexRangeMessage("filter", args.index, config.filters.GetSize());
  CFilter filter = config.filters[args.index];
  if (args.extensionOption->count()) filter.extension = args.extension;
  if (args.descriptionOption->count()) filter.description = args.description;
  if (auto message = validateFilterEdit(filter)) return message;
  config.filters.SetAt(args.index, filter);
  return std::nullopt;
}

}  // namespace

void addFilterCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* filters =
      config.add_subcommand("filters", "List or change the skipped file extensions");
  filters->require_subcommand(1);
  auto args = std::make_shared<FilterArgs>();

  CLI::App* list = filters->add_subcommand("list", "Print the filters with their indexes");
  auto json = std::make_shared<bool>(false);
  list->add_flag("--json", *json, "A JSON array in index order");
  list->callback([options, json, &exitStatus] {
    exitStatus = guarded([&] {
      Configuration loaded;
      const int status = loadOneForReading(*options, kFiltersFileName, loaded);
      if (*json)
        printJson(std::cout, filtersToJson(loaded.filters));
      else
        printFilters(std::cout, loaded.filters);
      return status;
    });
  });

  CLI::App* add = filters->add_subcommand("add", "Append a filter");
  add->add_option("EXTENSION", args->extension, "Extension with its leading dot, e.g. .exe")
      ->required();
  add->add_option("DESCRIPTION", args->description, "Free text (may be left out)");
  add->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) { return addFilter(*args, c); });
    });
  });

  CLI::App* edit = filters->add_subcommand(
      "edit", "Change the filter at INDEX; fields not given keep their values");
  edit->add_option("INDEX", args->index, "Index as shown by `filters list`")->required();
  args->extensionOption = edit->add_option("--extension", args->extension, "New extension");
  args->descriptionOption = edit->add_option("--description", args->description, "New description");
  edit->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) { return editFilter(*args, c); });
    });
  });

  CLI::App* remove =
      filters->add_subcommand("remove", "Remove the filter at INDEX; later filters move down");
  remove->add_option("INDEX", args->index, "Index as shown by `filters list`")->required();
  remove->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) -> std::optional<std::string> {
        if (!c.filters.isValidIndex(args->index))
          return indexRangeMessage("filter", args->index, c.filters.GetSize());
        c.filters.RemoveAt(args->index);
        return std::nullopt;
      });
    });
  });

  CLI::App* reset = filters->add_subcommand(
      "reset", "Replace every filter, user-added ones too, by the 14 default filters");
  reset->callback([options, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [](Configuration& c) -> std::optional<std::string> {
        c.filters.resetToDefaults();
        return std::nullopt;
      });
    });
  });
}
