#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmjpeg/djcparam.h>
#include <dcmtk/dcmjpeg/djdecbas.h>

// DCMTK's JPEG baseline decoder, which lets the JPEG library guess the colour model: a stream
// with neither a JFIF nor an Adobe marker nor RGB component ids is taken as YCbCr, and RGB
// samples compressed without colour transform come out in false colours. Where the stream
// says nothing, this one follows the data set's photometric interpretation instead.
class JpegBaselineColourDecoder : public DJDecoderBaseline {
 public:
  // `byPhotometric`: the parameters for a stream without evidence (colour conversion only
  // for a YBR photometric interpretation).
  explicit JpegBaselineColourDecoder(const DJCodecParameter& byPhotometric);

  OFCondition decode(const DcmRepresentationParameter* fromRepParam, DcmPixelSequence* pixSeq,
                     DcmPolymorphOBOW& uncompressedPixelData, const DcmCodecParameter* cp,
                     const DcmStack& objStack, OFBool& removeOldRep) const override;

 private:
  DJCodecParameter byPhotometric_;
};
