#include "stats/popup_text.h"

namespace tarnel {

std::string StatsPopupText(std::string_view value) {
  std::string s(value);
  if (!s.empty() && s.back() == ',') s.pop_back();
  bool flag = false;
  for (std::size_t k = s.size(); k-- > 0;) {
    const char c = s[k];
    if (c == ':') {
      s.insert(k + 1, 1, ' ');
      flag = true;
    } else if (c == '"' || c == '\'' || c == '(' || c == ')' || c == '.' || c == '`') {
      flag = true;
    } else if (c == ',') {
      if (flag) {
        s[k] = '\n';
        flag = false;
      } else {
        s.insert(k + 1, 1, ' ');
      }
    }
  }
  return s;
}

}  // namespace tarnel
