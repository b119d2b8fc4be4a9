#pragma once

#include <string>

#include <dcmtk/dcmdata/dcxfer.h>

// A small, exact DICOM image for tests. Empty strings leave the attribute out.
struct FixtureImage {
  std::string patientId = "P1";
  std::string patientName = "Doe^John";
  std::string birthDate = "19630517";
  std::string accessionNumber = "ACC1";
  std::string modality = "CT";
  std::string sopClassUid = "1.2.840.10008.5.1.4.1.1.2";  // CT Image Storage
  std::string sopInstanceUid;                             // generated when empty
  std::string studyInstanceUid;                           // generated when empty
  int rows = 16;
  int columns = 16;
  E_TransferSyntax transferSyntax = EXS_LittleEndianExplicit;
};

// Writes the image as a DICOM file with meta header. Throws on failure.
void writeFixtureImage(const std::string& path, const FixtureImage& image = {});
