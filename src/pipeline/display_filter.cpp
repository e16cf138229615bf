#include "pipeline/display_filter.h"

namespace tarnel {

std::string DisplayFilter(Client&, std::string_view text) { return std::string(text); }

}  // namespace tarnel
