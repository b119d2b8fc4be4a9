#include "net/TransferSyntaxConversion.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dccodec.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "net/TextFormat.h"

namespace {

bool isUncompressed(E_TransferSyntax syntax) {
  return syntax == EXS_LittleEndianImplicit || syntax == EXS_LittleEndianExplicit ||
         syntax == EXS_BigEndianExplicit;
}

bool decoderExists(E_TransferSyntax syntax) {
  return DcmCodecList::canChangeCoding(syntax, EXS_LittleEndianExplicit);
}

}  // namespace

bool goesInOwnSyntax(const std::string& transferSyntax, bool convertCompressed) {
  const DcmXfer xfer(transferSyntax.c_str());
  if (xfer.getXfer() == EXS_Unknown || isUncompressed(xfer.getXfer())) return false;
  if (!convertCompressed) return true;
  // Also where a decoder exists: a stream it cannot decode then still goes as it is.
  return xfer.isEncapsulated();
}

ConversionReport convertForTransfer(DcmDataset& dataset, const std::string& path,
                                    bool convertCompressed, E_TransferSyntax contextSyntax) {
  ConversionReport report;
  const DcmXfer xfer(dataset.getOriginalXfer());
  if (!xfer.isEncapsulated()) return report;
  // Compressed transfer allowed: the file goes as it is where the station took its syntax,
  // and is decompressed only where it did not and a decoder exists.
  if (!convertCompressed && (contextSyntax == xfer.getXfer() || !decoderExists(xfer.getXfer())))
    return report;

  const char* syntaxName = dcmFindNameOfUID(xfer.getXferID(), "");
  report.made = true;
  const OFCondition condition = dataset.chooseRepresentation(EXS_LittleEndianImplicit, nullptr);
  if (condition.bad()) {
    report.event = SendNotice;
    report.message = formatText(
        "%s: Error in conversion %s -> 'LittleEndianImplicit' [%s, Use originally syntax for "
        "transfer]",
        path.c_str(), syntaxName, condition.text());
  } else if (dataset.canWriteXfer(EXS_LittleEndianImplicit, xfer.getXfer())) {
    report.event = FileConverted;
    report.message =
        formatText("%s converted [%s -> 'LittleEndianImplicit']", path.c_str(), syntaxName);
  } else {
    report.event = SendNotice;
    report.message = formatText(
        "%s: No conversion %s -> 'LittleEndianImplicit' transfer syntax [Use originally syntax "
        "for transfer]",
        path.c_str(), syntaxName);
  }
  return report;
}

OFCondition checkSendable(DcmDataset& dataset, E_TransferSyntax contextSyntax) {
  const DcmXfer xfer(dataset.getOriginalXfer());
  if (dataset.canWriteXfer(contextSyntax, xfer.getXfer())) return EC_Normal;
  return makeOFCondition(
      0, 0, OF_error,
      formatText("Transfer syntax '%s' not accepted by the station and not converted",
                 dcmFindNameOfUID(xfer.getXferID(), xfer.getXferID()))
          .c_str());
}
