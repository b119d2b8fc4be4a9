#pragma once

#include <memory>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "net/TransferSyntaxConversion.h"

// One DICOM file of a job folder, loaded for its C-STORE.
struct FileToSend {
  OFCondition condition = EC_Normal;  // load result; DIMSE_BADDATA when the UIDs are missing
  bool uidsMissing = false;
  std::unique_ptr<DcmFileFormat> file;
  std::string sopClassUid;     // as read before any conversion
  std::string sopInstanceUid;  // as read before any conversion
  E_TransferSyntax originalXfer = EXS_Unknown;

  DcmDataset* dataset() const { return file ? file->getDataset() : nullptr; }
};

// What a job file's meta header says, read before the association without the data set.
struct FileHeader {
  std::string sopClassUid;     // empty when unknown
  std::string transferSyntax;  // empty when unknown
};
FileHeader readFileHeader(const std::string& path);

// Loads the file and reads its SOP class and instance UIDs; with `correctUidPadding` one
// trailing space is cut from each.
FileToSend loadFileToSend(const std::string& path, bool correctUidPadding);

// The send job's whole preparation of one file without a network: load, UIDs and conversion,
// with the conversion's report. Needs the codecs (CodecRegistration).
struct PreparedFile {
  FileToSend loaded;
  ConversionReport conversion;
};
PreparedFile prepareFileToSend(const std::string& path, bool correctUidPadding,
                               bool convertCompressed);
