#pragma once

#include <cstddef>
#include <cstdint>

// Whether a JPEG stream says itself how its three components are coded: a JFIF or an Adobe
// marker, or component ids 'R', 'G', 'B'. Ids 1, 2, 3 alone are no evidence: RGB samples
// compressed without colour transform carry them too. Reads the markers up to the first scan.
bool jpegStreamNamesItsColours(const std::uint8_t* stream, std::size_t size);

// Whether the markers of a JPEG stream lead, within its bytes, from its start (SOI) to a frame
// header (SOF). DCMTK's JPEG decoder walks them for the sample precision before decoding, and
// does not come back from some damaged streams: those are not given to it.
bool jpegStreamReachesFrameHeader(const std::uint8_t* stream, std::size_t size);
