// A medium of every compressed kind, imported and sent to stations that take only uncompressed
// syntaxes or every syntax, with compressed transfer allowed or not.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "CliRun.h"
#include "CompressedFixtures.h"
#include "PixelSamples.h"
#include "StoreScpPeer.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<nlohmann::json> jsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::unique_ptr<DcmFileFormat> load(const std::string& path) {
  auto file = std::make_unique<DcmFileFormat>();
  EXPECT_TRUE(file->loadFile(path.c_str()).good()) << path;
  return file;
}

std::string sopInstanceOf(DcmDataset& dataset) {
  OFString uid;
  dataset.findAndGetOFString(DCM_SOPInstanceUID, uid);
  return uid.c_str();
}

// Arrived files by SOP Instance UID.
std::map<std::string, std::string> arrivals(const std::string& folder) {
  std::map<std::string, std::string> byUid;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      byUid[sopInstanceOf(*load(entry.path())->getDataset())] = entry.path();
  }
  return byUid;
}

int largestDifference(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return -1;
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

class CompressedMedium : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    medium_ = new TempDir;
    fs::create_directories(*medium_ / "IMAGES");
    fixtures_ = new std::vector<EncodedFixture>(writeEncodedFixtures(*medium_ / "IMAGES"));
    writeDirectoryObject(*medium_ / "IMAGES/DIRCOPY");      // skipped like DICOMDIR
    writeTruncatedImage(*medium_ / "IMAGES/BROKEN");        // an image lost: an error
    writeFileBytes(*medium_ / "README", "not an image\n");  // expected beside the images
  }
  static void TearDownTestSuite() {
    delete fixtures_;
    delete medium_;
  }

  // Imports the medium into a station; the JSON lines of the run.
  std::vector<nlohmann::json> import(const std::vector<std::string>& peerArgs,
                                     bool noCompressedTransfer) {
    StoreScpPeer peer(dir_ / "received", peerArgs);
    config({"set", "tempFolder", dir_ / "jobs"});
    config({"set", "openTrayAfterReading", "0"});
    config({"set", "noCompressedTransfer", noCompressedTransfer ? "1" : "0"});
    config({"stations", "add", "PACS", "STORESCP", "127.0.0.1", std::to_string(peer.port())});
    config({"set", "standardDestination", "0"});
    const CliResult result =
        runCli(dir_.path(), {"import", "--workdir", dir_ / "work", medium_->path(), "--json"});
    EXPECT_EQ(result.status, 1) << result.err;  // the broken image
    return jsonLines(result.out);
  }

  void config(std::vector<std::string> args) {
    args.insert(args.begin(), {"config", "--workdir", dir_ / "work"});
    const CliResult result = runCli(dir_.path(), args);
    ASSERT_EQ(result.status, 0) << result.err;
  }

  void SetUp() override {
    fs::create_directories(dir_ / "work");
    fs::create_directories(dir_ / "received");
  }

  // Every fixture: what arrived against what was sent.
  void checkArrivals(bool stationTakesAll, bool noCompressedTransfer,
                     const std::vector<nlohmann::json>& lines) {
    const auto arrived = arrivals(dir_ / "received");
    size_t expectedArrivals = 0;
    for (const EncodedFixture& fixture : *fixtures_) {
      SCOPED_TRACE(fixture.name);
      auto source = load(fixture.path);
      DcmDataset& sent = *source->getDataset();
      const bool compressed = DcmXfer(fixture.syntax).isEncapsulated();
      const bool asItIs =
          compressed && stationTakesAll && (!noCompressedTransfer || !fixture.decodable);
      if (!fixture.decodable && !stationTakesAll) {
        EXPECT_EQ(arrived.count(sopInstanceOf(sent)), 0u);
        bool told = false;
        for (const auto& line : lines) {
          told = told || (line["event"] == "FileFailed" &&
                          line["message"].get<std::string>().find("MPEG2") != std::string::npos);
        }
        EXPECT_TRUE(told) << "no failure naming the syntax";
        continue;
      }
      ++expectedArrivals;
      ASSERT_EQ(arrived.count(sopInstanceOf(sent)), 1u);
      auto received = load(arrived.at(sopInstanceOf(sent)));
      DcmDataset& got = *received->getDataset();
      EXPECT_EQ(uidsOf(got), uidsOf(sent));
      if (asItIs) {
        EXPECT_EQ(got.getOriginalXfer(), fixture.syntax);
        EXPECT_EQ(encapsulatedPixelBytes(got), encapsulatedPixelBytes(sent));
      } else {
        EXPECT_FALSE(DcmXfer(got.getOriginalXfer()).isEncapsulated());
        const int difference = largestDifference(pixelSamples(got), fixture.expectedPixels);
        EXPECT_GE(difference, 0) << "sample count differs";
        EXPECT_LE(difference, fixture.tolerance);
      }
    }
    EXPECT_EQ(arrived.size(), expectedArrivals);  // no directory object, nothing broken
    const auto& summary = lines.back();
    EXPECT_EQ(summary["event"], "Summary");
    EXPECT_EQ(summary["scanErrors"], 1);
    EXPECT_EQ(summary["exitStatus"], 1);
  }

  TempDir dir_;
  static TempDir* medium_;
  static std::vector<EncodedFixture>* fixtures_;
};

TempDir* CompressedMedium::medium_ = nullptr;
std::vector<EncodedFixture>* CompressedMedium::fixtures_ = nullptr;

struct Receiver {
  const char* name;
  std::vector<std::string> peerArgs;
  bool takesAll;
  bool noCompressedTransfer;
};

void PrintTo(const Receiver& receiver, std::ostream* out) { *out << receiver.name; }

class CompressedMediumTo : public CompressedMedium,
                           public ::testing::WithParamInterface<Receiver> {};

TEST_P(CompressedMediumTo, EveryObjectArrivesWithItsUidsAndPixels) {
  const Receiver& receiver = GetParam();
  const auto lines = import(receiver.peerArgs, receiver.noCompressedTransfer);
  checkArrivals(receiver.takesAll, receiver.noCompressedTransfer, lines);
}

INSTANTIATE_TEST_SUITE_P(
    Stations, CompressedMediumTo,
    ::testing::Values(Receiver{"UncompressedOnlyConverting", {}, false, true},
                      Receiver{"TakesAllConverting", {"+xa"}, true, true},
                      Receiver{"UncompressedOnlyCompressedAllowed", {}, false, false},
                      Receiver{"TakesAllCompressedAllowed", {"+xa"}, true, false}),
    [](const ::testing::TestParamInfo<Receiver>& info) { return std::string(info.param.name); });

}  // namespace
