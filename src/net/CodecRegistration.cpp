#include "net/CodecRegistration.h"

#include <mutex>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpls/djdecode.h>

namespace {

std::mutex registrationMutex;
int registrationHolders = 0;

void registerCodecs() {
  // Decompressed images get a new SOP Instance UID; colour images are converted always.
  DJDecoderRegistration::registerCodecs(EDC_always, EUC_always, EPC_default);
  DJEncoderRegistration::registerCodecs();
  DcmRLEEncoderRegistration::registerCodecs();
  DcmRLEDecoderRegistration::registerCodecs(OFTrue);
  DJLSDecoderRegistration::registerCodecs(EJLSUC_always);
}

void cleanupCodecs() {
  DJDecoderRegistration::cleanup();
  DJEncoderRegistration::cleanup();
  DcmRLEDecoderRegistration::cleanup();
  DcmRLEEncoderRegistration::cleanup();
  DJLSDecoderRegistration::cleanup();
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
