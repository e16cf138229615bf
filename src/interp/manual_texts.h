// The texts of the built-in manual, as written (UTF-8); the client turns
// them into its own code page once, at start-up.
#pragma once

#include <string_view>
#include <vector>

namespace tarnel {

// One line of the manual: a topic and its text, or a redirect whose value
// is the name of another topic.  A text starts with CR LF; its headings
// "Правила написания:" and "Пример:" are bright ("\x1b[1;37m" ...
// "\x1b[0;37m").
struct ManualTopic {
  std::string_view name;
  std::string_view text;
};

// Every topic in its order, then the redirects.
const std::vector<ManualTopic>& ManualTopicsUtf8();
// The overview "/man" shows without a topic.
std::string_view ManualOverviewUtf8();

}  // namespace tarnel
