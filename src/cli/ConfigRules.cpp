#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/ConfigCli.h"
#include "config/ConfigFiles.h"
#include "config/ConfigValidation.h"
#include "dicom/TagNames.h"

namespace {

struct RuleArgs {
  int index = 0;
  std::vector<std::string> addFields;  // TAG VALUE DESTINATION, or GROUP ELEMENT VALUE DESTINATION
  std::string group, element, compareValue, destination;
  CLI::Option* groupOption = nullptr;
  CLI::Option* elementOption = nullptr;
  CLI::Option* compareValueOption = nullptr;
  CLI::Option* destinationOption = nullptr;
};

// A destination counts as chosen only when it names a station, as in the dialogs'
// drop-down of station aliases.
std::string chosenDestination(const CStationArray& stations, const std::string& alias) {
  std::string aeTitle, host;
  int port = 0;
  return stations.findStationByAlias(alias, aeTitle, host, port) ? alias : std::string();
}

std::optional<std::string> parseTag(const std::string& text, int32_t& value) {
  int parsed = 0;
  if (auto message = parseIntegerField(text, kRuleTagMin, kRuleTagMax, parsed)) return message;
  value = parsed;
  return std::nullopt;
}

std::optional<std::string> addRule(const RuleArgs& args, Configuration& config) {
  CRule rule;
  const std::vector<std::string>& fields = args.addFields;
  if (fields.size() == 3) {
    const std::optional<DcmTagKey> tag = parseTagText(fields[0]);
    if (!tag)
      return "'" + fields[0] +
             "' is no tag: give it as 0008,0060, (0008,0060) or a keyword such as Modality, or "
             "as two decimal numbers.";
    rule.group = tag->getGroup();
    rule.element = tag->getElement();
    // Within the bounds the dialogs keep.
    if (auto message = parseTag(std::to_string(rule.group), rule.group)) return message;
    if (auto message = parseTag(std::to_string(rule.element), rule.element)) return message;
  } else {
    if (auto message = parseTag(fields[0], rule.group)) return message;
    if (auto message = parseTag(fields[1], rule.element)) return message;
  }
  rule.compareValue = fields[fields.size() - 2];
  rule.destination = chosenDestination(config.stations, fields.back());
  if (auto message = validateRuleAdd(config.rules, rule)) return message;
  config.rules.Add(rule);
  return std::nullopt;
}

std::optional<std::string> editRule(const RuleArgs& args, Configuration& config) {
  if (!config.rules.isValidIndex(args.index))
    return indexRangeMessage("rule", args.index, config.rules.GetSize());
  CRule rule = config.rules[args.index];
  if (args.groupOption->count()) {
    if (auto message = parseTag(args.group, rule.group)) return message;
  }
  if (args.elementOption->count()) {
    if (auto message = parseTag(args.element, rule.element)) return message;
  }
  if (args.compareValueOption->count()) rule.compareValue = args.compareValue;
  rule.destination = chosenDestination(
      config.stations, args.destinationOption->count() ? args.destination : rule.destination);
  if (auto message = validateRuleEdit(rule)) return message;
  config.rules.SetAt(args.index, rule);
  return std::nullopt;
}

}  // namespace

void addRuleCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus) {
  CLI::App* rules = config.add_subcommand("rules", "List or change the forward rules");
  rules->require_subcommand(1);
  auto args = std::make_shared<RuleArgs>();

  CLI::App* list = rules->add_subcommand("list", "Print the rules in their order");
  auto json = std::make_shared<bool>(false);
  list->add_flag("--json", *json, "A JSON array in index order");
  list->callback([options, json, &exitStatus] {
    exitStatus = guarded([&] {
      Configuration loaded;
      const int status = loadOneForReading(*options, kRulesFileName, loaded);
      if (*json)
        printJson(std::cout, rulesToJson(loaded.rules));
      else
        printRules(std::cout, loaded.rules);
      return status;
    });
  });

  CLI::App* add = rules->add_subcommand("add", "Append a rule");
  add->add_option("FIELDS", args->addFields,
                  "TAG COMPARE_VALUE DESTINATION, the tag as 0008,0060, (0008,0060) or a "
                  "keyword (Modality); or GROUP ELEMENT COMPARE_VALUE DESTINATION, both in "
                  "decimal, 0 to 16384; DESTINATION is the alias of an existing station")
      ->required()
      ->expected(3, 4);
  add->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) { return addRule(*args, c); });
    });
  });

  CLI::App* edit =
      rules->add_subcommand("edit", "Change the rule at INDEX; fields not given keep their values");
  edit->add_option("INDEX", args->index, "Index as shown by `rules list`")->required();
  args->groupOption = edit->add_option("--group", args->group, "New tag group, 0 to 16384");
  args->elementOption = edit->add_option("--element", args->element, "New tag element, 0 to 16384");
  args->compareValueOption =
      edit->add_option("--compare-value", args->compareValue, "New compare value");
  args->destinationOption =
      edit->add_option("--destination", args->destination, "Alias of an existing station");
  edit->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) { return editRule(*args, c); });
    });
  });

  CLI::App* remove =
      rules->add_subcommand("remove", "Remove the rule at INDEX; later rules move down");
  remove->add_option("INDEX", args->index, "Index as shown by `rules list`")->required();
  remove->callback([options, args, &exitStatus] {
    exitStatus = guarded([&] {
      return runConfigChange(*options, [&](Configuration& c) -> std::optional<std::string> {
        if (!c.rules.isValidIndex(args->index))
          return indexRangeMessage("rule", args->index, c.rules.GetSize());
        c.rules.RemoveAt(args->index);
        return std::nullopt;
      });
    });
  });
}
