#include "PixelSamples.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcstack.h>

std::vector<int> pixelSamples(DcmItem& dataset) {
  Uint16 bitsAllocated = 0;
  dataset.findAndGetUint16(DCM_BitsAllocated, bitsAllocated);
  unsigned long count = 0;
  std::vector<int> samples;
  if (bitsAllocated == 8) {
    const Uint8* bytes = nullptr;
    if (dataset.findAndGetUint8Array(DCM_PixelData, bytes, &count).good() && bytes)
      samples.assign(bytes, bytes + count);
  } else {
    const Uint16* words = nullptr;
    if (dataset.findAndGetUint16Array(DCM_PixelData, words, &count).good() && words)
      samples.assign(words, words + count);
  }
  return samples;
}

std::string encapsulatedPixelBytes(DcmItem& dataset) {
  DcmElement* element = nullptr;
  if (dataset.findAndGetElement(DCM_PixelData, element).bad()) return "";
  auto* pixelData = static_cast<DcmPixelData*>(element);
  E_TransferSyntax syntax = EXS_Unknown;
  const DcmRepresentationParameter* parameter = nullptr;
  pixelData->getOriginalRepresentationKey(syntax, parameter);
  DcmPixelSequence* sequence = nullptr;
  if (!DcmXfer(syntax).isEncapsulated() ||
      pixelData->getEncapsulatedRepresentation(syntax, parameter, sequence).bad() ||
      sequence == nullptr) {
    return "";
  }
  std::string bytes;
  for (unsigned long i = 1; i < sequence->card(); ++i) {
    DcmPixelItem* item = nullptr;
    Uint8* data = nullptr;
    if (sequence->getItem(item, i).good() && item->getUint8Array(data).good() && data)
      bytes.append(reinterpret_cast<const char*>(data), item->getLength());
  }
  return bytes;
}

std::map<std::string, std::string> uidsOf(DcmItem& dataset) {
  std::map<std::string, std::string> uids;
  DcmStack stack;
  while (dataset.nextObject(stack, OFTrue).good()) {
    DcmObject* object = stack.top();
    if (object->ident() != EVR_UI) continue;
    std::string path;
    for (unsigned long level = stack.card(); level-- > 0;) {
      DcmObject* step = stack.elem(level);
      if (step->ident() != EVR_item) path += step->getTag().toString().c_str();
    }
    OFString value;
    static_cast<DcmElement*>(object)->getOFStringArray(value);
    uids[path] += value.c_str();
  }
  return uids;
}

void writePortableImage(const std::string& path, const PortableImage& image) {
  std::ofstream out(path, std::ios::binary);
  out << (image.channels == 3 ? "P6" : "P5") << "\n"
      << image.width << " " << image.height << "\n"
      << image.maxValue << "\n";
  for (const int sample : image.samples) {
    if (image.maxValue > 255) out.put(static_cast<char>(sample >> 8));
    out.put(static_cast<char>(sample & 0xFF));
  }
  if (!out) throw std::runtime_error("cannot write " + path);
}

namespace {

// The next header field, past white space and comment lines.
std::string headerField(std::istream& in) {
  std::string field;
  while (in >> field && field[0] == '#') {
    std::string rest;
    std::getline(in, rest);
  }
  return field;
}

}  // namespace

PortableImage readPortableImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  PortableImage image;
  const std::string magic = headerField(in);
  image.width = std::stoul("0" + headerField(in));
  image.height = std::stoul("0" + headerField(in));
  image.maxValue = std::stoul("0" + headerField(in));
  in.get();
  if (!in || (magic != "P5" && magic != "P6")) throw std::runtime_error("not a PGM/PPM: " + path);
  image.channels = magic == "P6" ? 3 : 1;
  const size_t count = static_cast<size_t>(image.width) * image.height * image.channels;
  for (size_t i = 0; i < count; ++i) {
    int sample = in.get();
    if (image.maxValue > 255) sample = (sample << 8) | in.get();
    image.samples.push_back(sample);
  }
  if (!in) throw std::runtime_error("short PGM/PPM: " + path);
  return image;
}
