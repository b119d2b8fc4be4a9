#include "CompressedFixtures.h"

#include <stdexcept>
#include <vector>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/dcmjpls/djrparam.h>

#include "net/CodecRegistration.h"

namespace {

std::string newUid() {
  char uid[100];
  return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

void check(const OFCondition& condition, const std::string& what) {
  if (condition.bad()) throw std::runtime_error(what + ": " + condition.text());
}

}  // namespace

std::string writeCompressedImage(const std::string& path, E_TransferSyntax transferSyntax) {
  const bool eightBit = transferSyntax == EXS_JPEGProcess1;
  const Uint16 size = 32;
  const std::string sopInstanceUid = newUid();

  DcmFileFormat file;
  DcmDataset* dataset = file.getDataset();
  dataset->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  dataset->putAndInsertString(DCM_SOPInstanceUID, sopInstanceUid.c_str());
  dataset->putAndInsertString(DCM_StudyInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_SeriesInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_PatientID, "P1");
  dataset->putAndInsertString(DCM_PatientName, "Doe^John");
  dataset->putAndInsertString(DCM_Modality, "OT");
  dataset->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  dataset->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  dataset->putAndInsertUint16(DCM_Rows, size);
  dataset->putAndInsertUint16(DCM_Columns, size);
  dataset->putAndInsertUint16(DCM_BitsAllocated, eightBit ? 8 : 16);
  dataset->putAndInsertUint16(DCM_BitsStored, eightBit ? 8 : 12);
  dataset->putAndInsertUint16(DCM_HighBit, eightBit ? 7 : 11);
  dataset->putAndInsertUint16(DCM_PixelRepresentation, 0);
  const size_t count = static_cast<size_t>(size) * size;
  if (eightBit) {
    std::vector<Uint8> pixels(count);
    for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<Uint8>(i % 251);
    dataset->putAndInsertUint8Array(DCM_PixelData, pixels.data(), count);
  } else {
    std::vector<Uint16> pixels(count);
    for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<Uint16>((i * 37) % 4096);
    dataset->putAndInsertUint16Array(DCM_PixelData, pixels.data(), count);
  }

  CodecScope codecs;  // the JPEG encoder is among the send codecs
  DJLSEncoderRegistration::registerCodecs();
  OFCondition status;
  if (eightBit) {
    DJ_RPLossy lossy(90);
    status = dataset->chooseRepresentation(transferSyntax, &lossy);
  } else {
    DJLSRepresentationParameter lossless;
    status = dataset->chooseRepresentation(transferSyntax, &lossless);
  }
  if (status.good()) status = file.saveFile(path.c_str(), transferSyntax);
  DJLSEncoderRegistration::cleanup();
  check(status, "cannot write compressed fixture " + path);
  return sopInstanceUid;
}
