#include "input/command_history.h"

namespace tarnel {

namespace {

bool StartsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

}  // namespace

void CommandHistory::Entered(std::string_view line, bool keep) {
  prefix_.clear();
  if (keep && !line.empty() && (entries_.Empty() || entries_[entries_.Count() - 1] != line))
    entries_.Add(std::string(line));
  index_ = entries_.Count();
  while (entries_.Count() > kMaxEntries) entries_.DeleteAt(0);
  // The index counts entries after the oldest were dropped.
  if (index_ > entries_.Count()) index_ = entries_.Count();
}

void CommandHistory::Changed(std::string_view text) {
  index_ = entries_.Count();
  prefix_.assign(text);
}

std::optional<std::string> CommandHistory::Back() {
  if (index_ <= 0 || entries_.Empty()) return std::nullopt;
  int i = std::min(index_ - 1, entries_.Count() - 1);
  if (!prefix_.empty()) {
    while (i >= 0 && !StartsWith(entries_[i], prefix_)) --i;
    if (i < 0) return std::nullopt;
  }
  index_ = i;
  return entries_[i];
}

std::optional<std::string> CommandHistory::Forward() {
  int i = index_ + 1;
  if (!prefix_.empty())
    while (i < entries_.Count() && !StartsWith(entries_[i], prefix_)) ++i;
  if (i >= 0 && i < entries_.Count()) {
    index_ = i;
    return entries_[i];
  }
  return std::nullopt;
}

}  // namespace tarnel
