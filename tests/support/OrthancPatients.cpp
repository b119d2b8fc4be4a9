#include "OrthancPatients.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <stdexcept>

#include "DicomFixtures.h"
#include "ToolRun.h"

void storeOrthancPatient(const OrthancPeer& archive, const WorklistEntry& entry,
                         const std::string& scratchFolder) {
  const std::string path = scratchFolder + "/" + entry.patientId + ".dcm";
  FixtureImage image;
  image.patientId = entry.patientId;
  image.birthDate = entry.birthDate;
  image.accessionNumber = entry.accessionNumber;
  writeFixtureImage(path, image);
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) throw std::runtime_error("cannot read " + path);
  DcmDataset& data = *file.getDataset();
  if (!entry.characterSet.empty())
    data.putAndInsertString(DCM_SpecificCharacterSet, entry.characterSet.c_str());
  data.putAndInsertString(DCM_PatientName, entry.patientName.c_str());
  data.putAndInsertString(DCM_PatientSex, entry.sex.c_str());
  data.putAndInsertString(DCM_IssuerOfPatientID, entry.issuer.c_str());
  if (file.saveFile(path.c_str()).bad()) throw std::runtime_error("cannot write " + path);
  runTool({"storescu", "-aet", "KALVORA", "-aec", archive.aeTitle(), "127.0.0.1",
           std::to_string(archive.dicomPort()), path});
}
