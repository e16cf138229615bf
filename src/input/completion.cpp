#include "input/completion.h"

#include <algorithm>

#include "interp/client.h"
#include "text/case_fold.h"

namespace tarnel {

namespace {

bool IsManual(std::string_view w) { return w == "/man" || w == "/manual" || w == "/help"; }

class Collector {
 public:
  explicit Collector(std::string_view prefix) : prefix_(prefix) {}
  void Offer(std::string candidate) {
    if (candidate.size() > prefix_.size() && candidate.starts_with(prefix_))
      found_.push_back(std::move(candidate));
  }
  std::vector<std::string> Take() { return std::move(found_); }

 private:
  std::string_view prefix_;
  std::vector<std::string> found_;
};

// The entries of a kind's list in switched-on groups: the short name for
// the group "default", and the full name, each followed by "=".
void OfferEntries(Client& c, Collector& out, EntryKind kind) {
  const TStringList& list = c.store.List(kind);
  for (int k = 0; k < list.Count(); ++k) {
    const std::string_view name = list.NameAt(k);
    const std::string_view group = TStringList::GroupOf(name);
    if (!c.store.GroupOn(group)) continue;
    if (group == "default") out.Offer(std::string(TStringList::ShortOf(name)) + "=");
    out.Offer(std::string(name) + "=");
  }
}

}  // namespace

std::vector<std::string> CompletionCandidates(Client& c, std::string_view text) {
  // The last word, and the word before it as its context.
  std::string_view prefix = text, context;
  if (const auto blank = text.rfind(' '); blank != std::string_view::npos) {
    prefix = text.substr(blank + 1);
    const std::string_view before = text.substr(0, blank);
    const auto previous = before.rfind(' ');
    context = previous == std::string_view::npos ? before : before.substr(previous + 1);
  }
  // "%" inside the word starts a variable of its own ("hp%ma").
  if (const auto pct = prefix.find('%', 1); !prefix.empty() && pct != std::string_view::npos) {
    context = prefix.substr(0, pct);
    prefix = prefix.substr(pct);
  }
  Collector out(prefix);

  const TStringList& args = c.store.Arguments();
  for (int k = 0; k < args.Count(); ++k) {
    const std::string_view name = args.NameAt(k);
    if (args.ValueAt(k) == context && c.store.GroupOn(TStringList::GroupOf(name)))
      out.Offer(std::string(TStringList::ShortOf(name)) + " ");
  }

  const TStringList& commands = c.interp.CommandNames();
  for (const std::string& word : commands.Lines())
    if (word.starts_with("/") || IsManual(context)) out.Offer(word + " ");

  if (context == "/set" || context == "var" || prefix.starts_with("%")) {
    if (context == "/set")
      for (const char* kind : {"group ", "macro ", "arg ", "hotkey ", "trig ", "var "}) out.Offer(kind);
    const bool dotted = prefix.find('.') != std::string_view::npos;
    const TStringList& vars = c.store.Variables();
    for (int k = 0; k < vars.Count(); ++k) {
      const std::string_view name = vars.NameAt(k);
      const std::string_view group = TStringList::GroupOf(name);
      if (!c.store.GroupOn(group)) continue;
      if (group == "default") {
        const std::string_view short_name = TStringList::ShortOf(name);
        out.Offer(std::string(short_name) + "=");
        out.Offer("%" + std::string(short_name));
      }
      if (name != "highlights._autosave" && name != "replaces._autosave")
        out.Offer(dotted ? std::string(name) + "=" : std::string(group) + ".");
      out.Offer("%" + std::string(name));
    }
  }

  if (context == "group") {
    const TStringList& groups = c.store.Groups();
    for (int k = 0; k < groups.Count(); ++k)
      out.Offer(std::string(TStringList::ShortOf(groups.NameAt(k))) + "=");
  }
  if (context == "macro") OfferEntries(c, out, EntryKind::Macros);
  if (context == "trig" || context == "trigger") OfferEntries(c, out, EntryKind::Triggers);
  if (context == "func" || context == "function") OfferEntries(c, out, EntryKind::Functions);
  if (context == "hotkey") OfferEntries(c, out, EntryKind::Hotkeys);

  if (IsManual(context)) {
    const TStringList& vars = c.store.Variables();
    for (int k = 0; k < vars.Count(); ++k)
      if (TStringList::GroupOf(vars.NameAt(k)) == "manual")
        out.Offer(std::string(TStringList::ShortOf(vars.NameAt(k))));
  }

  std::vector<std::string> found = out.Take();
  std::stable_sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return text::CompareText(a, b) < 0;
  });
  const auto man = std::find(found.begin(), found.end(), "/man ");
  if (man != found.end()) std::iter_swap(found.begin(), man);
  return found;
}

std::optional<std::string> CompletionFor(Client& c, std::string_view text) {
  if (!text.empty() && text.back() == ' ') return std::nullopt;
  std::string_view prefix = text.substr(text.rfind(' ') == std::string_view::npos ? 0 : text.rfind(' ') + 1);
  if (const auto pct = prefix.find('%', 1); !prefix.empty() && pct != std::string_view::npos)
    prefix = prefix.substr(pct);
  // Nothing typed yet: every name would fit, and an empty line must stay
  // empty (Enter on it asks the game for a new prompt).
  if (text.empty()) return std::nullopt;
  const std::vector<std::string> found = CompletionCandidates(c, text);
  if (found.empty()) return std::nullopt;
  return found.front().substr(prefix.size());
}

}  // namespace tarnel
