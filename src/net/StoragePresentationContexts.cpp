#include "net/StoragePresentationContexts.h"

#include <algorithm>
#include <unordered_set>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmnet/cond.h>

namespace {

constexpr int kLastContextId = 255;

std::vector<std::string> withoutDuplicates(const std::vector<std::string>& uids) {
  std::vector<std::string> unique;
  std::unordered_set<std::string> seen;
  for (const std::string& uid : uids) {
    if (seen.insert(uid).second) unique.push_back(uid);
  }
  return unique;
}

}  // namespace

const std::vector<std::string>& storageSopClassUids() {
  static const std::vector<std::string> uids = {
      "1.2.840.10008.5.1.4.1.1.9.1.3",  "1.2.840.10008.5.1.4.1.1.88.11",
      "1.2.840.10008.5.1.4.1.1.9.4.1",  "1.2.840.10008.5.1.4.1.1.2",
      "1.2.840.10008.5.1.4.1.1.9.3.1",  "1.2.840.10008.5.1.4.1.1.88.65",
      "1.2.840.10008.5.1.4.1.1.88.33",  "1.2.840.10008.5.1.4.1.1.1",
      "1.2.840.10008.5.1.4.1.1.1.3",    "1.2.840.10008.5.1.4.1.1.1.3.1",
      "1.2.840.10008.5.1.4.1.1.1.2",    "1.2.840.10008.5.1.4.1.1.1.2.1",
      "1.2.840.10008.5.1.4.1.1.1.1",    "1.2.840.10008.5.1.4.1.1.1.1.1",
      "1.2.840.10008.5.1.4.1.1.2.1",    "1.2.840.10008.5.1.4.1.1.4.1",
      "1.2.840.10008.5.1.4.1.1.88.22",  "1.2.840.10008.5.1.4.1.1.9.1.2",
      "1.2.840.10008.5.1.4.1.1.11.1",   "1.2.840.10008.5.1.1.30",
      "1.2.840.10008.5.1.1.29",         "1.2.840.10008.5.1.4.1.1.9.2.1",
      "1.2.840.10008.5.1.4.1.1.88.59",  "1.2.840.10008.5.1.4.1.1.4",
      "1.2.840.10008.5.1.4.1.1.4.2",    "1.2.840.10008.5.1.4.1.1.88.50",
      "1.2.840.10008.5.1.4.1.1.7.2",    "1.2.840.10008.5.1.4.1.1.7.3",
      "1.2.840.10008.5.1.4.1.1.7.1",    "1.2.840.10008.5.1.4.1.1.7.4",
      "1.2.840.10008.5.1.4.1.1.20",     "1.2.840.10008.5.1.4.1.1.129",
      "1.2.840.10008.5.1.4.1.1.128",    "1.2.840.10008.5.1.4.1.1.88.40",
      "1.2.840.10008.5.1.4.1.1.5",      "1.2.840.10008.5.1.4.1.1.6",
      "1.2.840.10008.5.1.4.1.1.3",      "1.2.840.10008.5.1.4.1.1.12.3",
      "1.2.840.10008.5.1.4.1.1.481.4",  "1.2.840.10008.5.1.4.1.1.481.6",
      "1.2.840.10008.5.1.4.1.1.481.2",  "1.2.840.10008.5.1.4.1.1.481.1",
      "1.2.840.10008.5.1.4.1.1.481.5",  "1.2.840.10008.5.1.4.1.1.481.3",
      "1.2.840.10008.5.1.4.1.1.481.7",  "1.2.840.10008.5.1.4.1.1.66",
      "1.2.840.10008.5.1.4.1.1.7",      "1.2.840.10008.5.1.4.1.1.66.1",
      "1.2.840.10008.5.1.4.1.1.66.2",   "1.2.840.10008.5.1.4.1.1.9",
      "1.2.840.10008.5.1.4.1.1.10",     "1.2.840.10008.5.1.4.1.1.8",
      "1.2.840.10008.5.1.4.1.1.11",     "1.2.840.10008.5.1.1.27",
      "1.2.840.10008.5.1.4.1.1.9.1.1",  "1.2.840.10008.5.1.4.1.1.6.1",
      "1.2.840.10008.5.1.4.1.1.3.1",    "1.2.840.10008.5.1.4.1.1.77.1.1",
      "1.2.840.10008.5.1.4.1.1.77.1.2", "1.2.840.10008.5.1.4.1.1.77.1.4",
      "1.2.840.10008.5.1.4.1.1.77.1.3", "1.2.840.10008.5.1.4.1.1.12.1",
      "1.2.840.10008.5.1.4.1.1.12.2",
  };
  return uids;
}

OFCondition AddPresentationContext(T_ASC_Parameters* params, int contextId,
                                   const std::string& abstractSyntax,
                                   const std::string& transferSyntax) {
  return AddPresentationContext(params, contextId, abstractSyntax,
                                std::vector<std::string>{transferSyntax});
}

OFCondition AddPresentationContext(T_ASC_Parameters* params, int contextId,
                                   const std::string& abstractSyntax,
                                   const std::vector<std::string>& transferSyntaxes) {
  std::vector<const char*> syntaxes;
  for (const std::string& syntax : transferSyntaxes) syntaxes.push_back(syntax.c_str());
  return ASC_addPresentationContext(params, static_cast<T_ASC_PresentationContextID>(contextId),
                                    abstractSyntax.c_str(), syntaxes.data(),
                                    static_cast<int>(syntaxes.size()), ASC_SC_ROLE_DEFAULT);
}

OFCondition AddStoragePresentationContexts(T_ASC_Parameters* params,
                                           std::vector<std::string> sopClasses,
                                           bool proposeOnlyRequired) {
  const std::string preferred = gLocalByteOrder == EBO_LittleEndian
                                    ? UID_LittleEndianExplicitTransferSyntax
                                    : UID_BigEndianExplicitTransferSyntax;
  std::vector<std::string> fallback = {UID_LittleEndianExplicitTransferSyntax,
                                       UID_BigEndianExplicitTransferSyntax,
                                       UID_LittleEndianImplicitTransferSyntax};
  fallback.erase(std::remove(fallback.begin(), fallback.end(), preferred), fallback.end());

  if (!proposeOnlyRequired) {
    const std::vector<std::string>& standard = storageSopClassUids();
    sopClasses.insert(sopClasses.end(), standard.begin(), standard.end());
  }

  OFCondition condition = EC_Normal;
  int contextId = 1;
  for (const std::string& sopClass : withoutDuplicates(sopClasses)) {
    if (condition.bad()) break;
    if (contextId > kLastContextId) return ASC_BADPRESENTATIONCONTEXTID;
    condition = AddPresentationContext(params, contextId, sopClass, preferred);
    contextId += 2;
    if (!fallback.empty()) {
      if (contextId > kLastContextId) return ASC_BADPRESENTATIONCONTEXTID;
      condition = AddPresentationContext(params, contextId, sopClass, fallback);
      contextId += 2;
    }
  }
  return condition;
}
