#include "text/stamps.h"

#include <cstdio>

namespace tarnel::text {

std::string DateStamp(const std::tm& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.tm_mday % 100, (t.tm_mon + 1) % 100,
                (t.tm_year + 1900) % 10000);
  return buf;
}

std::string TimeStamp(const std::tm& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", t.tm_hour % 100, t.tm_min % 100);
  return buf;
}

}  // namespace tarnel::text
