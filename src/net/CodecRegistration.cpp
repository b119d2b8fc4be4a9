#include "net/CodecRegistration.h"

#include <mutex>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpls/djdecode.h>

#include "dicom/Jpeg2000DecoderRegistration.h"

namespace {

std::mutex registrationMutex;
int registrationHolders = 0;

void registerCodecs() {
  // A change of transfer syntax is no new object: every decoder keeps the SOP Instance UID.
  // Colour: a lossy JPEG stream says itself whether it holds YCbCr (JFIF or Adobe marker,
  // component ids); lossless JPEG applies no colour transform, so there the photometric
  // interpretation holds. Converting always turns RGB streams into false colours.
  DJDecoderRegistration::registerCodecs(EDC_guessLossyOnly, EUC_never, EPC_default);
  DJEncoderRegistration::registerCodecs();
  DcmRLEEncoderRegistration::registerCodecs();
  DcmRLEDecoderRegistration::registerCodecs(OFFalse);
  DJLSDecoderRegistration::registerCodecs(EJLSUC_never);
  Jpeg2000DecoderRegistration::registerCodecs();
}

void cleanupCodecs() {
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
