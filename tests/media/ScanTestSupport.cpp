#include "ScanTestSupport.h"

#include <algorithm>
#include <filesystem>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "TestMainThread.h"
#include "media/MediaScan.h"

std::vector<ScanProgress> runScan(const ScanRequest& request, UserPrompts& prompts,
                                  const std::function<void(MediaScan&)>& onScan) {
  TestMainThread mainThread;
  std::vector<ScanProgress> reports;
  bool ended = false;
  MediaScan scan(request, mainThread, prompts, [&](ScanEvent event, const ScanProgress& progress) {
    reports.push_back(progress);
    ended = event == ScanEvent::ScanFinished || event == ScanEvent::ScanStopped;
  });
  if (onScan) onScan(scan);
  scan.start();
  mainThread.runUntil([&] { return ended; });
  scan.join();
  return reports;
}

ScanRequest plainRequest(const std::string& root, const std::string& jobFolder) {
  ScanRequest request;
  request.sourceRoot = root;
  request.jobFolder = jobFolder;
  return request;
}

std::vector<std::pair<ScanEvent, std::string>> fileEvents(
    const std::vector<ScanProgress>& reports) {
  std::vector<std::pair<ScanEvent, std::string>> events;
  for (const ScanProgress& report : reports) {
    if (report.event != ScanEvent::ScanStarted && report.event != ScanEvent::ScanFinished &&
        report.event != ScanEvent::ScanStopped)
      events.emplace_back(report.event, report.fileName);
  }
  std::sort(events.begin(), events.end());
  return events;
}

std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string tagOf(const std::string& file, unsigned group, unsigned element) {
  DcmFileFormat format;
  if (format.loadFile(file.c_str()).bad()) return "<unreadable>";
  OFString value;
  if (format.getDataset()
          ->findAndGetOFString(DcmTagKey(static_cast<Uint16>(group), static_cast<Uint16>(element)),
                               value, 0, OFFalse)
          .bad())
    return "<absent>";
  return value.c_str();
}
