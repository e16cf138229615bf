// Server text rewritten for display: replaces, gags, highlights and item
// annotations.  Triggers still see the original text.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class Client;

// What the filter keeps between chunks (caches of the entries it applies).
struct DisplayFilterState {};

std::string DisplayFilter(Client& client, std::string_view text);

}  // namespace tarnel
