#pragma once

#include <map>
#include <string>
#include <vector>

class DcmItem;

// Pixel samples of an uncompressed data set, 8- or 16-bit alike; empty when there are none.
std::vector<int> pixelSamples(DcmItem& dataset);
// The compressed fragments of encapsulated pixel data, joined (offset table left out).
std::string encapsulatedPixelBytes(DcmItem& dataset);
// Every UID of the data set, nested ones included, by the path of its tag.
std::map<std::string, std::string> uidsOf(DcmItem& dataset);

// Binary PGM/PPM (8 or 16 bit): what OpenJPEG's tools read and write.
struct PortableImage {
  unsigned width = 0;
  unsigned height = 0;
  unsigned channels = 1;
  unsigned maxValue = 255;
  std::vector<int> samples;  // colour by pixel
};
void writePortableImage(const std::string& path, const PortableImage& image);
PortableImage readPortableImage(const std::string& path);
