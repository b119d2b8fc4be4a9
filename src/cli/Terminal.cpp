#include "cli/Terminal.h"

#include <unistd.h>

#include <cstdio>

std::mutex& terminalMutex() {
  static std::mutex mutex;
  return mutex;
}

std::atomic<bool>& questionWaiting() {
  static std::atomic<bool> waiting{false};
  return waiting;
}

std::string printableText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7f && c != 0xc2)) {
      out += static_cast<char>(c);
      continue;
    }
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == 0xc2 && (next < 0x80 || next > 0x9f)) {
      out += static_cast<char>(c);  // a printable character of UTF-8
      continue;
    }
    char escaped[8];
    switch (c) {
      case 0x07:
        out += "\\a";
        break;
      case 0x08:
        out += "\\b";
        break;
      case 0x0b:
        out += "\\v";
        break;
      case 0x0c:
        out += "\\f";
        break;
      case 0x0d:
        out += "\\r";
        break;
      case 0x1b:
        out += "\\e";
        break;
      case 0xc2:  // a control character of UTF-8's C1 range (U+0080 to U+009F)
        std::snprintf(escaped, sizeof escaped, "\\x%02X", next);
        out += escaped;
        ++i;
        break;
      default:
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    }
  }
  return out;
}

bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
