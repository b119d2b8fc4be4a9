#include "media/CharacterSet.h"

#include <algorithm>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>

namespace {

bool isAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void PrepareForText(DcmDataset& dataset, const std::string& value) {
  if (isAscii(value)) return;
  OFString declared;
  dataset.findAndGetOFStringArray(DCM_SpecificCharacterSet, declared, OFFalse);
  if (declared.find("ISO_IR 192") != OFString_npos) return;
  if (dataset.convertToUTF8().good()) return;
  // The texts already there cannot be decoded in their own character set; the value we
  // write is valid UTF-8, so at least that one must be declared as such.
  dataset.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192", OFTrue);
}
