#include "dicom/Jpeg2000Decoder.h"

#include <cstring>
#include <string>
#include <vector>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcstack.h>
#include <dcmtk/dcmdata/dcswap.h>
#include <dcmtk/dcmdata/dcvrpobw.h>

#include "dicom/Jpeg2000DecoderParameter.h"
#include "dicom/Jpeg2000Frame.h"

namespace {

// Above this the pixel data cannot be one DICOM value.
constexpr size_t kLargestValue = 0xFFFFFFF0u;

OFCondition failure(const std::string& text) {
  return makeOFCondition(0, 0, OF_error, ("JPEG 2000: " + text).c_str());
}

struct ImageAttributes {
  Jpeg2000FrameLayout layout;
  Uint32 frames = 1;
  OFString photometric;
};

OFCondition readImageAttributes(DcmItem& item, ImageAttributes& image) {
  Uint16 rows = 0, columns = 0, samples = 0, bitsAllocated = 0;
  if (item.findAndGetUint16(DCM_Rows, rows).bad() ||
      item.findAndGetUint16(DCM_Columns, columns).bad() ||
      item.findAndGetUint16(DCM_SamplesPerPixel, samples).bad() ||
      item.findAndGetUint16(DCM_BitsAllocated, bitsAllocated).bad()) {
    return failure("image attributes missing");
  }
  if (rows == 0 || columns == 0) return failure("image without rows or columns");
  if (samples != 1 && samples != 3) return failure("unsupported samples per pixel");
  if (bitsAllocated != 8 && bitsAllocated != 16) return failure("bits allocated must be 8 or 16");
  image.layout = {rows, columns, samples, bitsAllocated};
  Sint32 frames = 1;
  // Optional; garbage counts as one frame.
  if (item.findAndGetSint32(DCM_NumberOfFrames, frames).bad() || frames < 1) frames = 1;
  image.frames = static_cast<Uint32>(frames);
  item.findAndGetOFString(DCM_PhotometricInterpretation, image.photometric);
  return EC_Normal;
}

// Openjpeg undoes the colour transform, so such data comes out as RGB.
OFString decodedPhotometric(const OFString& photometric, bool colourTransform) {
  if (colourTransform || photometric == "YBR_RCT" || photometric == "YBR_ICT") return "RGB";
  return photometric;
}

// Pixel items [first, end) of one frame; item 0 is the offset table.
struct FragmentRange {
  Uint32 first;
  Uint32 end;
};

bool fragmentBytes(DcmPixelSequence& sequence, Uint32 index, Uint8*& data, Uint32& length) {
  DcmPixelItem* item = nullptr;
  if (sequence.getItem(item, index).bad() || item == nullptr) return false;
  length = item->getLength();
  data = nullptr;
  return length == 0 || (item->getUint8Array(data).good() && data != nullptr);
}

bool startsFrame(const Uint8* data, Uint32 length) {
  static const Uint8 codestream[] = {0xFF, 0x4F, 0xFF, 0x51};
  static const Uint8 jp2[] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
  return (length >= sizeof codestream && std::memcmp(data, codestream, sizeof codestream) == 0) ||
         (length >= sizeof jp2 && std::memcmp(data, jp2, sizeof jp2) == 0);
}

std::vector<Uint32> startsFromOffsetTable(DcmPixelSequence& sequence, Uint32 frames) {
  Uint8* table = nullptr;
  Uint32 tableLength = 0;
  if (!fragmentBytes(sequence, 0, table, tableLength) || tableLength != 4 * frames) return {};
  std::vector<Uint32> starts;
  Uint32 offset = 0;
  Uint32 next = 0;
  for (Uint32 index = 1; index < sequence.card() && next < frames; ++index) {
    const Uint8* entry = table + 4 * next;
    const Uint32 wanted = entry[0] | (entry[1] << 8) | (entry[2] << 16) | (Uint32(entry[3]) << 24);
    if (wanted == offset) {
      starts.push_back(index);
      ++next;
    }
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!fragmentBytes(sequence, index, data, length)) return {};
    offset += 8 + length;
  }
  return starts;
}

OFCondition frameFragments(DcmPixelSequence& sequence, Uint32 frames,
                           std::vector<FragmentRange>& ranges) {
  const Uint32 items = static_cast<Uint32>(sequence.card());
  if (items < 2) return failure("no compressed fragments");
  const Uint32 fragments = items - 1;
  if (frames > fragments) return failure("fewer fragments than frames");
  ranges.clear();
  if (frames == 1) {
    ranges.push_back({1, items});
    return EC_Normal;
  }
  std::vector<Uint32> starts;
  if (frames == fragments) {
    for (Uint32 index = 1; index < items; ++index) starts.push_back(index);
  } else {
    for (Uint32 index = 1; index < items; ++index) {
      Uint8* data = nullptr;
      Uint32 length = 0;
      if (!fragmentBytes(sequence, index, data, length)) return failure("unreadable fragment");
      if (data != nullptr && startsFrame(data, length)) starts.push_back(index);
    }
    if (starts.size() != frames || starts.front() != 1)
      starts = startsFromOffsetTable(sequence, frames);
    if (starts.size() != frames || starts.front() != 1)
      return failure("frames cannot be told apart");
  }
  for (size_t f = 0; f < starts.size(); ++f)
    ranges.push_back({starts[f], f + 1 < starts.size() ? starts[f + 1] : items});
  return EC_Normal;
}

OFCondition decodeFrameInto(DcmPixelSequence& sequence, const FragmentRange& range,
                            const Jpeg2000FrameLayout& layout, Uint8* target,
                            Jpeg2000FrameCoding& coding) {
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (range.end - range.first == 1) {
    if (!fragmentBytes(sequence, range.first, data, length)) return failure("unreadable fragment");
    return decodeJpeg2000Frame(data, length, layout, target, coding);
  }
  std::vector<Uint8> joined;
  for (Uint32 index = range.first; index < range.end; ++index) {
    if (!fragmentBytes(sequence, index, data, length)) return failure("unreadable fragment");
    if (length > 0) joined.insert(joined.end(), data, data + length);
  }
  return decodeJpeg2000Frame(joined.data(), joined.size(), layout, target, coding);
}

// Byte samples are kept in words as DCMTK keeps them: in little-endian order.
void orderByteSamples(const Jpeg2000FrameLayout& layout, void* words, size_t bytes) {
  if (layout.bitsAllocated == 8 && bytes % 2 == 0) {
    swapIfNecessary(gLocalByteOrder, EBO_LittleEndian, words, static_cast<Uint32>(bytes),
                    sizeof(Uint16));
  }
}

}  // namespace

OFCondition Jpeg2000Decoder::decode(const DcmRepresentationParameter*, DcmPixelSequence* pixSeq,
                                    DcmPolymorphOBOW& uncompressedPixelData,
                                    const DcmCodecParameter* cp, const DcmStack& objStack,
                                    OFBool& removeOldRep) const {
  DcmStack stack(objStack);
  stack.pop();  // the pixel data element
  DcmObject* parent = stack.pop();
  if (pixSeq == nullptr || parent == nullptr ||
      (parent->ident() != EVR_dataset && parent->ident() != EVR_item)) {
    return EC_InvalidTag;
  }
  DcmItem& item = *static_cast<DcmItem*>(parent);
  ImageAttributes image;
  OFCondition result = readImageAttributes(item, image);
  std::vector<FragmentRange> ranges;
  if (result.good()) result = frameFragments(*pixSeq, image.frames, ranges);
  if (result.bad()) return result;

  const size_t frameBytes = image.layout.bytes();
  const size_t total = frameBytes * image.frames;
  if (total > kLargestValue) return failure("image too large");
  const size_t padded = total + (total & 1);
  Uint16* words = nullptr;
  result = uncompressedPixelData.createUint16Array(static_cast<Uint32>(padded / 2), words);
  if (result.bad()) return result;
  auto* bytes = reinterpret_cast<Uint8*>(words);
  if (padded > total) bytes[total] = 0;

  Jpeg2000FrameCoding coding;
  bool lossy = false;
  for (Uint32 frame = 0; frame < image.frames && result.good(); ++frame) {
    result =
        decodeFrameInto(*pixSeq, ranges[frame], image.layout, bytes + frame * frameBytes, coding);
    lossy = lossy || coding.irreversible;
  }
  if (result.bad()) return result;
  orderByteSamples(image.layout, words, padded);

  const OFString photometric = decodedPhotometric(image.photometric, coding.colourTransform);
  if (photometric != image.photometric) {
    result = item.putAndInsertString(DCM_PhotometricInterpretation, photometric.c_str());
    removeOldRep = OFTrue;
  }
  if (result.good() && image.layout.samplesPerPixel > 1) {
    Uint16 planar = 0;
    if (item.findAndGetUint16(DCM_PlanarConfiguration, planar).good() && planar != 0)
      removeOldRep = OFTrue;
    result = item.putAndInsertUint16(DCM_PlanarConfiguration, 0);  // written colour by pixel
  }
  if (result.good() && parent->ident() == EVR_dataset) {
    const auto* parameter = static_cast<const Jpeg2000DecoderParameter*>(cp);
    if (parameter != nullptr && parameter->createSopInstanceUid())
      result = DcmCodec::newInstance(&item);
    if (result.good() && lossy) result = item.putAndInsertString(DCM_LossyImageCompression, "01");
  }
  return result;
}

OFCondition Jpeg2000Decoder::decodeFrame(const DcmRepresentationParameter*,
                                         DcmPixelSequence* fromPixSeq, const DcmCodecParameter*,
                                         DcmItem* dataset, Uint32 frameNo, Uint32& startFragment,
                                         void* buffer, Uint32 bufSize,
                                         OFString& decompressedColorModel) const {
  if (dataset == nullptr || fromPixSeq == nullptr || buffer == nullptr) return EC_IllegalParameter;
  ImageAttributes image;
  OFCondition result = readImageAttributes(*dataset, image);
  std::vector<FragmentRange> ranges;
  if (result.good()) result = frameFragments(*fromPixSeq, image.frames, ranges);
  if (result.bad()) return result;
  if (frameNo >= image.frames || bufSize < image.layout.bytes()) return EC_IllegalCall;

  Jpeg2000FrameCoding coding;
  result = decodeFrameInto(*fromPixSeq, ranges[frameNo], image.layout, static_cast<Uint8*>(buffer),
                           coding);
  if (result.bad()) return result;
  orderByteSamples(image.layout, buffer, image.layout.bytes());
  startFragment = ranges[frameNo].end;
  decompressedColorModel = decodedPhotometric(image.photometric, coding.colourTransform);
  return EC_Normal;
}

OFCondition Jpeg2000Decoder::encode(const Uint16*, const Uint32, const DcmRepresentationParameter*,
                                    DcmPixelSequence*&, const DcmCodecParameter*, DcmStack&,
                                    OFBool&) const {
  return EC_IllegalCall;  // a decoder only
}

OFCondition Jpeg2000Decoder::encode(const E_TransferSyntax, const DcmRepresentationParameter*,
                                    DcmPixelSequence*, const DcmRepresentationParameter*,
                                    DcmPixelSequence*&, const DcmCodecParameter*, DcmStack&,
                                    OFBool&) const {
  return EC_IllegalCall;
}

OFBool Jpeg2000Decoder::canChangeCoding(const E_TransferSyntax oldRepType,
                                        const E_TransferSyntax newRepType) const {
  return oldRepType == transferSyntax_ && DcmXfer(newRepType).isNotEncapsulated();
}

OFCondition Jpeg2000Decoder::determineDecompressedColorModel(
    const DcmRepresentationParameter* fromParam, DcmPixelSequence* fromPixSeq,
    const DcmCodecParameter* cp, DcmItem* dataset, OFString& decompressedColorModel) const {
  if (dataset == nullptr || fromPixSeq == nullptr) return EC_IllegalParameter;
  ImageAttributes image;
  OFCondition result = readImageAttributes(*dataset, image);
  if (result.bad()) return result;
  // Only the codestream tells whether it was colour transformed: decode the first frame.
  std::vector<Uint8> frame(image.layout.bytes());
  Uint32 startFragment = 0;
  return decodeFrame(fromParam, fromPixSeq, cp, dataset, 0, startFragment, frame.data(),
                     static_cast<Uint32>(frame.size()), decompressedColorModel);
}
