#include <gtest/gtest.h>

#include <functional>

#include "config/ConfigValidation.h"

namespace {

const char kStationExists[] = "Error: Station already exists (a station is called 'PACS').";
std::string stationError(const std::string& problem) {
  return "Error: Station parameters contain errors (" + problem + ").";
}
const char kStationEdit[] = "Error: One or more parameter are empty.";
const char kRule[] = "Rule already exists or rule parameter contains errors.";
const char kFilterAdd[] = "Extension already exists or parameter is empty.";
const char kFilterEdit[] = "Error: \"Extension\" can not be empty.";
const char kPortRange[] = "Please enter an integer between 1 and 65000.";
const char kTagRange[] = "Please enter an integer between 0 and 16384.";

}  // namespace

TEST(Validation, IntegerFieldsParseLikeTheDialogs) {
  struct Case {
    const char* text;
    std::optional<std::string> message;
    int value;
  };
  const Case cases[] = {
      {"104", std::nullopt, 104},
      {" 65000 ", std::nullopt, 65000},
      {"+1", std::nullopt, 1},
      {"", "Please enter an integer.", 0},
      {"abc", "Please enter an integer.", 0},
      {"12a", "Please enter an integer.", 0},
      {"1.5", "Please enter an integer.", 0},
      {"-", "Please enter an integer.", 0},
      {"0", kPortRange, 0},
      {"65001", kPortRange, 0},
      {"-7", kPortRange, 0},
      {"99999999999999999999999", kPortRange, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    int value = 0;
    EXPECT_EQ(parseIntegerField(c.text, 1, 65000, value), c.message);
    EXPECT_EQ(value, c.value);
  }
}

TEST(Validation, RejectionsCarryTheirMessages) {
  CStationArray stations;
  stations.Add({"PACS", "AE", "host", 104});
  CRuleArray rules;
  rules.Add({8, 96, "CT", "PACS"});
  CFilterArray filters;
  filters.Add({".exe", "applications"});

  struct Case {
    const char* what;
    std::function<std::optional<std::string>()> check;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {"station add ok",
       [&] {
         return validateStationAdd(stations, {"pacs", "AE", "h", 65000});
       },
       std::nullopt},
      {"station add duplicate",
       [&] {
         return validateStationAdd(stations, {"PACS", "AE", "h", 1});
       },
       kStationExists},
      {"station add empty alias",
       [&] {
         return validateStationAdd(stations, {"", "AE", "h", 1});
       },
       stationError("the alias is empty")},
      {"station add empty AE",
       [&] {
         return validateStationAdd(stations, {"X", "", "h", 1});
       },
       stationError("the AE title is empty")},
      // An AE title the association could not carry as it is typed.
      {"station add AE of 17 characters",
       [&] {
         return validateStationAdd(stations, {"X", "ABCDEFGHIJKLMNOPQ", "h", 1});
       },
       stationError("the AE title is longer than 16 characters")},
      {"station add AE of 16 characters ok",
       [&] {
         return validateStationAdd(stations, {"X", "ABCDEFGHIJKLMNOP", "h", 1});
       },
       std::nullopt},
      {"station add AE with a backslash",
       [&] {
         return validateStationAdd(stations, {"X", "A\\B", "h", 1});
       },
       stationError("the AE title holds a backslash")},
      {"station edit AE with a control character",
       [&] {
         return validateStationEdit({"X", "A\tB", "h", 1});
       },
       stationError("the AE title holds a control character")},
      {"station add empty host",
       [&] {
         return validateStationAdd(stations, {"X", "AE", "", 1});
       },
       stationError("the address is empty")},
      {"station add port 0 (untouched field)",
       [&] {
         return validateStationAdd(stations, {"X", "AE", "h", 0});
       },
       kPortRange},
      {"station edit duplicate alias ok",
       [&] {
         return validateStationEdit({"PACS", "AE", "h", 1});
       },
       std::nullopt},
      {"station edit empty host",
       [&] {
         return validateStationEdit({"X", "AE", "", 1});
       },
       kStationEdit},
      {"station edit port",
       [&] {
         return validateStationEdit({"X", "AE", "h", 65001});
       },
       kPortRange},
      {"rule add group 0 ok",
       [&] {
         return validateRuleAdd(rules, {0, 96, "CT", "PACS"});
       },
       std::nullopt},
      {"rule add same tag",
       [&] {
         return validateRuleAdd(rules, {8, 96, "MR", "OTHER"});
       },
       kRule},
      {"rule add empty compare",
       [&] {
         return validateRuleAdd(rules, {8, 97, "", "PACS"});
       },
       kRule},
      {"rule add no destination",
       [&] {
         return validateRuleAdd(rules, {8, 97, "CT", ""});
       },
       kRule},
      {"rule add element range",
       [&] {
         return validateRuleAdd(rules, {8, 16385, "CT", "PACS"});
       },
       kTagRange},
      {"rule edit same tag ok",
       [&] {
         return validateRuleEdit({8, 96, "CT", "PACS"});
       },
       std::nullopt},
      {"rule edit group 0",
       [&] {
         return validateRuleEdit({0, 96, "CT", "PACS"});
       },
       kRule},
      {"rule edit element 0",
       [&] {
         return validateRuleEdit({8, 0, "CT", "PACS"});
       },
       kRule},
      {"rule edit no destination",
       [&] {
         return validateRuleEdit({8, 96, "CT", ""});
       },
       kRule},
      {"filter add other case ok",
       [&] {
         return validateFilterAdd(filters, {".EXE", ""});
       },
       std::nullopt},
      {"filter add duplicate",
       [&] {
         return validateFilterAdd(filters, {".exe", "x"});
       },
       kFilterAdd},
      {"filter add empty",
       [&] {
         return validateFilterAdd(filters, {"", "x"});
       },
       kFilterAdd},
      {"filter edit duplicate ok",
       [&] {
         return validateFilterEdit({".exe", ""});
       },
       std::nullopt},
      {"filter edit empty",
       [&] {
         return validateFilterEdit({"", "x"});
       },
       kFilterEdit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.check(), c.message);
  }
}

TEST(Validation, AnonymizationWithoutAFieldIsNamed) {
  AppSettings settings;
  EXPECT_EQ(anonymizationWarning(settings), std::nullopt);  // off
  settings.anonymize = 1;
  EXPECT_EQ(anonymizationWarning(settings),
            "Anonymization is on, but no field is chosen to anonymize: nothing is replaced.");
  settings.datesToCurrentDate = 1;
  EXPECT_EQ(anonymizationWarning(settings), std::nullopt);
}
