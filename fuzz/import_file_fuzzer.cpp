// The import pass for one file of a medium: guarded load, identification, anonymization
// with every option on, and the save into a scratch job folder.

#include "FuzzSupport.h"

#include "media/MediaScan.h"
#include "workers/MainThreadPoster.h"
#include "workers/UserPrompts.h"

#include <filesystem>

namespace {

class ImmediatePoster : public MainThreadPoster {
 public:
  void post(std::function<void()> task) override { task(); }
};

class SilentPrompts : public UserPrompts {
 public:
  std::optional<NewPatientDataAnswer> askNewPatientData(const NewPatientDataQuestion&) override {
    return std::nullopt;
  }
  bool askRetryAssociation(const AssociationRetryQuestion&) override { return false; }
  std::optional<StationChoice> chooseStation(const CStationArray&) override { return std::nullopt; }
};

ScanRequest everyOption(const std::string& medium, const std::string& job) {
  ScanRequest request;
  request.sourceRoot = medium;
  request.jobFolder = job;
  request.anonymize = 1;
  request.anonymizePatientId = 1;
  request.anonymizedPatientId = "ANON";
  request.anonymizePatientName = 1;
  request.anonymizePhysicians = 1;
  request.physiciansName = "Physician";
  request.anonymizeInstitution = 1;
  request.institutionName = "Institution";
  request.anonymizeComments = 1;
  request.birthdayToJanuaryFirst = 1;
  request.datesToCurrentDate = 1;
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceDcmtk();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string medium = scratchFolder() + "/medium";
  static const std::string job = scratchFolder() + "/job";
  static const bool made =
      std::filesystem::create_directories(medium) && std::filesystem::create_directories(job);
  (void)made;
  const std::string path = medium + "/IM000001";
  writeInput(path, data, size);

  ImmediatePoster mainThread;
  SilentPrompts prompts;
  MediaScan scan(everyOption(medium, job), mainThread, prompts,
                 [](ScanEvent, const ScanProgress&) {});
  scan.ImportFile(path, "IM000001");
  clearFolder(job);
  return 0;
}
