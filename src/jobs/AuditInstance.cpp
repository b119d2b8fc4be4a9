#include "jobs/AuditInstance.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcspchrs.h>

#include <algorithm>

#include "dicom/GuardedDicomLoad.h"

namespace {

std::string valueOf(DcmItem& item, const DcmTagKey& tag) {
  OFString value;
  return item.findAndGetOFStringArray(tag, value).good() ? std::string(value.c_str()) : "";
}

}  // namespace

std::string textInUtf8(const std::string& value, const std::string& characterSet) {
  const bool ascii = std::all_of(value.begin(), value.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '\x1B';
  });
  if (ascii || characterSet.empty() || characterSet == "ISO_IR 192") return value;
  DcmSpecificCharacterSet converter;
  OFString converted;
  if (converter.selectCharacterSet(characterSet.c_str()).bad() ||
      converter.convertString(OFString(value.data(), value.size()), converted, "\\^=").bad())
    return value;
  return std::string(converted.c_str(), converted.length());
}

AuditInstance readAuditInstance(const std::string& path) {
  AuditInstance instance;
  DcmFileFormat file;
  if (loadDicomFileGuarded(file, path).bad()) return instance;
  DcmDataset& dataset = *file.getDataset();
  const std::string characterSet = valueOf(dataset, DCM_SpecificCharacterSet);
  instance.patientId = textInUtf8(valueOf(dataset, DCM_PatientID), characterSet);
  instance.patientName = textInUtf8(valueOf(dataset, DCM_PatientName), characterSet);
  instance.studyInstanceUid = valueOf(dataset, DCM_StudyInstanceUID);
  instance.sopClassUid = valueOf(dataset, DCM_SOPClassUID);
  if (instance.sopClassUid.empty())
    instance.sopClassUid = valueOf(*file.getMetaInfo(), DCM_MediaStorageSOPClassUID);
  return instance;
}
