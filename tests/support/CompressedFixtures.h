#pragma once

#include <string>
#include <vector>

#include <dcmtk/dcmdata/dcxfer.h>

// A small image stored compressed: JPEG baseline (8 bit) or JPEG-LS lossless (16 bit).
// Returns its SOP Instance UID. Throws on failure.
std::string writeCompressedImage(const std::string& path, E_TransferSyntax transferSyntax);

// One object of the kinds a disc brings, written by DCMTK's and OpenJPEG's own tools.
struct EncodedFixture {
  std::string name;  // also its file name
  std::string path;
  E_TransferSyntax syntax = EXS_Unknown;
  bool decodable = true;            // a decoder of ours exists
  std::vector<int> expectedPixels;  // what decoding must give (the uncompressed source, or
                                    // OpenJPEG's own decoding of a lossy codestream)
  int tolerance = 0;                // largest difference per sample allowed (lossy JPEG)
  bool lossy = false;               // compressed with loss: decoded, it must still say so
};

// Writes the whole set into `folder` and returns it: RGB JPEG baseline without colour
// transform, RGB JPEG lossless, YCbCr JPEG baseline, JPEG-LS, RLE, JPEG 2000 lossless and
// lossy (grey 16 bit, RGB 8 bit), a JPEG 2000 multi-frame image, JPEG 2000 frames split over
// several fragments (offset table empty, right or counted wrongly), a segmentation object and
// an MPEG-2 video for which no decoder exists. Throws on failure.
std::vector<EncodedFixture> writeEncodedFixtures(const std::string& folder);

// A Media Storage Directory object (what DICOMDIR holds) at `path`, whatever its name.
void writeDirectoryObject(const std::string& path);
// A DICOM image ("DICM" at 128) cut off in the middle of its pixel data.
void writeTruncatedImage(const std::string& path);
