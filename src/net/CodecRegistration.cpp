#include "net/CodecRegistration.h"

#include <mutex>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <dcmtk/dcmjpls/djdecode.h>

#include "dicom/Jpeg2000DecoderRegistration.h"
#include "dicom/JpegBaselineColourDecoder.h"

namespace {

std::mutex registrationMutex;
int registrationHolders = 0;

// Ahead of DCMTK's baseline decoder in the codec list, so that it is the one chosen.
struct BaselineColourCodec {
  DJCodecParameter guessing{ECC_lossyYCbCr, EDC_guessLossyOnly, EUC_never, EPC_default};
  JpegBaselineColourDecoder decoder{
      DJCodecParameter(ECC_lossyYCbCr, EDC_photometricInterpretation, EUC_never, EPC_default)};
  DJ_RPLossy representation;
};
BaselineColourCodec* baselineColourCodec = nullptr;

void registerCodecs() {
  // A change of transfer syntax is no new object: every decoder keeps the SOP Instance UID.
  // Colour: a lossy JPEG stream says itself whether it holds YCbCr (JFIF or Adobe marker,
  // RGB component ids); where it says nothing the photometric interpretation holds (the
  // baseline decoder of our own), as it does for lossless JPEG, which applies no colour
  // transform. Converting always turns RGB streams into false colours.
  baselineColourCodec = new BaselineColourCodec;
  DcmCodecList::registerCodec(&baselineColourCodec->decoder, &baselineColourCodec->representation,
                              &baselineColourCodec->guessing);
  DJDecoderRegistration::registerCodecs(EDC_guessLossyOnly, EUC_never, EPC_default);
  DJEncoderRegistration::registerCodecs();
  DcmRLEEncoderRegistration::registerCodecs();
  DcmRLEDecoderRegistration::registerCodecs(OFFalse);
  DJLSDecoderRegistration::registerCodecs(EJLSUC_never);
  Jpeg2000DecoderRegistration::registerCodecs();
}

void cleanupCodecs() {
  DcmCodecList::deregisterCodec(&baselineColourCodec->decoder);
  delete baselineColourCodec;
  baselineColourCodec = nullptr;
  DJDecoderRegistration::cleanup();
  DJEncoderRegistration::cleanup();
  DcmRLEDecoderRegistration::cleanup();
  DcmRLEEncoderRegistration::cleanup();
  DJLSDecoderRegistration::cleanup();
  Jpeg2000DecoderRegistration::cleanup();
}

}  // namespace

void CodecRegistration::acquire() {
  std::lock_guard<std::mutex> lock(registrationMutex);
  if (registrationHolders++ == 0) registerCodecs();
}

void CodecRegistration::release() {
  std::lock_guard<std::mutex> lock(registrationMutex);
  if (registrationHolders == 0) return;
  if (--registrationHolders == 0) cleanupCodecs();
}

int CodecRegistration::holders() {
  std::lock_guard<std::mutex> lock(registrationMutex);
  return registrationHolders;
}
