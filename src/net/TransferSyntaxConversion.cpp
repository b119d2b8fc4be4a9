#include "net/TransferSyntaxConversion.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dccodec.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "dicom/JpegColourEvidence.h"
#include "net/TextFormat.h"

namespace {

bool isUncompressed(E_TransferSyntax syntax) {
  return syntax == EXS_LittleEndianImplicit || syntax == EXS_LittleEndianExplicit ||
         syntax == EXS_BigEndianExplicit;
}

bool decoderExists(E_TransferSyntax syntax) {
  return DcmCodecList::canChangeCoding(syntax, EXS_LittleEndianExplicit);
}

bool isJpegProcess(E_TransferSyntax syntax) {
  return syntax >= EXS_JPEGProcess1 && syntax <= EXS_JPEGProcess14SV1;
}

// The first fragment of a JPEG image must lead to its frame header before DCMTK reads it.
bool jpegDecodable(DcmDataset& dataset, E_TransferSyntax syntax) {
  DcmElement* element = nullptr;
  if (dataset.findAndGetElement(DCM_PixelData, element).bad() || !element) return true;
  DcmPixelSequence* sequence = nullptr;
  if (static_cast<DcmPixelData*>(element)
          ->getEncapsulatedRepresentation(syntax, nullptr, sequence)
          .bad() ||
      !sequence)
    return true;  // DCMTK finds nothing to decode either
  DcmPixelItem* fragment = nullptr;
  Uint8* bytes = nullptr;
  if (sequence->card() < 2 || sequence->getItem(fragment, 1).bad() || !fragment ||
      fragment->getUint8Array(bytes).bad() || !bytes)
    return false;
  return jpegStreamReachesFrameHeader(bytes, fragment->getLength());
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
  const OFCondition condition =
      isJpegProcess(xfer.getXfer()) && !jpegDecodable(dataset, xfer.getXfer())
          ? makeOFCondition(0, 0, OF_error, "JPEG stream damaged before its frame header")
          : dataset.chooseRepresentation(EXS_LittleEndianImplicit, nullptr);
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
