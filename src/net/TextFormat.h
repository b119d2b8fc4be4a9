#pragma once

#include <string>

// printf-style formatting into a std::string, for the fixed report texts.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
