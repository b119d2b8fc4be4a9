#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dccodec.h>

// The options of the JPEG 2000 decoder, as DCMTK hands them to the codec.
class Jpeg2000DecoderParameter : public DcmCodecParameter {
 public:
  explicit Jpeg2000DecoderParameter(bool createSopInstanceUid = false)
      : createSopInstanceUid_(createSopInstanceUid) {}

  DcmCodecParameter* clone() const override { return new Jpeg2000DecoderParameter(*this); }
  const char* className() const override { return "Jpeg2000DecoderParameter"; }

  // A change of transfer syntax is no new object: off unless asked for.
  bool createSopInstanceUid() const { return createSopInstanceUid_; }

 private:
  bool createSopInstanceUid_;
};
