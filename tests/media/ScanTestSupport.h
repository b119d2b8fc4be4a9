#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/ScanProgress.h"
#include "media/ScanRequest.h"
#include "workers/UserPrompts.h"

class MediaScan;

// Answers the new patient data question from a script and records what was asked.
class ScriptedPrompts : public UserPrompts {
 public:
  std::function<std::optional<NewPatientDataAnswer>(const NewPatientDataQuestion&)> answer =
      [](const NewPatientDataQuestion&) { return std::nullopt; };
  std::vector<NewPatientDataQuestion> asked;

  std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) override {
    asked.push_back(question);
    return answer(question);
  }
  bool askRetryAssociation(const AssociationRetryQuestion&) override { return false; }
  std::optional<StationChoice> chooseStation(const CStationArray&) override { return std::nullopt; }
};

// Runs a scan on its worker thread and returns every report, in order, as the main
// thread received it. `onScan` sees the scan before it starts.
std::vector<ScanProgress> runScan(const ScanRequest& request, UserPrompts& prompts,
                                  const std::function<void(MediaScan&)>& onScan = {});

// A request for the medium at `root` into `jobFolder`, every option off.
ScanRequest plainRequest(const std::string& root, const std::string& jobFolder);

// (event, fileName) of the per-file reports, sorted: the walk's order is the file system's.
std::vector<std::pair<ScanEvent, std::string>> fileEvents(const std::vector<ScanProgress>& reports);

// Names in a folder, sorted.
std::vector<std::string> folderNames(const std::string& folder);

// First value of a tag read back from a written file; "<absent>" when it is not there.
std::string tagOf(const std::string& file, unsigned group, unsigned element);
