#include "media/AnonymizedIds.h"

const char kDefaultAnonymizedPatientId[] = "00000001";

std::string NextAnonymizedId(const std::string& last) {
  if (last.empty()) return "2";
  std::string next = last;
  char& c = next.back();
  if (c >= '0' && c <= '8') {
    ++c;
  } else if (c == '9') {
    c = '1';
    next += '0';
  } else {
    next += '2';
  }
  return next;
}

std::string AnonymizedIds::idFor(const std::string& patientId, const std::string& firstId) {
  for (const auto& [known, id] : pairs_) {
    if (known == patientId) return id;
  }
  const std::string id = pairs_.empty() ? firstId : NextAnonymizedId(pairs_.back().second);
  pairs_.emplace_back(patientId, id);
  return id;
}
