// The send job's preparation of one file of a job folder: guarded load, SOP class and
// instance UIDs, and the conversion of compressed data to an uncompressed syntax.

#include "FuzzSupport.h"

#include "net/CodecRegistration.h"
#include "net/FileToSend.h"

#include <dcmtk/dcmdata/dcostrmb.h>

namespace {

// The converted data set is written as the C-STORE would write it onto the wire.
void encode(DcmDataset& dataset, E_TransferSyntax syntax) {
  static unsigned char buffer[64 * 1024];
  DcmOutputBufferStream out(buffer, sizeof buffer);
  dataset.transferInit();
  OFCondition status = EC_StreamNotifyClient;
  while (status == EC_StreamNotifyClient) {
    status = dataset.write(out, syntax, EET_UndefinedLength, nullptr);
    void* data = nullptr;
    offile_off_t length = 0;
    out.flushBuffer(data, length);
  }
  dataset.transferEnd();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceDcmtk();
  static CodecScope codecs;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = scratchFolder() + "/IM000001";
  writeInput(path, data, size);
  PreparedFile prepared = prepareFileToSend(path, true, true);
  if (prepared.loaded.condition.good() && prepared.loaded.dataset()) {
    DcmDataset& dataset = *prepared.loaded.dataset();
    // Sent as it is when it could not be converted.
    const E_TransferSyntax current = dataset.getCurrentXfer();
    encode(dataset, DcmXfer(current).isEncapsulated() ? current : EXS_LittleEndianImplicit);
  }
  return 0;
}
