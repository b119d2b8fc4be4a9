#include "media/CharacterSet.h"

#include <algorithm>
#include <memory>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcelem.h>
#include <dcmtk/dcmdata/dcvr.h>

namespace {

bool isAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool declaresUtf8(DcmDataset& dataset) {
  OFString declared;
  dataset.findAndGetOFStringArray(DCM_SpecificCharacterSet, declared, OFFalse);
  return declared.find("ISO_IR 192") != OFString_npos;
}

// A conversion that fails half-way leaves some texts converted and the old label: it is
// tried first on a copy of the texts (and sequences) alone, without the bulk data.
bool convertibleToUtf8(DcmDataset& dataset) {
  DcmDataset texts;
  for (unsigned long i = 0; i < dataset.card(); ++i) {
    DcmElement* element = dataset.getElement(i);
    if (element == nullptr) continue;
    const DcmEVR vr = element->ident();
    if (vr == EVR_SQ || DcmVR(vr).isAffectedBySpecificCharacterSet() ||
        element->getTag() == DCM_SpecificCharacterSet) {
      texts.insert(OFstatic_cast(DcmElement*, element->clone()));
    }
  }
  return texts.convertToUTF8().good();
}

// Each UTF-8 character outside ASCII becomes one '?'.
std::string asciiStandIn(const std::string& value) {
  std::string ascii;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80)
      ascii += c;
    else if ((byte & 0xC0) != 0x80)  // not a continuation byte
      ascii += '?';
  }
  return ascii;
}

}  // namespace

std::string PrepareForText(DcmDataset& dataset, const std::string& value) {
  if (isAscii(value) || declaresUtf8(dataset)) return value;
  if (convertibleToUtf8(dataset) && dataset.convertToUTF8().good()) return value;
  return asciiStandIn(value);
}
