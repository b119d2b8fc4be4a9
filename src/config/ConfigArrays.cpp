#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"

bool CStationArray::findStationByAlias(const std::string& alias, std::string& aeTitle,
                                       std::string& host, int& port) const {
  for (const CStation& station : *this) {
    if (station.alias == alias) {
      aeTitle = station.aeTitle;
      host = station.host;
      port = station.port;
      return true;
    }
  }
  return false;
}

std::optional<std::string> CStationArray::removeStation(int index, int& standardDestination) {
  const std::string alias = (*this)[index].alias;
  RemoveAt(index);
  if (index > standardDestination || standardDestination < 0) return std::nullopt;
  if (index < standardDestination) {
    --standardDestination;
    return std::nullopt;
  }
  standardDestination = -1;
  // Sending on to whichever station slid into its place would be sending to a guess.
  return "The deleted station '" + alias +
         "' was the standard destination: no station is the standard destination now.";
}

bool CRuleArray::findRuleByTag(int group, int element, std::string& compareValue,
                               std::string& destination) const {
  for (const CRule& rule : *this) {
    if (rule.group == group && rule.element == element) {
      compareValue = rule.compareValue;
      destination = rule.destination;
      return true;
    }
  }
  return false;
}

bool CFilterArray::findFilterByExtension(const std::string& extension,
                                         std::string& description) const {
  for (const CFilter& filter : *this) {
    if (filter.extension == extension) {
      description = filter.description;
      return true;
    }
  }
  return false;
}

void CFilterArray::resetToDefaults() {
  static const CFilter defaults[] = {
      {".exe", "applications"},     {".zip", "ZIP archive"},      {".html", "internet files"},
      {".htm", "internet files"},   {".pdf", "Adobe document"},   {".jpg", "JPEG image"},
      {".bmp", "Bitmap image"},     {".tif", "TIFF image"},       {".dll", "program library"},
      {".cab", "cabinet file"},     {".jar", "java applet"},      {".gif", "GIF image"},
      {".js", "Java script files"}, {".css", "CSS style sheets"},
  };
  RemoveAll();
  for (const CFilter& filter : defaults) Add(filter);
}
