#include "DicomFixtures.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <stdexcept>
#include <vector>

namespace {

void putIfSet(DcmDataset* dataset, const DcmTagKey& tag, const std::string& value) {
  if (!value.empty()) dataset->putAndInsertString(tag, value.c_str());
}

std::string newUid() {
  char uid[100];
  return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

}  // namespace

void writeFixtureImage(const std::string& path, const FixtureImage& image) {
  DcmFileFormat file;
  DcmDataset* dataset = file.getDataset();
  putIfSet(dataset, DCM_PatientID, image.patientId);
  putIfSet(dataset, DCM_PatientName, image.patientName);
  putIfSet(dataset, DCM_PatientBirthDate, image.birthDate);
  putIfSet(dataset, DCM_AccessionNumber, image.accessionNumber);
  putIfSet(dataset, DCM_Modality, image.modality);
  putIfSet(dataset, DCM_SOPClassUID, image.sopClassUid);
  putIfSet(dataset, DCM_SOPInstanceUID,
           image.sopInstanceUid.empty() ? newUid() : image.sopInstanceUid);
  putIfSet(dataset, DCM_StudyInstanceUID,
           image.studyInstanceUid.empty() ? newUid() : image.studyInstanceUid);
  putIfSet(dataset, DCM_SeriesInstanceUID, newUid());
  dataset->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  dataset->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  dataset->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.rows));
  dataset->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.columns));
  dataset->putAndInsertUint16(DCM_BitsAllocated, 16);
  dataset->putAndInsertUint16(DCM_BitsStored, 12);
  dataset->putAndInsertUint16(DCM_HighBit, 11);
  dataset->putAndInsertUint16(DCM_PixelRepresentation, 0);
  std::vector<Uint16> pixels(static_cast<size_t>(image.rows) * image.columns);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<Uint16>(i % 4096);
  dataset->putAndInsertUint16Array(DCM_PixelData, pixels.data(),
                                   static_cast<unsigned long>(pixels.size()));
  const OFCondition status = file.saveFile(path.c_str(), image.transferSyntax);
  if (status.bad()) throw std::runtime_error("cannot write fixture " + path + ": " + status.text());
}
