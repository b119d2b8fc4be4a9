#include "net/TransferSyntaxConversion.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "net/TextFormat.h"

ConversionReport convertForTransfer(DcmDataset& dataset, const std::string& path,
                                    bool convertCompressed) {
  ConversionReport report;
  const DcmXfer xfer(dataset.getOriginalXfer());
  if (!convertCompressed || !xfer.isEncapsulated()) return report;

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
