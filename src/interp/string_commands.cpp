// String commands: they compute into variables through "/set".

#include <algorithm>
#include <cstdint>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/set_result.h"
#include "interp/words.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

// "/setlen" to a length beyond this is refused: a typing slip must not ask
// for gigabytes of blanks.
constexpr std::int64_t kMaxTextLength = 1 << 20;

struct Words {
  explicit Words(std::string_view p) : count(WordCount(p)), params(p) {}
  std::string operator[](int n) const { return WordAt(params, n); }
  int count;
  std::string_view params;
};

// The first word names the variable and must be set; at least `needed`
// words overall.
bool Check(Client& c, const CommandCall& call, const Words& w, int needed) {
  if (w[1].empty() || w.count < needed) {
    c.ParamError(call.word);
    return false;
  }
  return true;
}

// The current value from the store's variables list (never the local list).
std::string StoredValue(Client& c, const std::string& name) {
  return c.store.Variables().GetValue(name);
}

std::int64_t Number(const std::string& s) { return text::IntegerOr(s, 0); }

// Positions count from 1; 0 (or no number) means 1.
std::int64_t Position(const std::string& s) {
  const std::int64_t p = Number(s);
  return p == 0 ? 1 : p;
}

// The part of s from position pos of length len; below 1 counts as 1, and
// copying stops at the end.
std::string Copy(std::string_view s, std::int64_t pos, std::int64_t len) {
  if (pos < 1) pos = 1;
  const auto size = static_cast<std::int64_t>(s.size());
  if (len <= 0 || pos > size) return {};
  return std::string(s.substr(static_cast<std::size_t>(pos - 1),
                              static_cast<std::size_t>(std::min(len, size - pos + 1))));
}

// s without the part from pos of length len; a position outside the text
// deletes nothing.
std::string Delete(std::string_view s, std::int64_t pos, std::int64_t len) {
  const auto size = static_cast<std::int64_t>(s.size());
  std::string out(s);
  if (pos < 1 || pos > size || len <= 0) return out;
  out.erase(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(std::min(len, size - pos + 1)));
  return out;
}

// s with t inserted at pos; before the start inserts at the start, beyond
// the end appends.
std::string Insert(std::string_view s, std::string_view t, std::int64_t pos) {
  const auto size = static_cast<std::int64_t>(s.size());
  pos = std::clamp<std::int64_t>(pos, 1, size + 1);
  std::string out(s);
  out.insert(static_cast<std::size_t>(pos - 1), t);
  return out;
}

}  // namespace

void CmdStrLen(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 0)) return;
  SetComputed(c, call, VariableName(w[1]), std::to_string(w[2].size()), SetWrap::Bare);
}

void CmdSetLen(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 0)) return;
  const std::string name = VariableName(w[1]);
  const std::int64_t len = Number(w[2]);
  if (len > kMaxTextLength) {
    c.ParamError(call.word);
    return;
  }
  std::string value;
  if (len > 0) {
    value = StoredValue(c, name);
    value.resize(static_cast<std::size_t>(len), ' ');
  }
  SetComputed(c, call, name, value, SetWrap::Braces);
}

void CmdStrPos(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 3)) return;
  const std::string needle = w[2];
  const std::string hay = w[3];
  const auto at = needle.empty() ? std::string::npos : hay.find(needle);
  const std::size_t pos = at == std::string::npos ? 0 : at + 1;
  SetComputed(c, call, VariableName(w[1]), std::to_string(pos), SetWrap::Bare);
}

void CmdStrCpy(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 4)) return;
  SetComputed(c, call, VariableName(w[1]), Copy(w[2], Position(w[3]), Number(w[4])),
              SetWrap::Quotes);
}

void CmdStrIns(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 3)) return;
  const std::string name = VariableName(w[1]);
  SetComputed(c, call, name, Insert(StoredValue(c, name), w[2], Position(w[3])),
              SetWrap::Quotes);
}

void CmdStrDel(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 3)) return;
  const std::string name = VariableName(w[1]);
  SetComputed(c, call, name, Delete(StoredValue(c, name), Position(w[2]), Number(w[3])),
              SetWrap::Quotes);
}

void CmdStrClear(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 2)) return;
  SetComputed(c, call, VariableName(w[1]), TrimBlanks(w[2]), SetWrap::Bare);
}

void CmdStrRepl(Client& c, const CommandCall& call) {
  const Words w(call.params);
  if (!Check(c, call, w, 3)) return;
  const std::string name = VariableName(w[1]);
  // An empty search text replaces nothing.
  SetComputed(c, call, name, ReplaceAll(StoredValue(c, name), w[2], w[3]), SetWrap::Quotes);
}

}  // namespace tarnel
