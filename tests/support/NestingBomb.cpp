#include "NestingBomb.h"

#include "RawDicomWriter.h"

#include <cstdint>

namespace {

constexpr uint32_t kUndefined = 0xFFFFFFFF;

// levels of sequence > item > ... around one CodeValue element; `prefix` goes before each
// sequence (the private creator of a private one).
void writeNesting(RawDicomWriter& w, int levels, bool explicitVr, bool definedLengths,
                  uint16_t group = 0x0040, uint16_t element = 0xA730,
                  const std::string& prefix = "") {
  const uint32_t innerLength = 8 + 4;  // (0008,0100) "CODE", same header size in both
  const uint32_t sequenceHeader = explicitVr ? 12 : 8;
  const uint32_t prefixLength = static_cast<uint32_t>(prefix.size());
  for (int level = 0; level < levels; ++level) {
    const uint32_t below = static_cast<uint32_t>(levels - level);
    const uint32_t sequenceLength =
        below * 8 + (below - 1) * (sequenceHeader + prefixLength) + innerLength;
    w.raw(prefix);
    w.header(group, element, "SQ", definedLengths ? sequenceLength : kUndefined);
    w.item(definedLengths ? sequenceLength - 8 : kUndefined);
  }
  w.element(0x0008, 0x0100, "SH", "CODE");
  if (definedLengths) return;
  for (int level = 0; level < levels; ++level) w.itemEnd().sequenceEnd();
}

void writeLeadingElements(RawDicomWriter& w) {
  w.element(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7", 25) + '\0');
  w.element(0x0008, 0x0018, "UI", std::string("1.2.3.4.5.6.7.8.9", 18));
}

}  // namespace

std::string NestingBomb::bytes() const {
  const bool explicitVr = syntax != Syntax::ImplicitLittle;
  const bool bigEndian = syntax == Syntax::ExplicitBig;
  if (carrier == Carrier::MetaGroupLength) {
    RawDicomWriter meta;
    meta.raw(std::string(128, '\0')).raw("DICM");
    writeNesting(meta, levels, true, definedLengths, 0x0002, 0x0000);
    RawDicomWriter dataset;
    writeLeadingElements(dataset);
    return meta.bytes() + dataset.bytes();
  }
  if (carrier == Carrier::MetaHeader) {
    RawDicomWriter meta;
    meta.raw(std::string(128, '\0')).raw("DICM");
    meta.element(0x0002, 0x0001, "OB", std::string("\0\1", 2))
        .element(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1", 20));
    writeNesting(meta, levels, true, definedLengths, 0x0002, 0x0300);
    RawDicomWriter dataset;
    writeLeadingElements(dataset);
    return meta.bytes() + dataset.bytes();
  }

  RawDicomWriter dataset(explicitVr, bigEndian);
  writeLeadingElements(dataset);
  if (carrier == Carrier::UnknownVr) {
    dataset.element(0x0009, 0x0010, "LO", "KALVORA TEST");
    dataset.header(0x0009, 0x1010, "UN", kUndefined);
    RawDicomWriter inner(false, false);
    inner.item();
    writeNesting(inner, levels, false, definedLengths);
    inner.itemEnd().sequenceEnd();
    dataset.raw(inner.bytes());
  } else if (carrier == Carrier::PrivateSequence) {
    // A private creator whose dictionary entry (0009,xx00) is a sequence; in implicit VR only
    // the creator tells that it is one.
    RawDicomWriter creator(explicitVr, bigEndian);
    creator.element(0x0009, 0x0010, "LO", "DCMTK_ANONYMIZER");
    writeNesting(dataset, levels, explicitVr, definedLengths, 0x0009, 0x1000, creator.bytes());
  } else {
    writeNesting(dataset, levels, explicitVr, definedLengths);
  }

  std::string uid = "1.2.840.10008.1.2.1";
  if (syntax == Syntax::ImplicitLittle) uid = "1.2.840.10008.1.2";
  if (syntax == Syntax::ExplicitBig) uid = "1.2.840.10008.1.2.2";
  if (syntax == Syntax::Deflated) uid = "1.2.840.10008.1.2.1.99";
  const std::string body =
      syntax == Syntax::Deflated ? rawDeflate(dataset.bytes()) : dataset.bytes();
  return withMetaHeader ? rawMetaHeader(uid) + body : body;
}
