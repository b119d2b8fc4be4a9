#pragma once

#include <cstddef>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/ofcond.h>

// What the data set says one decoded frame must look like.
struct Jpeg2000FrameLayout {
  unsigned rows = 0;
  unsigned columns = 0;
  unsigned samplesPerPixel = 0;
  unsigned bitsAllocated = 0;  // 8 or 16

  size_t bytes() const {
    return static_cast<size_t>(rows) * columns * samplesPerPixel * (bitsAllocated / 8);
  }
};

// What the codestream itself told about its coding.
struct Jpeg2000FrameCoding {
  bool colourTransform = false;  // components were coded through the multiple component transform
  bool irreversible = false;     // 9/7 wavelet: the data was compressed lossy
};

// Decodes one JPEG 2000 codestream (or JP2 file) with OpenJPEG into `target`, which holds
// layout.bytes(): samples colour by pixel, 16-bit samples as host-order words, 8-bit samples as
// bytes. Fails, without touching more than `target`, when the codestream does not match the
// layout.
OFCondition decodeJpeg2000Frame(const unsigned char* data, size_t length,
                                const Jpeg2000FrameLayout& layout, unsigned char* target,
                                Jpeg2000FrameCoding& coding);
