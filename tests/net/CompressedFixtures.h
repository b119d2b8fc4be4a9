#pragma once

#include <string>

#include <dcmtk/dcmdata/dcxfer.h>

// A small image stored compressed: JPEG baseline (8 bit) or JPEG-LS lossless (16 bit).
// Returns its SOP Instance UID. Throws on failure.
std::string writeCompressedImage(const std::string& path, E_TransferSyntax transferSyntax);
