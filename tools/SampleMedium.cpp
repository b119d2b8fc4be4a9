#include "SampleMedium.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcddirif.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace fs = std::filesystem;

namespace {

const char* const kPatientNames[] = {"MUSTER^ERIKA", "DOE^JOHN", "ROSSI^MARIO", "DUPONT^JEANNE",
                                     "SMITH^ANNA"};

std::string newUid() {
  char uid[100];
  return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

std::string numbered(const char* prefix, int number, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%0*d", prefix, width, number);
  return text;
}

void check(const OFCondition& condition, const std::string& what) {
  if (condition.bad()) throw std::runtime_error(what + ": " + condition.text());
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A body-like phantom: an ellipse of soft tissue with a brighter core and some noise, in
// Hounsfield units shifted by the rescale intercept.
std::vector<Uint16> phantomSlice(int rows, int columns, int slice, std::mt19937& random) {
  std::vector<Uint16> pixels(static_cast<size_t>(rows) * columns);
  std::normal_distribution<double> noise(0.0, 12.0);
  const double cx = columns / 2.0, cy = rows / 2.0;
  const double coreRadius = 0.15 + 0.05 * std::sin(slice / 10.0);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const double dx = (x - cx) / (columns * 0.42), dy = (y - cy) / (rows * 0.32);
      const double r = std::sqrt(dx * dx + dy * dy);
      double hu = -1000.0;
      if (r < 1.0) hu = 40.0 + noise(random);
      if (r < coreRadius * 2.5) hu = 400.0 + noise(random);
      pixels[static_cast<size_t>(y) * columns + x] = static_cast<Uint16>(hu + 1024.0);
    }
  }
  return pixels;
}

struct Series {
  std::string patientId, patientName, birthDate, sex;
  std::string studyUid, studyDate, studyId, accession, description;
  std::string seriesUid;
  int seriesNumber = 1;
};

void writeImage(const fs::path& path, const Series& series, int instanceNumber,
                const std::vector<Uint16>& pixels, const SampleMediumOptions& options) {
  DcmFileFormat file;
  DcmDataset* d = file.getDataset();
  d->putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 100");
  d->putAndInsertString(DCM_ImageType, "ORIGINAL\\PRIMARY\\AXIAL");
  d->putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
  d->putAndInsertString(DCM_SOPInstanceUID, newUid().c_str());
  d->putAndInsertString(DCM_StudyDate, series.studyDate.c_str());
  d->putAndInsertString(DCM_SeriesDate, series.studyDate.c_str());
  d->putAndInsertString(DCM_StudyTime, "101500");
  d->putAndInsertString(DCM_AccessionNumber, series.accession.c_str());
  d->putAndInsertString(DCM_Modality, "CT");
  d->putAndInsertString(DCM_Manufacturer, "KALVORA SAMPLE");
  d->putAndInsertString(DCM_InstitutionName, "Sample Hospital");
  d->putAndInsertString(DCM_ReferringPhysicianName, "HOUSE^GREGORY");
  d->putAndInsertString(DCM_StudyDescription, series.description.c_str());
  d->putAndInsertString(DCM_SeriesDescription, "Axial 1.0");
  d->putAndInsertString(DCM_PatientName, series.patientName.c_str());
  d->putAndInsertString(DCM_PatientID, series.patientId.c_str());
  d->putAndInsertString(DCM_PatientBirthDate, series.birthDate.c_str());
  d->putAndInsertString(DCM_PatientSex, series.sex.c_str());
  d->putAndInsertString(DCM_SliceThickness, "1.0");
  d->putAndInsertString(DCM_KVP, "120");
  d->putAndInsertString(DCM_StudyInstanceUID, series.studyUid.c_str());
  d->putAndInsertString(DCM_SeriesInstanceUID, series.seriesUid.c_str());
  d->putAndInsertString(DCM_StudyID, series.studyId.c_str());
  d->putAndInsertString(DCM_SeriesNumber, std::to_string(series.seriesNumber).c_str());
  d->putAndInsertString(DCM_InstanceNumber, std::to_string(instanceNumber).c_str());
  const std::string z = std::to_string(-instanceNumber);
  d->putAndInsertString(DCM_ImagePositionPatient, ("-250\\-250\\" + z).c_str());
  d->putAndInsertString(DCM_ImageOrientationPatient, "1\\0\\0\\0\\1\\0");
  d->putAndInsertString(DCM_SliceLocation, z.c_str());
  d->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  d->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  d->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(options.rows));
  d->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(options.columns));
  d->putAndInsertString(DCM_PixelSpacing, "0.976\\0.976");
  d->putAndInsertUint16(DCM_BitsAllocated, 16);
  d->putAndInsertUint16(DCM_BitsStored, 12);
  d->putAndInsertUint16(DCM_HighBit, 11);
  d->putAndInsertUint16(DCM_PixelRepresentation, 0);
  d->putAndInsertString(DCM_WindowCenter, "40");
  d->putAndInsertString(DCM_WindowWidth, "400");
  d->putAndInsertString(DCM_RescaleIntercept, "-1024");
  d->putAndInsertString(DCM_RescaleSlope, "1");
  d->putAndInsertUint16Array(DCM_PixelData, pixels.data(),
                             static_cast<unsigned long>(pixels.size()));
  check(file.saveFile(path.string().c_str(), EXS_LittleEndianExplicit),
        "cannot write " + path.string());
}

void writeViewerFolder(const fs::path& root) {
  fs::create_directories(root / "viewer");
  std::string program(256 * 1024, '\0');
  program.replace(0, 2, "MZ");
  writeText(root / "viewer" / "viewer.exe", program);
  writeText(root / "viewer" / "viewer.ini", "[Viewer]\nLanguage=en\n");
  writeText(root / "autorun.inf", "[autorun]\nopen=viewer\\viewer.exe\nicon=viewer\\viewer.exe\n");
  writeText(root / "index.html",
            "<html><body><h1>Patient images</h1><p>Start viewer/viewer.exe.</p></body></html>\n");
  writeText(root / "README.TXT", "This medium holds DICOM images. See index.html.\n");
}

}  // namespace

SampleMedium makeSampleMedium(const std::string& rootFolder, const SampleMediumOptions& options) {
  const fs::path root(rootFolder);
  fs::create_directories(root);
  SampleMedium medium{rootFolder, {}};
  std::mt19937 random(4711);

  const int seriesCount =
      std::max(1, options.patients * options.studiesPerPatient * options.seriesPerStudy);
  std::vector<std::string> relativeFiles;
  int written = 0;
  for (int patient = 1; patient <= options.patients && written < options.images; ++patient) {
    Series series;
    series.patientId = numbered("PID", 100233 + patient, 6);
    series.patientName = kPatientNames[(patient - 1) % 5];
    series.birthDate =
        numbered("19", 50 + patient * 7 % 40, 2) + "0" + std::to_string(patient % 9 + 1) + "15";
    series.sex = patient % 2 ? "F" : "M";
    for (int study = 1; study <= options.studiesPerPatient && written < options.images; ++study) {
      series.studyUid = newUid();
      series.studyDate =
          "2023" + numbered("", study % 12 + 1, 2) + "1" + std::to_string(patient % 9);
      series.studyId = std::to_string(study);
      series.accession = numbered("ACC", patient * 100 + study, 6);
      series.description = study % 2 ? "CT THORAX" : "CT ABDOMEN";
      for (int s = 1; s <= options.seriesPerStudy && written < options.images; ++s) {
        series.seriesUid = newUid();
        series.seriesNumber = s;
        const int seriesIndex =
            ((patient - 1) * options.studiesPerPatient + (study - 1)) * options.seriesPerStudy +
            (s - 1);
        // Spread the images evenly; the last series takes what is left.
        int inSeries = options.images / seriesCount;
        if (seriesIndex == seriesCount - 1) inSeries = options.images - written;
        const fs::path folder = fs::path("DICOM") / numbered("PAT", patient, 0) /
                                numbered("STU", study, 0) / numbered("SER", s, 0);
        fs::create_directories(root / folder);
        for (int i = 1; i <= inSeries && written < options.images; ++i) {
          const fs::path relative = folder / numbered("IM", i, 5);
          writeImage(root / relative, series, i,
                     phantomSlice(options.rows, options.columns, i, random), options);
          relativeFiles.push_back(relative.string());
          medium.imageFiles.push_back((root / relative).string());
          ++written;
        }
      }
    }
  }

  DicomDirInterface dicomDir;
  check(dicomDir.createNewDicomDir(DicomDirInterface::AP_GeneralPurpose,
                                   (root / "DICOMDIR").string().c_str(), "KALVORA_SAMPLE"),
        "cannot create DICOMDIR");
  for (const std::string& relative : relativeFiles) {
    check(dicomDir.addDicomFile(relative.c_str(), rootFolder.c_str()), "cannot add " + relative);
  }
  check(dicomDir.writeDicomDir(), "cannot write DICOMDIR");

  writeViewerFolder(root);
  return medium;
}
