#include "dicom/Jpeg2000DecoderRegistration.h"

#include "dicom/Jpeg2000Decoder.h"
#include "dicom/Jpeg2000DecoderParameter.h"

namespace {

Jpeg2000DecoderParameter* parameter = nullptr;
Jpeg2000Decoder* losslessDecoder = nullptr;
Jpeg2000Decoder* lossyDecoder = nullptr;

}  // namespace

void Jpeg2000DecoderRegistration::registerCodecs(bool createSopInstanceUid) {
  if (parameter != nullptr) return;
  parameter = new Jpeg2000DecoderParameter(createSopInstanceUid);
  losslessDecoder = new Jpeg2000Decoder(EXS_JPEG2000LosslessOnly);
  lossyDecoder = new Jpeg2000Decoder(EXS_JPEG2000);
  DcmCodecList::registerCodec(losslessDecoder, nullptr, parameter);
  DcmCodecList::registerCodec(lossyDecoder, nullptr, parameter);
}

void Jpeg2000DecoderRegistration::cleanup() {
  if (parameter == nullptr) return;
  DcmCodecList::deregisterCodec(losslessDecoder);
  DcmCodecList::deregisterCodec(lossyDecoder);
  delete losslessDecoder;
  delete lossyDecoder;
  delete parameter;
  losslessDecoder = lossyDecoder = nullptr;
  parameter = nullptr;
}
