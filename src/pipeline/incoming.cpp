#include "pipeline/incoming.h"

#include "interp/client.h"
#include "interp/words.h"
#include "pipeline/display_filter.h"

namespace tarnel {

namespace {

constexpr std::string_view kGa = "\x01\x01";

}  // namespace

void Incoming::StartStats(std::string marker, std::string text) {
  if (StatsRunning()) return;
  stats_marker_ = std::move(marker);
  stats_text_ = std::move(text);
}

void Incoming::ProcessIncoming(std::string_view chunk) {
  const std::string prompt = client_.store.Var("global._prompt");
  const bool ends_with_prompt = !prompt.empty() && chunk.size() >= prompt.size() &&
                                chunk.substr(chunk.size() - prompt.size()) == prompt;

  std::string display;
  std::string lines;
  if (chunk.find(kGa) == std::string_view::npos) {
    display.assign(chunk);
    lines.assign(chunk);
  } else {
    display = ReplaceAll(chunk, kGa, "");
    lines = ReplaceAll(chunk, kGa, "\r\n");
  }

  if (clean_.empty()) {
    clean_.emplace_back();
    raw_.emplace_back();
  }
  const bool previews = !client_.store.Preview().Empty();
  std::string clean_acc, raw_acc;
  for (const char ch : lines) {
    if (ch == '\n') {
      raw_.back() += raw_acc;
      raw_.back() += '\n';
      clean_.back() += clean_acc;
      clean_.emplace_back();
      raw_.emplace_back();
      clean_acc.clear();
      raw_acc.clear();
      if (previews) {
        // The entry just closed is the one before the new last entry.
        const std::string c = clean_[clean_.size() - 2];
        const std::string r = raw_[raw_.size() - 2];
        PreviewTriggers(c, r);
      }
    } else if (ch == '\r') {
      raw_acc += ch;
    } else {
      raw_acc += ch;
      bool overflow = false;
      if (line_stripper_.Feed(static_cast<unsigned char>(ch), overflow)) clean_acc += ch;
    }
  }
  if (!clean_acc.empty() || !raw_acc.empty()) {
    if (clean_.empty()) {  // a preview trigger may have emptied nothing, but be safe
      clean_.emplace_back();
      raw_.emplace_back();
    }
    clean_.back() += clean_acc;
    raw_.back() += raw_acc;
    if (previews) {
      const std::string c = clean_.back();
      const std::string r = raw_.back();
      PreviewTriggers(c, r);
    }
  }
  if (ends_with_prompt) {
    clean_.emplace_back();
    raw_.emplace_back();
  }

  client_.PrintText(DisplayFilter(client_, display));

  if (in_trigger_loop_) return;
  in_trigger_loop_ = true;
  while (clean_.size() > 1) {
    const std::string clean = clean_.front();
    const std::string raw = raw_.front();
    if (!clean.empty()) {
      TStringList& vars = client_.store.Variables();
      vars.SetValue("global._currow_clean", clean);
      vars.SetValue("global._currow_esc", raw);
      RunTriggers(clean, raw, false);
      AccumulateStats(clean);
      vars.SetValue("global._lastrow", clean);
    }
    clean_.pop_front();
    raw_.pop_front();
  }
  in_trigger_loop_ = false;
}

void Incoming::AccumulateStats(const std::string& clean) {
  if (stats_marker_.empty()) return;
  if (clean.find(stats_marker_) == std::string::npos) {
    stats_text_ += ',';
    stats_text_ += clean;
    return;
  }
  stats_marker_.clear();
  std::string text = std::move(stats_text_);
  stats_text_.clear();
  client_.ParseStats(text);
}

void Incoming::PreviewTriggers(const std::string& clean, const std::string& raw) {
  if (clean.empty() || !client_.store.GroupOn("preview")) return;
  RunTriggers(clean, raw, true);
}

void Incoming::RunTriggers(const std::string& clean, const std::string& raw, bool preview) {
  TStringList& list = preview ? client_.store.Preview() : client_.store.Triggers();
  TStringList no_locals;
  for (int k = 0; k < list.Count(); ++k) {
    const std::string entry = list[k];
    const auto dot = entry.find('.');
    const std::string_view group =
        dot == std::string::npos ? std::string_view(entry) : std::string_view(entry).substr(0, dot);
    if (!preview && (group == "preview" || !client_.store.GroupOn(group))) continue;
    const auto eq = entry.find('=');
    if (eq == std::string::npos) continue;
    const std::size_t name_start = dot != std::string::npos && dot < eq ? dot + 1 : 0;
    std::string pattern = entry.substr(name_start, eq - name_start);
    std::string command = entry.substr(eq + 1);

    if (!pattern.empty() && pattern.front() == '^') pattern.front() = '\n';
    if (!pattern.empty() && (pattern.back() == '$' || pattern.back() == '^')) pattern.back() = '\r';
    pattern = client_.interp.SubstituteVariables(pattern, no_locals);
    if (pattern.find("/esc") != std::string::npos) pattern = ReplaceAll(pattern, "/esc", "\x1b");

    std::string subject;
    const std::string& line = pattern.find('\x1b') != std::string::npos ? raw : clean;
    subject.reserve(line.size() + 2);
    subject += '\n';
    subject += line;
    subject += '\r';

    captures_.Reset();
    if (!MatchPattern(pattern, subject, captures_)) continue;
    for (int c = 0; c <= captures_.counter; ++c) {
      const auto& cap = captures_.items[c];
      if (command.find(cap.Name()) != std::string::npos) command = ReplaceAll(command, cap.Name(), cap.text);
    }
    if (command.empty()) continue;
    client_.interp.RaiseDepth();
    client_.ExecuteCommand(command, true);
    client_.interp.LowerDepth(!preview);
  }
}

}  // namespace tarnel
