#pragma once

#include <optional>
#include <string>

#include <dcmtk/dcmdata/dctagkey.h>

// A tag as DICOM people write it: "0008,0060", "(0008,0060)" (hexadecimal) or a keyword of
// DCMTK's data dictionary ("Modality"); nothing when the text is none of these.
std::optional<DcmTagKey> parseTagText(const std::string& text);

// "(0008,0060) Modality": the tag in hexadecimal with its keyword when the dictionary
// knows it, else "(gggg,eeee)" alone.
std::string describeTag(int group, int element);

// The keyword alone, or "" for a tag the dictionary does not know.
std::string tagKeyword(int group, int element);
