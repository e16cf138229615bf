// Names of known items marked in the incoming text while the group
// "autostats" is on: the name in blue on black, followed by a short summary
// of the item's record.
//
// Settings (variables of the group "autostats"):
//   _parsefilter  start markers separated by "|", then ",", then the end
//                 marker: a chunk holding a start marker opens a region to
//                 annotate, the end marker closes it.
//   _markers      "key:label" pairs separated by ",": for every field of the
//                 record that holds the key, the label and the first number
//                 after the key.
//   _exclude      item names, separated by ",", coloured without a summary.
//   _parsing      "1" while a region is open.

#include <algorithm>

#include "interp/client.h"
#include "interp/emulator_feed.h"
#include "interp/words.h"
#include "pipeline/display_filter.h"
#include "pipeline/escape_stripper.h"

namespace tarnel {

namespace {

constexpr std::string_view kParsing = "autostats._parsing";
constexpr std::string_view kItemColour = "\x1b[81m\x1b[40;1;34m";
constexpr std::string_view kRestore = "\x1b[82m";

bool IsWordChar(unsigned char c) {
  return c == ' ' || c == '-' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
}

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  for (;;) {
    const auto at = s.find(sep, from);
    parts.push_back(s.substr(from, at == std::string_view::npos ? at : at - from));
    if (at == std::string_view::npos) return parts;
    from = at + 1;
  }
}

// The first number in a text: a run of digits, signs and points, without
// the signs and points at its end.
std::string_view FirstNumber(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && !IsNumberChar(s[b])) ++b;
  std::size_t e = b;
  while (e < s.size() && IsNumberChar(s[e])) ++e;
  while (e > b && (s[e - 1] == '+' || s[e - 1] == '-' || s[e - 1] == '.')) --e;
  return s.substr(b, e - b);
}

std::string VisibleText(std::string_view s) {
  std::string out;
  EscapeStripper stripper;
  stripper.StripInto(s, out);
  return out;
}

// The summary of a record: "(label number label number ...)", or empty when
// no marker finds anything.
std::string Annotation(Client& client, std::string_view record, std::string_view markers) {
  TStringList& no_locals = client.display_filter.no_locals;
  const std::vector<std::string_view> fields = Split(record, ',');
  std::vector<std::string> found;
  for (std::string_view pair : Split(markers, ',')) {
    const auto colon = pair.find(':');
    const std::string key = client.interp.SubstituteVariables(pair.substr(0, colon), no_locals);
    // An empty key is in every field: it marks nothing.
    if (key.empty()) continue;
    const std::string_view label =
        colon == std::string_view::npos ? std::string_view() : pair.substr(colon + 1);
    for (std::size_t f = 1; f < fields.size(); ++f) {
      const auto at = fields[f].find(key);
      if (at == std::string_view::npos) continue;
      std::string item(label);
      item += FirstNumber(fields[f].substr(at + key.size()));
      item += ' ';
      if (std::find(found.begin(), found.end(), item) == found.end()) found.push_back(item);
    }
  }
  std::string joined;
  for (const std::string& item : found) joined += item;
  const std::string result =
      TrimBlanks(ControlBytes(client.interp.SubstituteVariables(joined, no_locals)));
  if (result.empty()) return {};
  return "\x1b[81;0m(" + result + "\x1b[0m)\x1b[82m";
}

// One pass over a chunk inside an open region.  A run is a stretch of word
// characters; it ends at any other visible character (which stays out of
// it), at a second blank in a row, at a colour code after its letters (the
// code goes with the run) or at the end of the chunk.  Known runs are cut
// out and put back coloured; the result is built beside the chunk.
class Annotator {
 public:
  Annotator(Client& client, const std::string& text, std::string_view end_marker)
      : client_(client), text_(text), end_marker_(end_marker) {
    exclude_ = "," + client.store.Var("autostats._exclude") + ",";
    markers_ = client.store.Var("autostats._markers");
  }

  void Run() {
    const std::size_t n = text_.size();
    std::size_t i = 0;
    while (i < n) {
      const auto b = static_cast<unsigned char>(text_[i]);
      bool overflowed = false;
      if (!stripper_.Feed(b, overflowed)) {
        if (!visible_.empty()) closing_ = true;
        ++i;
        continue;
      }
      if (closing_) {
        // The byte after the run's colour codes begins the next run, unless
        // it was a filler blank that gave way to the annotation.
        const std::size_t resume = Finish(i);
        if (resume > i) {
          i = resume;
          continue;
        }
      }
      if (visible_.empty()) start_ = i;
      visible_ += static_cast<char>(b);
      if (!end_marker_.empty() && visible_.size() >= end_marker_.size() &&
          visible_.compare(visible_.size() - end_marker_.size(), end_marker_.size(), end_marker_) ==
              0) {
        // The region closes with the next chunk; this one is done in full.
        client_.store.Variables().SetValue(kParsing, "0");
        visible_.clear();
        ++i;
        continue;
      }
      const bool second_blank =
          b == ' ' && visible_.size() >= 2 && visible_[visible_.size() - 2] == ' ';
      if (IsWordChar(b) && !second_blank) {
        last_visible_ = i;
        ++i;
        continue;
      }
      visible_.pop_back();
      // The byte that ended the run has been read: go on after it, or after
      // the filler blanks that made room for an annotation.
      i = std::max(i + 1, Finish(i));
    }
    if (!visible_.empty()) Finish(n);
  }

  // Whether anything was annotated, and the text that results.
  bool Changed() const { return changed_; }
  std::string Result() {
    out_.append(text_, copied_, std::string::npos);
    return std::move(out_);
  }

 private:
  // Ends the current run, whose bytes stand in [start_, end).  Returns
  // where the chunk goes on when the run was annotated, else 0.
  std::size_t Finish(std::size_t end) {
    const std::string visible = std::move(visible_);
    visible_.clear();
    closing_ = false;
    std::size_t b = 0;
    std::size_t e = visible.size();
    while (b < e && (visible[b] == ' ' || visible[b] == '-')) ++b;
    while (e > b && (visible[e - 1] == ' ' || visible[e - 1] == '-')) --e;
    if (b == e) return 0;
    const std::string_view name = std::string_view(visible).substr(b, e - b);
    TStringList& stats = client_.StatsList;
    const int idx = stats.IndexOfName(name);
    if (idx < 0) return 0;

    std::string annotation;
    if (exclude_.find("," + std::string(name) + ",") == std::string::npos)
      annotation = Annotation(client_, stats.ValueAt(idx), markers_);
    out_.append(text_, copied_, start_ - copied_);
    out_ += kItemColour;
    out_ += visible;
    out_ += annotation;
    out_ += kRestore;
    // The run's own colour codes follow the restore, so that the text after
    // the item is in the colours the server gave it.
    out_.append(text_, last_visible_ + 1, end - last_visible_ - 1);
    copied_ = end;
    if (!annotation.empty()) {
      // Filler blanks of columned text give way to the annotation.
      const std::size_t room = VisibleText(annotation).size();
      std::size_t d = 0;
      while (d < room && copied_ + d < text_.size() && text_[copied_ + d] == ' ') ++d;
      copied_ += d;
    }
    changed_ = true;
    return copied_;
  }

  Client& client_;
  const std::string& text_;
  std::string_view end_marker_;
  std::string exclude_;
  std::string markers_;
  EscapeStripper stripper_;
  std::string visible_;           // the run's visible characters
  std::size_t start_ = 0;         // its first visible byte
  std::size_t last_visible_ = 0;  // its last visible byte
  bool closing_ = false;          // colour codes followed its letters
  std::string out_;
  std::size_t copied_ = 0;  // text_ before this is in out_ (or gone)
  bool changed_ = false;
};

}  // namespace

void AnnotateItems(Client& client, std::string& text) {
  const std::string filter = client.store.Var("autostats._parsefilter");
  const auto comma = filter.find(',');
  const std::string_view starts = std::string_view(filter).substr(0, comma);
  const std::string_view end_marker =
      comma == std::string::npos ? std::string_view() : std::string_view(filter).substr(comma + 1);
  bool parsing = client.store.Var(kParsing) == "1";
  if (!parsing && !starts.empty() && !end_marker.empty()) {
    for (std::string_view start : Split(starts, '|')) {
      // An empty marker (a stray "|") would open a region on every chunk.
      if (start.empty() || text.find(start) == std::string::npos) continue;
      client.store.Variables().SetValue(kParsing, "1");
      parsing = true;
      break;
    }
  }
  if (!parsing) return;
  Annotator annotator(client, text, end_marker);
  annotator.Run();
  if (annotator.Changed()) text = annotator.Result();
}

}  // namespace tarnel
