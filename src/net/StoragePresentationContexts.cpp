#include "net/StoragePresentationContexts.h"

#include <algorithm>
#include <cstring>
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
                                           const std::vector<std::string>& sopClasses,
                                           bool proposeOnlyRequired,
                                           const std::vector<ClassInOwnSyntax>& ownSyntaxes) {
  const std::string preferred = gLocalByteOrder == EBO_LittleEndian
                                    ? UID_LittleEndianExplicitTransferSyntax
                                    : UID_BigEndianExplicitTransferSyntax;
  std::vector<std::string> fallback = {UID_LittleEndianExplicitTransferSyntax,
                                       UID_BigEndianExplicitTransferSyntax,
                                       UID_LittleEndianImplicitTransferSyntax};
  fallback.erase(std::remove(fallback.begin(), fallback.end(), preferred), fallback.end());
  const int perClass = fallback.empty() ? 1 : 2;

  OFCondition condition = EC_Normal;
  int contextId = 1;
  const auto room = [&](int contexts) { return contextId + 2 * (contexts - 1) <= kLastContextId; };
  const auto addClass = [&](const std::string& sopClass) {
    condition = AddPresentationContext(params, contextId, sopClass, preferred);
    contextId += 2;
    if (condition.good() && !fallback.empty()) {
      condition = AddPresentationContext(params, contextId, sopClass, fallback);
      contextId += 2;
    }
  };

  const std::vector<std::string> present = withoutDuplicates(sopClasses);
  std::unordered_set<std::string> proposed;
  for (const std::string& sopClass : present) {
    if (!room(perClass)) {
      // Beyond one association's contexts: only the files of such classes fail.
      if (proposeOnlyRequired) return ASC_BADPRESENTATIONCONTEXTID;
      break;
    }
    addClass(sopClass);
    if (condition.bad()) return condition;
    proposed.insert(sopClass);
  }

  std::unordered_set<std::string> ownSeen;
  for (const ClassInOwnSyntax& own : ownSyntaxes) {
    if (proposed.count(own.sopClass) == 0 || own.transferSyntax.empty()) continue;
    if (!ownSeen.insert(own.sopClass + "|" + own.transferSyntax).second) continue;
    if (!room(1)) break;
    condition = AddPresentationContext(params, contextId, own.sopClass, own.transferSyntax);
    contextId += 2;
    if (condition.bad()) return condition;
  }

  if (!proposeOnlyRequired) {
    for (const std::string& sopClass : storageSopClassUids()) {
      if (proposed.count(sopClass) != 0) continue;
      if (!room(perClass)) break;
      addClass(sopClass);
      if (condition.bad()) return condition;
    }
  }
  return condition;
}

T_ASC_PresentationContextID acceptedContextInSyntax(T_ASC_Association* association,
                                                    const std::string& sopClass,
                                                    const char* transferSyntax) {
  const int count = ASC_countPresentationContexts(association->params);
  for (int i = 0; i < count; ++i) {
    T_ASC_PresentationContext context;
    if (ASC_getPresentationContext(association->params, i, &context).bad()) continue;
    if (context.resultReason == ASC_P_ACCEPTANCE && sopClass == context.abstractSyntax &&
        std::strcmp(context.acceptedTransferSyntax, transferSyntax) == 0)
      return context.presentationContextID;
  }
  return 0;
}

T_ASC_PresentationContextID uncompressedContext(T_ASC_Association* association,
                                                const std::string& sopClass) {
  for (const char* syntax :
       {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax,
        UID_BigEndianExplicitTransferSyntax}) {
    if (const T_ASC_PresentationContextID id =
            acceptedContextInSyntax(association, sopClass, syntax))
      return id;
  }
  return 0;
}
