#include "platform/SystemLog.h"

#include <syslog.h>

void writeAuthPrivLog(const std::string& message) {
  syslog(LOG_AUTHPRIV | LOG_NOTICE, "%s", message.c_str());
}
