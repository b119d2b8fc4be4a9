#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dccodec.h>

// DCMTK codec that decompresses JPEG 2000 pixel data (one instance per transfer syntax:
// lossless only, or lossless and lossy) through OpenJPEG. Grey and colour, 8 and 16 bits
// allocated, signed or unsigned, single and multi-frame. Decoding only.
class Jpeg2000Decoder : public DcmCodec {
 public:
  explicit Jpeg2000Decoder(E_TransferSyntax transferSyntax) : transferSyntax_(transferSyntax) {}

  OFCondition decode(const DcmRepresentationParameter* fromRepParam, DcmPixelSequence* pixSeq,
                     DcmPolymorphOBOW& uncompressedPixelData, const DcmCodecParameter* cp,
                     const DcmStack& objStack, OFBool& removeOldRep) const override;

  OFCondition decodeFrame(const DcmRepresentationParameter* fromParam, DcmPixelSequence* fromPixSeq,
                          const DcmCodecParameter* cp, DcmItem* dataset, Uint32 frameNo,
                          Uint32& startFragment, void* buffer, Uint32 bufSize,
                          OFString& decompressedColorModel) const override;

  OFCondition encode(const Uint16* pixelData, const Uint32 length,
                     const DcmRepresentationParameter* toRepParam, DcmPixelSequence*& pixSeq,
                     const DcmCodecParameter* cp, DcmStack& objStack,
                     OFBool& removeOldRep) const override;

  OFCondition encode(const E_TransferSyntax fromRepType,
                     const DcmRepresentationParameter* fromRepParam, DcmPixelSequence* fromPixSeq,
                     const DcmRepresentationParameter* toRepParam, DcmPixelSequence*& toPixSeq,
                     const DcmCodecParameter* cp, DcmStack& objStack,
                     OFBool& removeOldRep) const override;

  OFBool canChangeCoding(const E_TransferSyntax oldRepType,
                         const E_TransferSyntax newRepType) const override;

  OFCondition determineDecompressedColorModel(const DcmRepresentationParameter* fromParam,
                                              DcmPixelSequence* fromPixSeq,
                                              const DcmCodecParameter* cp, DcmItem* dataset,
                                              OFString& decompressedColorModel) const override;

 private:
  E_TransferSyntax transferSyntax_;
};
