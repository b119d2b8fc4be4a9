#include "dicom/NestingGuard.h"

#include "dicom/DicomByteStream.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dctag.h>
#include <dcmtk/dcmdata/dcvr.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <cctype>
#include <cstring>
#include <exception>
#include <map>
#include <vector>

// The walk mirrors how DCMTK 3.6.7 (with its default settings) decides what a sequence is.
// Where DCMTK would give up on the file, the walk gives up too ("not judged"): the load then
// fails on its own, before any deeper nesting is reached. Where the two could differ on a
// damaged file, the file is rejected either way.

namespace {

constexpr uint32_t kUndefinedLength = 0xFFFFFFFF;
constexpr size_t kMaxPrivateCreatorLength = 1024;

struct Syntax {
  bool explicitVr = true;
  bool bigEndian = false;
};

const Syntax kImplicitLittle{false, false};

enum class FrameKind { Meta, Dataset, Item, Sequence, PixelSequence };

struct Frame {
  FrameKind kind;
  Syntax syntax;
  uint64_t start;   // position of the first value byte
  uint32_t length;  // kUndefinedLength: ends at a delimiter (or the end of the file)
  // (group << 8 | block) -> creator, for the private tags of implicit VR items.
  std::map<uint32_t, std::string> privateCreators;
};

enum class Outcome { Completed, TooDeep, ValueBeyondEnd, Broken };

struct ElementHeader {
  DcmTagKey key;
  DcmEVR vr = EVR_UNKNOWN;
  uint32_t length = 0;
};

uint16_t toUint16(const uint8_t* bytes, bool bigEndian) {
  return bigEndian ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                   : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
}

uint32_t toUint32(const uint8_t* bytes, bool bigEndian) {
  const uint32_t high = toUint16(bigEndian ? bytes : bytes + 2, bigEndian);
  const uint32_t low = toUint16(bigEndian ? bytes + 2 : bytes, bigEndian);
  return high << 16 | low;
}

bool isKnownTag(uint16_t group, uint16_t element) { return DcmTag(group, element).error().good(); }

bool isStandardVrName(const uint8_t* name) {
  if (!std::isalpha(name[0]) || !std::isalpha(name[1])) return false;
  const char text[3] = {static_cast<char>(name[0]), static_cast<char>(name[1]), 0};
  return DcmVR(text).isStandard();
}

// DCMTK's guess from the first tag and the two bytes after it.
Syntax guessSyntax(DicomByteStream& in) {
  uint8_t bytes[6];
  if (in.peek(bytes, 6) < 6) return Syntax{true, false};
  const uint16_t group = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  const uint16_t element = static_cast<uint16_t>(bytes[2] | bytes[3] << 8);
  const auto swap = [](uint16_t v) { return static_cast<uint16_t>(v << 8 | v >> 8); };
  const bool littleKnown = isKnownTag(group, element);
  const bool bigKnown = isKnownTag(swap(group), swap(element));
  const bool explicitVr = isStandardVrName(bytes + 4);
  bool bigEndian = false;
  if (littleKnown || bigKnown) {
    if (!littleKnown)
      bigEndian = true;
    else if (bigKnown)
      bigEndian = group > 0xff && swap(group) <= 0xff;
  }
  return Syntax{explicitVr, bigEndian};
}

bool nextTagIsMeta(DicomByteStream& in) {
  uint8_t bytes[2];
  if (in.peek(bytes, 2) < 2) return false;
  return (bytes[0] == 0x02 && bytes[1] == 0x00) || (bytes[0] == 0x00 && bytes[1] == 0x02);
}

// A private creator as DCMTK keys its cache: trailing spaces go, then the text ends at a NUL.
std::string creatorText(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.substr(0, text.find('\0'));
}

// A UID as DCMTK compares it: up to a NUL, without surrounding spaces.
std::string uidText(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  text = text.substr(0, text.find('\0'));
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isStringVr(DcmEVR vr) {
  switch (vr) {
    case EVR_AE:
    case EVR_AS:
    case EVR_CS:
    case EVR_DA:
    case EVR_DS:
    case EVR_DT:
    case EVR_IS:
    case EVR_LO:
    case EVR_LT:
    case EVR_PN:
    case EVR_SH:
    case EVR_ST:
    case EVR_TM:
    case EVR_UC:
    case EVR_UI:
    case EVR_UR:
    case EVR_UT:
      return true;
    default:
      return false;
  }
}

// How the data set after the meta header is read, as DCMTK derives it from a UID.
struct DatasetEncoding {
  bool readable = true;  // false: a stream compression DCMTK does not read
  bool guessed = true;   // no known UID: guessed from the first bytes
  bool deflated = false;
  Syntax syntax;
};

DatasetEncoding encodingOf(const std::string& uid) {
  DatasetEncoding encoding;
  const DcmXfer xfer(uid.c_str());
  if (uid.empty() || xfer.getXfer() == EXS_Unknown) return encoding;
  encoding.guessed = false;
  encoding.syntax = Syntax{xfer.isExplicitVR(), xfer.getByteOrder() == EBO_BigEndian};
  encoding.deflated = xfer.getStreamCompression() == ESC_zlib;
  encoding.readable = xfer.getStreamCompression() == ESC_none || encoding.deflated;
  return encoding;
}

class StructureWalker {
 public:
  StructureWalker(DicomByteStream& in, int maxDepth) : in_(in), maxDepth_(maxDepth) {}

  // Reads the meta header, if any, and notes its transfer syntax UIDs.
  Outcome walkMetaHeader(Syntax syntax);
  Outcome walkDataset(Syntax syntax);
  // The first transfer syntax UID at the meta header's top level: the one DCMTK reads.
  const std::string& transferSyntaxUid() const { return transferSyntaxUid_; }
  // Any other, nested or repeated: a crafted header could make DCMTK find one of them.
  const std::vector<std::string>& otherTransferSyntaxUids() const { return otherUids_; }

 private:
  enum class Step { Continue, Finished, TooDeep, ValueBeyondEnd, Broken };

  Step skipValue(uint64_t length);

  Outcome run();
  Step stepContainer(Frame& frame);
  Step stepSequence(Frame& frame);
  Step readElementHeader(const Frame& frame, ElementHeader& header);
  Step handleElement(Frame& frame, const ElementHeader& header);
  Step readLeafValue(Frame& frame, const ElementHeader& header);
  Step pushSequence(FrameKind kind, Syntax syntax, uint32_t length);
  bool frameComplete(const Frame& frame) const;

  DicomByteStream& in_;
  const int maxDepth_;
  int depth_ = 0;
  std::vector<Frame> stack_;
  bool metaByGroup_ = false;  // no usable group length: the meta header ends with group 0002
  bool inMeta_ = false;
  bool uidSeen_ = false;
  std::string transferSyntaxUid_;
  std::vector<std::string> otherUids_;
};

bool StructureWalker::frameComplete(const Frame& frame) const {
  if (frame.kind == FrameKind::Meta && metaByGroup_) return !nextTagIsMeta(in_) || in_.atEnd();
  if (frame.kind == FrameKind::Meta && in_.atEnd()) return true;
  return frame.length != kUndefinedLength && in_.position() - frame.start >= frame.length;
}

StructureWalker::Step StructureWalker::readElementHeader(const Frame& frame,
                                                         ElementHeader& header) {
  const Syntax syntax = frame.syntax;
  uint8_t tag[4];
  if (in_.atEnd()) return Step::Finished;
  if (!in_.read(tag, 4)) return Step::Broken;
  const uint16_t group = toUint16(tag, syntax.bigEndian);
  const uint16_t element = toUint16(tag + 2, syntax.bigEndian);
  header.key = DcmTagKey(group, element);
  // In explicit VR the dictionary only tells the delimiters (group FFFE) from elements;
  // looking every tag up would cost more than the rest of the walk.
  DcmTag dcmTag;
  if (!syntax.explicitVr || group == 0xFFFE) {
    dcmTag = DcmTag(group, element);
    header.vr = dcmTag.getEVR();
  }
  if (syntax.explicitVr && header.vr != EVR_na) {
    uint8_t name[3] = {0, 0, 0};
    if (!in_.read(name, 2)) return Step::Broken;
    DcmVR vr(reinterpret_cast<const char*>(name));
    if (!vr.isStandard() && header.key == DCM_PixelData && std::memcmp(name, "OX", 2) == 0)
      vr.setVR(EVR_OW);
    header.vr = vr.getEVR();
  } else if (!syntax.explicitVr && (group & 1) && element >= 0x1000) {
    const auto creator = frame.privateCreators.find(uint32_t{group} << 8 | element >> 8);
    if (creator != frame.privateCreators.end()) {
      dcmTag.setPrivateCreator(creator->second.c_str());
      dcmTag.lookupVRinDictionary();
      header.vr = dcmTag.getEVR();
    }
  }
  uint8_t length[6];
  if (!syntax.explicitVr || header.vr == EVR_na) {
    if (!in_.read(length, 4)) return Step::Broken;
    header.length = toUint32(length, syntax.bigEndian);
  } else if (DcmVR(header.vr).usesExtendedLengthEncoding()) {
    if (!in_.read(length, 6)) return Step::Broken;
    header.length = toUint32(length + 2, syntax.bigEndian);
  } else {
    if (!in_.read(length, 2)) return Step::Broken;
    header.length = toUint16(length, syntax.bigEndian);
  }
  // Pixel and overlay data without a VR of their own are words.
  if (!syntax.explicitVr && (header.vr == EVR_ox || header.vr == EVR_px) &&
      (header.key == DCM_PixelData || header.key.getBaseTag() == DCM_OverlayData))
    header.vr = EVR_OW;
  return Step::Continue;
}

// DCMTK fails such a load too, but from deflated data (which it cannot read twice) it first
// allocates the whole declared length: up to 4 GiB for a few hundred bytes of file.
StructureWalker::Step StructureWalker::skipValue(uint64_t length) {
  if (in_.skip(length)) return Step::Continue;
  return in_.inflating() ? Step::ValueBeyondEnd : Step::Broken;
}

StructureWalker::Step StructureWalker::pushSequence(FrameKind kind, Syntax syntax,
                                                    uint32_t length) {
  if (++depth_ > maxDepth_) return Step::TooDeep;
  stack_.push_back(Frame{kind, syntax, in_.position(), length, {}});
  return Step::Continue;
}

StructureWalker::Step StructureWalker::readLeafValue(Frame& frame, const ElementHeader& header) {
  if (header.length == kUndefinedLength) return Step::Broken;
  const bool creatorInImplicitItem = !frame.syntax.explicitVr && header.key.isPrivateReservation();
  if (creatorInImplicitItem && header.length <= kMaxPrivateCreatorLength) {
    std::vector<uint8_t> value(header.length);
    if (!in_.read(value.data(), value.size())) return Step::Broken;
    const uint32_t block = uint32_t{header.key.getGroup()} << 8 | header.key.getElement();
    frame.privateCreators[block] = creatorText(value);
    return Step::Continue;
  }
  return skipValue(header.length);
}

StructureWalker::Step StructureWalker::handleElement(Frame& frame, const ElementHeader& header) {
  if (header.vr == EVR_na) {
    // An item delimiter ends an item, and ends the reading of a data set or meta header.
    if (header.key != DCM_ItemDelimitationItem) return Step::Broken;
    const bool item = frame.kind == FrameKind::Item;
    stack_.pop_back();
    return item ? Step::Continue : Step::Finished;
  }
  if (inMeta_ && header.key == DCM_TransferSyntaxUID && header.vr != EVR_SQ &&
      header.length <= 256) {
    std::vector<uint8_t> value(header.length);
    if (!in_.read(value.data(), value.size())) return Step::Broken;
    // DCMTK reads the UID only from a string element; from any other it reads none.
    if (frame.kind == FrameKind::Meta && !uidSeen_ && isStringVr(header.vr)) {
      transferSyntaxUid_ = uidText(value);
    } else {
      otherUids_.push_back(uidText(value));
    }
    uidSeen_ = uidSeen_ || frame.kind == FrameKind::Meta;
    return Step::Continue;
  }
  const bool unknownVr =
      header.vr == EVR_UN || header.vr == EVR_UNKNOWN || header.vr == EVR_UNKNOWN2B;
  // Any OB/OW value of undefined length (not only Pixel Data) is read as fragments.
  const bool words =
      header.vr == EVR_OB || header.vr == EVR_OW || header.vr == EVR_ox || header.vr == EVR_px;
  const bool undefined = header.length == kUndefinedLength;
  const bool sequence = header.vr == EVR_SQ || (unknownVr && undefined);
  const bool pixelSequence = words && undefined;
  // A file ending right after an element's header ends the data set (or meta header) for
  // DCMTK, which keeps the element, empty; inside an item it is a failed load.
  const bool topLevel = frame.kind == FrameKind::Dataset || frame.kind == FrameKind::Meta;
  if (topLevel && header.length != 0 && in_.atEnd()) {
    if ((sequence || pixelSequence) && depth_ + 1 > maxDepth_) return Step::TooDeep;
    return Step::Finished;
  }
  if (sequence)
    return pushSequence(FrameKind::Sequence, unknownVr ? kImplicitLittle : frame.syntax,
                        header.length);
  if (pixelSequence) return pushSequence(FrameKind::PixelSequence, frame.syntax, header.length);
  return readLeafValue(frame, header);
}

StructureWalker::Step StructureWalker::stepContainer(Frame& frame) {
  if (frameComplete(frame)) {
    const bool meta = frame.kind == FrameKind::Meta;
    stack_.pop_back();
    return meta ? Step::Finished : Step::Continue;
  }
  ElementHeader header;
  const Step read = readElementHeader(frame, header);
  if (read == Step::Finished) {
    // The end of the file ends an item or the data set; a sequence then misses its end.
    const bool dataset = frame.kind == FrameKind::Dataset || frame.kind == FrameKind::Meta;
    return dataset ? Step::Finished : Step::Broken;
  }
  if (read != Step::Continue) return read;
  return handleElement(frame, header);
}

StructureWalker::Step StructureWalker::stepSequence(Frame& frame) {
  if (frameComplete(frame)) {
    stack_.pop_back();
    --depth_;
    return Step::Continue;
  }
  uint8_t bytes[8];
  if (!in_.read(bytes, 8)) return Step::Broken;
  const DcmTagKey key(toUint16(bytes, frame.syntax.bigEndian),
                      toUint16(bytes + 2, frame.syntax.bigEndian));
  const uint32_t length = toUint32(bytes + 4, frame.syntax.bigEndian);
  if (key == DCM_SequenceDelimitationItem) {
    stack_.pop_back();
    --depth_;
    return Step::Continue;
  }
  if (key != DCM_Item) return Step::Broken;
  if (frame.kind == FrameKind::PixelSequence) {
    if (length == kUndefinedLength) return Step::Broken;
    return skipValue(length);
  }
  const Syntax syntax = frame.syntax;
  stack_.push_back(Frame{FrameKind::Item, syntax, in_.position(), length, {}});
  return Step::Continue;
}

Outcome StructureWalker::run() {
  while (!stack_.empty()) {
    Frame& frame = stack_.back();
    const bool sequence =
        frame.kind == FrameKind::Sequence || frame.kind == FrameKind::PixelSequence;
    const Step step = sequence ? stepSequence(frame) : stepContainer(frame);
    if (step == Step::TooDeep) return Outcome::TooDeep;
    if (step == Step::ValueBeyondEnd) return Outcome::ValueBeyondEnd;
    if (step == Step::Broken) return Outcome::Broken;
    if (step == Step::Finished) return Outcome::Completed;
  }
  return Outcome::Completed;
}

Outcome StructureWalker::walkMetaHeader(Syntax syntax) {
  uint8_t head[12];
  if (in_.peek(head, 12) < 12) return Outcome::Broken;  // DCMTK needs a group length's worth
  if (!nextTagIsMeta(in_)) return Outcome::Completed;   // no meta header
  stack_.clear();
  depth_ = 0;
  inMeta_ = true;
  stack_.push_back(Frame{FrameKind::Meta, syntax, in_.position(), kUndefinedLength, {}});
  // The first element gives the meta header's length when it is its group length.
  ElementHeader first;
  if (readElementHeader(stack_.back(), first) != Step::Continue) return Outcome::Broken;
  // Anything else there (even a group length of another VR, which DCMTK reads in full before
  // it fails) is walked like any element.
  if (first.key == DCM_FileMetaInformationGroupLength && first.vr == EVR_UL && first.length >= 4 &&
      !in_.atEnd()) {
    uint8_t value[4];
    if (!in_.read(value, 4) || !in_.skip(first.length - 4)) return Outcome::Broken;
    Frame& meta = stack_.back();
    // DCMTK adds in 32 bits; the all-ones sum means "undefined".
    meta.length =
        static_cast<uint32_t>(toUint32(value, syntax.bigEndian) + (in_.position() - meta.start));
    metaByGroup_ = meta.length == kUndefinedLength;
  } else {
    metaByGroup_ = true;
    const Step step = handleElement(stack_.back(), first);
    if (step == Step::TooDeep) return Outcome::TooDeep;
    if (step == Step::Finished) return Outcome::Completed;
    if (step != Step::Continue) return Outcome::Broken;
  }
  return run();
}

Outcome StructureWalker::walkDataset(Syntax syntax) {
  inMeta_ = false;
  stack_.clear();
  depth_ = 0;
  stack_.push_back(Frame{FrameKind::Dataset, syntax, in_.position(), kUndefinedLength, {}});
  return run();
}

Outcome walkDataset(DicomByteStream& in, const DatasetEncoding& encoding, int maxDepth) {
  if (!encoding.readable) return Outcome::Broken;  // DCMTK cannot read it either
  const Syntax syntax = encoding.guessed ? guessSyntax(in) : encoding.syntax;
  if (encoding.deflated && !in.startInflating()) return Outcome::Broken;
  return StructureWalker(in, maxDepth).walkDataset(syntax);
}

NestingVerdict verdictOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Completed:
      return NestingVerdict::Acceptable;
    case Outcome::TooDeep:
      return NestingVerdict::TooDeep;
    case Outcome::ValueBeyondEnd:
      return NestingVerdict::ValueBeyondEnd;
    case Outcome::Broken:
      break;
  }
  return NestingVerdict::NotJudged;
}

}  // namespace

NestingVerdict checkNestingDepth(const std::string& path, int maxDepth,
                                 const std::atomic<bool>* stop) {
  try {
    DicomByteStream in(path, stop);
    if (!in.isOpen()) return NestingVerdict::NotJudged;
    uint8_t preamble[132];
    if (in.peek(preamble, sizeof preamble) == sizeof preamble &&
        std::memcmp(preamble + 128, "DICM", 4) == 0)
      in.skip(sizeof preamble);
    if (in.atEnd()) return NestingVerdict::NotJudged;

    StructureWalker meta(in, maxDepth);
    const Outcome metaOutcome = meta.walkMetaHeader(guessSyntax(in));
    if (metaOutcome != Outcome::Completed) return verdictOf(metaOutcome);

    const uint64_t datasetStart = in.position();  // the meta header is never deflated
    const Outcome outcome = walkDataset(in, encodingOf(meta.transferSyntaxUid()), maxDepth);
    if (outcome != Outcome::Completed && outcome != Outcome::Broken) return verdictOf(outcome);
    // A meta header with more than one transfer syntax UID leaves doubt about the one
    // DCMTK takes: the data set must pass under each of them, and under a guess.
    std::vector<DatasetEncoding> doubtful;
    for (const std::string& uid : meta.otherTransferSyntaxUids())
      doubtful.push_back(encodingOf(uid));
    if (!doubtful.empty()) doubtful.push_back(DatasetEncoding{});
    for (const DatasetEncoding& encoding : doubtful) {
      DicomByteStream again(path, stop);
      if (again.skip(datasetStart) && walkDataset(again, encoding, maxDepth) == Outcome::TooDeep)
        return NestingVerdict::TooDeep;
    }
    return verdictOf(outcome);
  } catch (const std::exception&) {
    return NestingVerdict::NotJudged;  // out of memory for a value: DCMTK decides
  }
}
