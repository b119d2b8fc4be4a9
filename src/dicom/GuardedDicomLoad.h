#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "dicom/StoppableFileStream.h"

// DcmFileFormat::loadFile(path, EXS_Unknown, EGL_noChange, DCM_MaxReadLength, ERM_autoDetect)
// for files from a medium or a job folder. A file whose sequences nest too deep for DCMTK's
// recursive reader is not handed to DCMTK; the load fails with nestingTooDeepCondition().
// Deflated data that ends inside a value fails as DCMTK would fail it, without its
// allocation of the declared length.
OFCondition loadDicomFileGuarded(DcmFileFormat& file, const std::string& path);

// The same load, for a worker that must be able to stop while a large or endless file is
// read: both the guard and DCMTK read in bounded pieces and give up once `stop` is set
// (StoppableFileStream::stoppedCondition()). Values longer than DCMTK's read length are
// left in the file as loadFile leaves them; loading them later also looks at `stop`, and a
// read of them cut short is noted in `leftValues` (see LeftValueReads).
OFCondition loadDicomFileGuarded(DcmFileFormat& file, const std::string& path,
                                 const std::atomic<bool>& stop,
                                 std::shared_ptr<LeftValueReads> leftValues = nullptr);

OFCondition nestingTooDeepCondition();
