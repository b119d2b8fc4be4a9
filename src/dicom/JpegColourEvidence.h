#pragma once

#include <cstddef>
#include <cstdint>

// Whether a JPEG stream says itself how its three components are coded: a JFIF or an Adobe
// marker, or component ids 'R', 'G', 'B'. Ids 1, 2, 3 alone are no evidence: RGB samples
// compressed without colour transform carry them too. Reads the markers up to the first scan.
bool jpegStreamNamesItsColours(const std::uint8_t* stream, std::size_t size);
