// Writes the seed corpora: <out>/config (one file of each kind, the kind in the first byte)
// and <out>/dicom (the tests' fixtures in every encoding, compressed images and the
// hostile regression medium).

#include "CompressedFixtures.h"
#include "DicomFixtures.h"
#include "HostileMedium.h"
#include "NestingBomb.h"
#include "TempDir.h"

#include "config/ConfigFiles.h"
#include "config/Configuration.h"

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/oflog/oflog.h>

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace {

void writeConfigSeeds(const std::string& out) {
  TempDir work;
  Configuration config;
  config.settings.tempFolder = "/tmp/kalvora/";
  config.filters.Add(CFilter{".exe", "Programs"});
  config.filters.Add(CFilter{".txt", "Texts"});
  config.rules.Add(CRule{0x0008, 0x0060, "CT", "ARCHIVE"});
  config.stations.Add(CStation{"ARCHIVE", "ARCHIVE_AE", "127.0.0.1", 104});
  config.stations.Add(CStation{"VIEWER", "VIEWER", "localhost", 11112});
  if (saveConfiguration(work.path(), config)) throw std::runtime_error("cannot save seeds");
  const char* names[] = {kSettingsFileName, kFiltersFileName, kRulesFileName, kStationsFileName};
  for (int kind = 0; kind < 4; ++kind) {
    const std::string bytes = readFileBytes(work / names[kind]);
    writeFileBytes(out + "/" + names[kind], std::string(1, static_cast<char>(kind)) + bytes);
    writeFileBytes(out + "/empty-" + names[kind], std::string(1, static_cast<char>(kind)));
  }
}

void recode(const std::string& path, E_TransferSyntax syntax) {
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad() ||
      file.getDataset()->chooseRepresentation(syntax, nullptr).bad() ||
      file.saveFile(path.c_str(), syntax).bad())
    throw std::runtime_error("cannot recode " + path);
}

void writeDicomSeeds(const std::string& out) {
  const std::pair<const char*, E_TransferSyntax> plain[] = {
      {"explicit-little.dcm", EXS_LittleEndianExplicit},
      {"implicit-little.dcm", EXS_LittleEndianImplicit},
      {"explicit-big.dcm", EXS_BigEndianExplicit},
      {"deflated.dcm", EXS_DeflatedLittleEndianExplicit},
  };
  for (const auto& [name, syntax] : plain) {
    FixtureImage image;
    image.rows = image.columns = 8;
    image.transferSyntax = syntax;
    writeFixtureImage(out + "/" + name, image);
  }
  DcmRLEEncoderRegistration::registerCodecs();
  DJEncoderRegistration::registerCodecs();
  DJLSEncoderRegistration::registerCodecs();
  const std::pair<const char*, E_TransferSyntax> compressed[] = {
      {"jpeg-lossless.dcm", EXS_JPEGProcess14SV1},
      {"jpeg-ls.dcm", EXS_JPEGLSLossless},
      {"rle.dcm", EXS_RLELossless},
  };
  for (const auto& [name, syntax] : compressed) {
    FixtureImage image;
    image.rows = image.columns = 8;
    writeFixtureImage(out + "/" + name, image);
    recode(out + "/" + name, syntax);
  }
  // Every compressed kind a disc brings, JPEG 2000 among them, as the codecs' own tools write it.
  writeEncodedFixtures(out);
  writeHostileMedium(out);
  // Bombs just over the limit keep the seeds small.
  for (const auto syntax : {NestingBomb::Syntax::ExplicitLittle, NestingBomb::Syntax::Deflated}) {
    NestingBomb bomb;
    bomb.levels = 140;
    bomb.syntax = syntax;
    const bool deflated = syntax == NestingBomb::Syntax::Deflated;
    writeFileBytes(out + (deflated ? "/deflated-nesting-bomb.dcm" : "/nesting-bomb.dcm"),
                   bomb.bytes());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_seeds OUTPUT_FOLDER\n";
    return 2;
  }
  OFLog::configure(OFLogger::OFF_LOG_LEVEL);
  const std::string out = argv[1];
  try {
    fs::create_directories(out + "/config");
    fs::create_directories(out + "/dicom");
    writeConfigSeeds(out + "/config");
    writeDicomSeeds(out + "/dicom");
  } catch (const std::exception& error) {
    std::cerr << "make_seeds: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
