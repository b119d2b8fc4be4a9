#include "dicom/TagNames.h"

#include <cctype>
#include <cstdio>

#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

namespace {

bool isHexWord(const std::string& text) {
  if (text.size() != 4) return false;
  for (const char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::optional<DcmTagKey> parseTagText(const std::string& text) {
  std::string inner = text;
  if (inner.size() >= 2 && inner.front() == '(' && inner.back() == ')')
    inner = inner.substr(1, inner.size() - 2);
  const std::size_t comma = inner.find(',');
  if (comma != std::string::npos) {
    const std::string group = inner.substr(0, comma);
    const std::string element = inner.substr(comma + 1);
    if (!isHexWord(group) || !isHexWord(element)) return std::nullopt;
    return DcmTagKey(static_cast<Uint16>(std::stoul(group, nullptr, 16)),
                     static_cast<Uint16>(std::stoul(element, nullptr, 16)));
  }
  if (inner.empty() || inner != text) return std::nullopt;
  const DcmDataDictionary& dictionary = dcmDataDict.rdlock();
  const DcmDictEntry* entry = dictionary.findEntry(inner.c_str());
  std::optional<DcmTagKey> key;
  // Only a plain tag: a range of tags (repeating groups) names no one tag.
  if (entry && !entry->isRepeating()) key = entry->getKey();
  dcmDataDict.rdunlock();
  return key;
}

std::string tagKeyword(int group, int element) {
  const DcmTagKey key(static_cast<Uint16>(group & 0xFFFF), static_cast<Uint16>(element & 0xFFFF));
  const DcmDataDictionary& dictionary = dcmDataDict.rdlock();
  const DcmDictEntry* entry = dictionary.findEntry(key, nullptr);
  std::string keyword = entry && entry->getTagName() ? entry->getTagName() : "";
  dcmDataDict.rdunlock();
  return keyword;
}

std::string describeTag(int group, int element) {
  char text[16];
  std::snprintf(text, sizeof text, "(%04X,%04X)", static_cast<unsigned>(group & 0xFFFF),
                static_cast<unsigned>(element & 0xFFFF));
  const std::string keyword = tagKeyword(group, element);
  return keyword.empty() ? text : std::string(text) + " " + keyword;
}
