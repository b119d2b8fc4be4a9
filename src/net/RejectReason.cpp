#include "net/RejectReason.h"

std::string rejectReasonText(int reason) {
  switch (reason) {
    case 0x101:  // by the service user
    case 0x201:  // by the service provider (ACSE)
      return "no reason given";
    case 0x102:
      return "application context name not supported";
    case 0x103:
      return "calling AE title not recognized";
    case 0x107:
      return "called AE title not recognized";
    case 0x202:
      return "protocol version not supported";
    case 0x301:  // by the service provider (presentation)
      return "temporary congestion";
    case 0x302:
      return "local limit exceeded";
    default:
      return "unknown reason";
  }
}
