// A medium of every compressed kind imported into a real archive, checked through its REST API.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "CliRun.h"
#include "CompressedFixtures.h"
#include "OrthancPeer.h"
#include "PixelSamples.h"
#include "TempDir.h"
#include "net/CodecRegistration.h"
#include "net/FileToSend.h"

namespace fs = std::filesystem;

namespace {

// The pixel data bytes that decoding here gives, as they go on the wire.
std::string decodedPixelBytes(const std::string& path) {
  CodecScope codecs;
  PreparedFile prepared = prepareFileToSend(path, false, true);
  DcmElement* pixels = nullptr;
  Uint8* bytes = nullptr;
  if (!prepared.loaded.dataset() ||
      prepared.loaded.dataset()->findAndGetElement(DCM_PixelData, pixels).bad() ||
      pixels->getUint8Array(bytes).bad() || bytes == nullptr) {
    return "";
  }
  return std::string(reinterpret_cast<const char*>(bytes), pixels->getLength());
}

size_t hashOf(const std::string& bytes) { return std::hash<std::string>{}(bytes); }

// The pixel data the archive keeps: its parts (the value, or the fragments) joined.
std::string storedPixelBytes(const OrthancPeer& archive, const std::string& instance) {
  const std::string uri = instance + "/content/7fe0-0010";
  std::string bytes;
  for (const auto& part : nlohmann::json::parse(archive.get(uri)))
    bytes += archive.get(uri + "/" + part.get<std::string>());
  return bytes;
}

std::vector<int> samplesOf(const std::string& bytes, int bitsAllocated) {
  std::vector<int> samples;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bitsAllocated == 8) return {data, data + bytes.size()};
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) samples.push_back(data[i] | (data[i + 1] << 8));
  return samples;
}

int largestDifference(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return -1;
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

}  // namespace

TEST(OrthancArchive, EveryObjectIsStoredWithItsUidsAndPixels) {
  TempDir dir;
  fs::create_directories(dir / "medium");
  fs::create_directories(dir / "work");
  const std::vector<EncodedFixture> fixtures = writeEncodedFixtures(dir / "medium");
  OrthancPeer archive;

  const auto config = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"config", "--workdir", dir / "work"});
    ASSERT_EQ(runCli(dir.path(), args).status, 0);
  };
  config({"set", "tempFolder", dir / "jobs"});
  config({"set", "openTrayAfterReading", "0"});
  config({"stations", "add", "PACS", archive.aeTitle(), "127.0.0.1",
          std::to_string(archive.dicomPort())});
  config({"set", "standardDestination", "0"});
  const CliResult result =
      runCli(dir.path(), {"import", "--workdir", dir / "work", dir / "medium"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;

  std::map<std::string, nlohmann::json> stored;  // simplified tags by SOP Instance UID
  std::map<std::string, std::string> ids;
  for (const auto& id : nlohmann::json::parse(archive.get("/instances"))) {
    const auto tags = nlohmann::json::parse(
        archive.get("/instances/" + id.get<std::string>() + "/simplified-tags"));
    stored[tags["SOPInstanceUID"]] = tags;
    ids[tags["SOPInstanceUID"]] = id;
  }
  EXPECT_EQ(stored.size(), fixtures.size());

  for (const EncodedFixture& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    DcmFileFormat source;
    ASSERT_TRUE(source.loadFile(fixture.path.c_str()).good());
    DcmDataset& sent = *source.getDataset();
    OFString uid;
    sent.findAndGetOFString(DCM_SOPInstanceUID, uid);
    ASSERT_EQ(stored.count(uid.c_str()), 1u);
    const nlohmann::json& tags = stored.at(uid.c_str());
    const std::string instance = "/instances/" + ids.at(uid.c_str());

    // Every UID of the data set as sent.
    for (unsigned long i = 0; i < sent.card(); ++i) {
      DcmElement* element = sent.getElement(i);
      if (element->ident() != EVR_UI) continue;
      OFString value;
      element->getOFStringArray(value);
      const std::string name = DcmTag(element->getTag()).getTagName();
      EXPECT_EQ(tags.value(name, ""), value.c_str()) << name;
    }

    const std::string syntax = archive.get(instance + "/metadata/TransferSyntax");
    if (fixture.decodable) {
      EXPECT_FALSE(DcmXfer(syntax.c_str()).isEncapsulated()) << syntax;
      const std::string pixels = storedPixelBytes(archive, instance);
      // Exactly what was sent, and within the codec's loss of the source.
      EXPECT_EQ(hashOf(pixels), hashOf(decodedPixelBytes(fixture.path)));
      const int bitsAllocated = std::stoi(tags.value("BitsAllocated", "0"));
      const int difference =
          largestDifference(samplesOf(pixels, bitsAllocated), fixture.expectedPixels);
      EXPECT_GE(difference, 0) << "sample count differs";
      EXPECT_LE(difference, fixture.tolerance);
    } else {
      // No decoder: stored as it came, the archive taking its syntax.
      EXPECT_EQ(syntax, DcmXfer(fixture.syntax).getXferID());
      EXPECT_EQ(hashOf(storedPixelBytes(archive, instance)), hashOf(encapsulatedPixelBytes(sent)));
    }
  }
}
