#pragma once

#include <optional>
#include <string>

#include "config/TlsSettings.h"

// Which C-FIND the query station answers.
enum class QueryModel {
  Worklist,     // Modality Worklist: scheduled imports, with accession number
  PatientRoot,  // Patient Root query at PATIENT level: the PACS's patients
};

// "worklist" or "patient", as written in the settings file and on the command line.
const char* queryModelName(QueryModel model);
std::optional<QueryModel> parseQueryModel(const std::string& name);

// The station asked who a medium's patient is in this hospital.
struct QueryStation {
  std::string aeTitle;
  std::string host;
  int port = 0;
  QueryModel model = QueryModel::Worklist;
  TlsSettings tls;
};

bool operator==(const QueryStation& a, const QueryStation& b);

// The message to show, or nothing when the station may be stored. An AE title holds at most
// 16 characters, none of them a backslash or a control character.
std::optional<std::string> validateQueryStation(const QueryStation& station);
