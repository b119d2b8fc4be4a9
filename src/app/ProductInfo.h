#pragma once

// The product as the windows, the tray and the help window name it.
inline constexpr char kProductName[] = "Kalvora";
inline constexpr char kProductVersion[] = "2.1 RC5";
