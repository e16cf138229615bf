#include "interp/host.h"

#include <ctime>

namespace tarnel {

std::tm Host::Now() const {
  const std::time_t t = std::time(nullptr);
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

}  // namespace tarnel
