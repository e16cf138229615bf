#include "pipeline/pattern_variables.h"

#include "interp/variable_names.h"
#include "script/string_list.h"

namespace tarnel {


PatternVariables::PatternVariables(std::string_view text) {
  // The same walk as the interpreter's substitution: references count only
  // outside double quotes and braces.
  Piece piece;
  bool quoted = false;
  int depth = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '{') {
      ++depth;
    } else if (!quoted && c == '}') {
      --depth;
    } else if (c == '%' && !quoted && depth == 0 && i + 1 < n &&
               IsNameStart(static_cast<unsigned char>(text[i + 1]))) {
      std::size_t e = i + 1;
      while (e < n && IsNameChar(static_cast<unsigned char>(text[e]))) ++e;
      Reference ref;
      ref.name.assign(text.substr(i + 1, e - i - 1));
      if (ref.name.find('.') == std::string::npos) ref.full = "default.";
      ref.full += ref.name;
      ref.call = e < n && text[e] == '(';
      if (!ref.call && e < n && text[e] == '|') ++e;
      piece.reference = static_cast<int>(references_.size());
      references_.push_back(std::move(ref));
      pieces_.push_back(std::move(piece));
      piece = Piece();
      i = e;
      continue;
    }
    piece.text += c;
    ++i;
  }
  pieces_.push_back(std::move(piece));
}

std::vector<std::string_view> PatternVariables::Names() const {
  std::vector<std::string_view> names;
  names.reserve(references_.size());
  for (const Reference& ref : references_) names.push_back(ref.full);
  return names;
}

const std::string& PatternVariables::Substitute(TStringList& vars, bool& changed) {
  changed = !built_;
  for (Reference& ref : references_) {
    if (!ref.resolved || ref.layout != vars.LayoutChanges()) {
      ref.index = vars.IndexOfName(ref.full);
      ref.layout = vars.LayoutChanges();
      ref.resolved = true;
    }
    const bool found = ref.index >= 0;
    if (!found) {
      if (ref.found) changed = true;
      ref.found = false;
      ref.line.clear();
      ref.value.clear();
      continue;
    }
    // The whole line compares faster than the value can be cut out of it.
    const std::string& line = vars[ref.index];
    if (ref.found && line == ref.line) continue;
    const std::string_view value = TStringList::ValueOf(line);
    if (!ref.found || value != ref.value) {
      ref.value.assign(value);
      changed = true;
    }
    ref.found = true;
    ref.line = line;
  }
  if (!changed) return result_;
  result_.clear();
  for (const Piece& piece : pieces_) {
    result_ += piece.text;
    if (piece.reference < 0) continue;
    const Reference& ref = references_[static_cast<std::size_t>(piece.reference)];
    if (ref.found)
      result_ += ref.value;
    else if (ref.call)
      result_.append("%").append(ref.name);  // left for a function call
    else
      result_ += ref.name;
  }
  built_ = true;
  return result_;
}

}  // namespace tarnel
