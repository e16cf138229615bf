#include "script/string_list.h"


#include "script/text_file.h"
#include "text/case_fold.h"

namespace tarnel {

// Eight folded bytes make one word, and each word costs one multiply: a
// multiply per byte made the hash most of the cost of looking a name up.
std::size_t TStringList::FoldHash::operator()(std::string_view s) const noexcept {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  std::size_t n = s.size();
  std::uint64_t h = 0x243F6A8885A308D3ULL ^ n;
  auto fold = [](const unsigned char* q, std::size_t len) {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < len; ++i) w |= std::uint64_t{text::FoldByte(q[i])} << (8 * i);
    return w;
  };
  for (; n >= 8; p += 8, n -= 8) {
    h = (h ^ fold(p, 8)) * kMul;
    h ^= h >> 32;
  }
  if (n > 0) {
    h = (h ^ fold(p, n)) * kMul;
    h ^= h >> 32;
  }
  h *= kMul;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

bool TStringList::FoldEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  return text::SameText(a, b);
}

std::string_view TStringList::NameOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

std::string_view TStringList::ValueOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

std::string_view TStringList::GroupOf(std::string_view name) {
  const auto dot = name.find('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string_view TStringList::ShortOf(std::string_view name) {
  const auto dot = name.find('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

void TStringList::Touch(bool layout) {
  // Stamps are unique among all lists of a thread, so a cache that kept a
  // stamp never mistakes another list's change for its own.  The client
  // keeps its lists on one thread; a locked add on every change of a
  // line variable cost more than the change itself.
  thread_local std::uint64_t next_stamp = 0;
  changes_ = ++next_stamp;
  if (layout) layout_changes_ = changes_;
}

// Every line with a "=" is in the full-name index, the empty name of a line
// that begins with "=" too, so a name the index lacks is in no line and a
// lookup never has to scan.  Empty short names are never indexed.
void TStringList::IndexLine(int i) {
  const std::string& line = lines_[static_cast<std::size_t>(i)];
  const auto eq = line.find('=');
  if (eq == std::string::npos) return;
  const std::string_view name(line.data(), eq);
  full_.try_emplace(std::string(name), i);
  if (eq == 0) return;
  const auto dot = name.find('.');
  if (dot == std::string_view::npos)
    short_.try_emplace(std::string(name), i);
  else if (dot + 1 < name.size())
    short_.try_emplace(std::string(name.substr(dot + 1)), i);
}

void TStringList::RebuildIndexes() {
  full_.clear();
  short_.clear();
  full_.reserve(lines_.size());
  short_.reserve(lines_.size());
  for (int i = 0; i < Count(); ++i) IndexLine(i);
}

int TStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  Touch(true);
  const int i = Count() - 1;
  IndexLine(i);
  return i;
}

void TStringList::Insert(int i, std::string line) {
  if (i < 0) i = 0;
  if (i > Count()) i = Count();
  lines_.insert(lines_.begin() + i, std::move(line));
  Touch(true);
  RebuildIndexes();
}

void TStringList::Put(int i, std::string line) {
  if (i < 0 || i >= Count()) return;
  std::string& slot = lines_[static_cast<std::size_t>(i)];
  const auto old_eq = slot.find('='), new_eq = line.find('=');
  // The indexes change only with the name as lookups compare it; the layout
  // changes with any byte of the name (or of a line without "="), since
  // readers match names letter case and all.
  const bool same_key = (old_eq == std::string::npos) == (new_eq == std::string::npos) &&
                        (old_eq == std::string::npos ||
                         text::SameText(std::string_view(slot).substr(0, old_eq),
                                        std::string_view(line).substr(0, new_eq)));
  const bool same_bytes = (old_eq == std::string::npos) == (new_eq == std::string::npos) &&
                          std::string_view(slot).substr(0, old_eq) ==
                              std::string_view(line).substr(0, new_eq);
  slot = std::move(line);
  Touch(!same_bytes);
  if (!same_key) RebuildIndexes();
}

void TStringList::SetValueAt(int i, std::string_view value, std::size_t name_length) {
  if (i < 0 || i >= Count()) return;
  std::string& slot = lines_[static_cast<std::size_t>(i)];
  // A name holds no "=", so one right after the name is the first.
  auto eq = name_length;
  if (eq >= slot.size() || slot[eq] != '=') eq = slot.find('=');
  if (eq == std::string::npos) return;
  if (value.data() >= slot.data() && value.data() <= slot.data() + slot.size()) {
    slot.replace(eq + 1, std::string::npos, value);  // a value taken from this line
  } else {
    slot.resize(eq + 1);
    slot.append(value);
  }
  Touch(false);
}

void TStringList::DeleteAt(int i) {
  if (i < 0 || i >= Count()) return;
  lines_.erase(lines_.begin() + i);
  Touch(true);
  RebuildIndexes();
}

void TStringList::Clear() {
  lines_.clear();
  Touch(true);
  full_.clear();
  short_.clear();
}

int TStringList::IndexOfName(std::string_view name) const {
  const auto it = full_.find(name);
  return it == full_.end() ? -1 : it->second;
}

int TStringList::IndexOfShortName(std::string_view short_name) const {
  const auto it = short_.find(short_name);
  return it == short_.end() ? -1 : it->second;
}

std::string TStringList::GetValue(std::string_view name) const {
  const int i = IndexOfName(name);
  return i < 0 ? std::string() : std::string(ValueAt(i));
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
  const int i = IndexOfName(name);
  if (!value.empty()) {
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    if (i < 0)
      Add(std::move(line));
    else
      Put(i, std::move(line));
  } else if (i >= 0) {
    DeleteAt(i);
  }
}

void TStringList::SetText(std::string_view text) {
  Clear();
  for (auto& line : SplitTextLines(text)) Add(std::move(line));
}

std::string TStringList::Text() const {
  std::string out;
  for (const auto& line : lines_) out.append(line).append("\r\n");
  return out;
}

bool TStringList::LoadFromFile(std::string_view path) {
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  SetText(content);
  return true;
}

bool TStringList::SaveToFile(std::string_view path) const { return WriteFileSafely(path, Text()); }

}  // namespace tarnel
