// The text of the item pop-up: a stats entry's value broken into lines.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

// Walking from the end, a "," after a quote, bracket, full stop, backquote
// or colon becomes a line break; other commas and colons get a space after
// them.
std::string StatsPopupText(std::string_view value);

}  // namespace tarnel
