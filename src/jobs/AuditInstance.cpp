#include "jobs/AuditInstance.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>

#include "dicom/GuardedDicomLoad.h"

namespace {

std::string valueOf(DcmItem& item, const DcmTagKey& tag) {
  OFString value;
  return item.findAndGetOFStringArray(tag, value).good() ? std::string(value.c_str()) : "";
}

}  // namespace

AuditInstance readAuditInstance(const std::string& path) {
  AuditInstance instance;
  DcmFileFormat file;
  if (loadDicomFileGuarded(file, path).bad()) return instance;
  DcmDataset& dataset = *file.getDataset();
  instance.patientId = valueOf(dataset, DCM_PatientID);
  instance.patientName = valueOf(dataset, DCM_PatientName);
  instance.studyInstanceUid = valueOf(dataset, DCM_StudyInstanceUID);
  instance.sopClassUid = valueOf(dataset, DCM_SOPClassUID);
  if (instance.sopClassUid.empty())
    instance.sopClassUid = valueOf(*file.getMetaInfo(), DCM_MediaStorageSOPClassUID);
  return instance;
}
