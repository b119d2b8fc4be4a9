#pragma once

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/ofstd/ofcond.h>

#include "net/SendEvent.h"

class DcmDataset;

// What the conversion step has to say: nothing, FileConverted or a SendNotice with its text.
struct ConversionReport {
  bool made = false;
  SendEvent event = SendNotice;
  std::string message;
};

// Whether a file in `transferSyntax` may go as it is, so that its syntax is proposed beside the
// uncompressed ones: any other syntax when compressed transfer is allowed; otherwise a
// compressed one, for when no decoder reads it (none registered, or its stream is damaged).
bool goesInOwnSyntax(const std::string& transferSyntax, bool convertCompressed);

// Decompresses an encapsulated data set in memory before its C-STORE over a context of
// `contextSyntax`: always with `convertCompressed`, otherwise only when the station did not
// accept the file's own syntax and a decoder exists. `path` names the file in the texts.
// Never fails the store: the data set is then sent as it is. Needs the codecs.
ConversionReport convertForTransfer(DcmDataset& dataset, const std::string& path,
                                    bool convertCompressed,
                                    E_TransferSyntax contextSyntax = EXS_LittleEndianImplicit);

// OK when the data set as it now is can go over a context of `contextSyntax`; otherwise an
// error naming the file's syntax (compressed, not accepted by the station, not converted).
OFCondition checkSendable(DcmDataset& dataset, E_TransferSyntax contextSyntax);
