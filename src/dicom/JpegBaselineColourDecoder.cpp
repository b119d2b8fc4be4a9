#include "dicom/JpegBaselineColourDecoder.h"

#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>

#include "dicom/JpegColourEvidence.h"

namespace {

// The first fragment holds the start of the first frame, with its markers.
bool streamNamesItsColours(DcmPixelSequence* sequence) {
  DcmPixelItem* fragment = nullptr;
  if (!sequence || sequence->card() < 2 || sequence->getItem(fragment, 1).bad() || !fragment)
    return true;  // nothing to judge: DCMTK's own rule
  Uint8* bytes = nullptr;
  if (fragment->getUint8Array(bytes).bad() || !bytes) return true;
  return jpegStreamNamesItsColours(bytes, fragment->getLength());
}

}  // namespace

JpegBaselineColourDecoder::JpegBaselineColourDecoder(const DJCodecParameter& byPhotometric)
    : byPhotometric_(byPhotometric) {}

OFCondition JpegBaselineColourDecoder::decode(const DcmRepresentationParameter* fromRepParam,
                                              DcmPixelSequence* pixSeq,
                                              DcmPolymorphOBOW& uncompressedPixelData,
                                              const DcmCodecParameter* cp, const DcmStack& objStack,
                                              OFBool& removeOldRep) const {
  const DcmCodecParameter* chosen = streamNamesItsColours(pixSeq) ? cp : &byPhotometric_;
  return DJDecoderBaseline::decode(fromRepParam, pixSeq, uncompressedPixelData, chosen, objStack,
                                   removeOldRep);
}
