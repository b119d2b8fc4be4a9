#pragma once

#include <string>

// What users see as the product and its version (window titles, tray tooltip, About box,
// --version). The build's project version is 2.1 and its package version 2.1~rc5, so
// that the final 2.1 sorts after this release candidate.
inline constexpr char kProductName[] = "Kalvora";
inline constexpr char kProductVersion[] = "2.1 RC5";

// "Kalvora 2.1 RC5" and, on a second line, the DCMTK version built with (no final
// newline). What both programs print for --version.
std::string productVersionText();
