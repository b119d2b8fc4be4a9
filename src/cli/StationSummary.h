#pragma once

#include <map>
#include <ostream>
#include <string>

#include "jobs/JobJournal.h"
#include "net/SendProgress.h"

// The last report (SendFinished) of each station a job was sent to.
using StationResults = std::map<JobDestination, SendProgress>;

// What became of a job's folder, for the end of the stations' lines: "; job folder deleted",
// "; kept in FOLDER, send it again with: ...", or "" when neither applies.
std::string jobFolderFate(const std::string& jobFolder, bool delivered);

// One line per station ("24 of 24 files stored at PACS (host:port)" and the fate), then up
// to ten of the files that did not arrive, with their reasons.
void printStationResults(std::ostream& out, const StationResults& results, const std::string& fate);
