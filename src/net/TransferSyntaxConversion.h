#pragma once

#include <string>

#include "net/SendEvent.h"

class DcmDataset;

// What the conversion step has to say: nothing, FileConverted or a SendNotice with its text.
struct ConversionReport {
  bool made = false;
  SendEvent event = SendNotice;
  std::string message;
};

// Decompresses an encapsulated data set in memory before its C-STORE, since only
// uncompressed transfer syntaxes are proposed. `path` names the file in the texts. Never fails
// the store: the data set is then sent as it is. Needs the codecs (CodecRegistration).
ConversionReport convertForTransfer(DcmDataset& dataset, const std::string& path,
                                    bool convertCompressed);
