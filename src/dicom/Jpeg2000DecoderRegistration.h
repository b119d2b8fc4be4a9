#pragma once

// Registers the JPEG 2000 decoders (lossless only, and lossless or lossy) with DCMTK's codec
// list, beside DCMTK's own decoders. Like DCMTK's registrations: a second registration is
// ignored, and cleanup must not run while another thread decodes.
class Jpeg2000DecoderRegistration {
 public:
  static void registerCodecs(bool createSopInstanceUid = false);
  static void cleanup();
};
