// The display filter with random replaces, gags and highlights, changed
// between the chunks it filters.  Nothing may crash, and:
//  - the filter keeps the entries it prepared while their variables stay,
//    and passes over the entries its index rules out; whatever the
//    changes, it must give what a filter preparing everything afresh and
//    letting every entry search gives;
//  - highlights only colour: with nothing but highlights, the text a
//    player reads (colour codes aside) is the text the server sent; an
//    anchored key ("^", "$") may move line breaks, by design.
//
// Input: operations, each a byte and its operands (strings are a length
// byte and that many bytes):
//   0 replace: key, value        1 gag: key
//   2 highlight: key, colours byte, options byte
//   3 remove the entry or variable chosen by a byte
//   4 a variable default.v<n> (keys and values may name it): n byte, text
//   5 filter a chunk: text
//   6 through the commands: "/gag key" or "/highlight needle b f" on the
//     main screen after showing a chunk: byte, text
//   7 item annotations on or off, and an item record: byte, text

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "pipeline/display_filter.h"
#include "pipeline/escape_stripper.h"
#include "stats/stats_database.h"
#include "text/case_fold.h"

namespace {

using namespace tarnel;
using tarnel::fuzz::FuzzClient;

FuzzClient& Fuzzer() {
  static FuzzClient* fc = new FuzzClient();
  return *fc;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool More() const { return pos_ < size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string Text() {
    std::size_t n = Byte();
    if (n > size_ - pos_) n = size_ - pos_;
    std::string s(reinterpret_cast<const char*>(data_) + pos_, n);
    pos_ += n;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string Visible(std::string_view text) {
  EscapeStripper stripper;
  std::string out;
  for (const char ch : text) {
    bool overflowed = false;
    if (stripper.Feed(static_cast<unsigned char>(ch), overflowed)) out += ch;
  }
  return out;
}

// Whether every entry of the filter is a highlight; `anchored` tells
// whether a key has an anchor or a line break.  A key naming variables
// could become anything: with one of those the text is not compared.
bool OnlyHighlights(TStringList& vars, bool& anchored) {
  anchored = false;
  for (const std::string& line : vars.Lines()) {
    // The groups are found whatever the letter case.
    if (text::StartsWithText(line, "replaces.") && !text::StartsWithText(line, "replaces._autosave="))
      return false;
    if (!text::StartsWithText(line, "highlights.")) continue;
    const std::string_view key = TStringList::NameOf(line).substr(11);
    if (key.find('%') != std::string_view::npos) return false;
    if (key.find_first_of("^$\r\n") != std::string_view::npos) anchored = true;
  }
  return true;
}

// The text without its line breaks.
std::string Unbroken(std::string text) {
  std::erase_if(text, [](char ch) { return ch == '\r' || ch == '\n'; });
  return text;
}

void Dump(const char* label, std::string_view text) {
  std::fputs(label, stderr);
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x20 && b < 0x7F && b != '\\')
      std::fputc(b, stderr);
    else
      std::fprintf(stderr, "\\x%02X", b);
  }
  std::fputc('\n', stderr);
}

void Filter(Client& c, const std::string& text, bool annotations) {
  const std::string kept = DisplayFilter(c, text);
  DisplayFilterState saved = std::move(c.display_filter);
  c.display_filter = DisplayFilterState();
  c.display_filter.use_index = false;
  c.display_filter.one_pass_replaces = false;
  const std::string fresh = DisplayFilter(c, text);
  c.display_filter = std::move(saved);
  if (kept != fresh) {
    std::fprintf(stderr, "display_filter_fuzz: prepared or indexed entries give another text than fresh ones\n");
    __builtin_trap();
  }
  // An anchored match may add or take line breaks around its line (a
  // highlighted first line gains one in front): then only the rest counts.
  bool anchored = false;
  if (!annotations && OnlyHighlights(c.store.Variables(), anchored) &&
      (anchored ? Unbroken(Visible(kept)) != Unbroken(Visible(text)) : Visible(kept) != Visible(text))) {
    std::fprintf(stderr, "display_filter_fuzz: a highlight changed the text read\n");
    Dump("sent:  ", text);
    Dump("shown: ", kept);
    for (const std::string& line : c.store.Variables().Lines())
      if (text::StartsWithText(line, "highlights.") || text::StartsWithText(line, "replaces."))
        Dump("entry: ", line);
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Command text may run any command, "/save" too.
  tarnel::fuzz::InitSandbox(argc, argv);
  Fuzzer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzClient& fc = Fuzzer();
  tarnel::fuzz::InSandbox in_sandbox;
  Client& c = fc.client;
  TStringList& vars = c.store.Variables();
  Reader in(data, size);
  bool annotations = false;
  std::vector<std::string> names;
  while (in.More()) {
    switch (in.Byte() % 8) {
      case 0: {
        const std::string name = "replaces." + in.Text();
        vars.SetValue(name, in.Text());
        names.push_back(name);
        break;
      }
      case 1: {
        const std::string name = "replaces." + in.Text();
        vars.SetValue(name, "/gag");
        names.push_back(name);
        break;
      }
      case 2: {
        const std::string name = "highlights." + in.Text();
        const std::uint8_t colours = in.Byte();
        const std::uint8_t options = in.Byte();
        std::string value = std::to_string(colours >> 4) + " " + std::to_string((colours & 15) - 2);
        if (options & 1) value += " /W";
        if (options & 2) value = std::to_string(colours);
        vars.SetValue(name, value);
        names.push_back(name);
        break;
      }
      case 3: {
        const std::uint8_t pick = in.Byte();
        if (pick & 1 && !names.empty())
          vars.SetValue(names[pick / 2 % names.size()], "");
        else if (vars.Count() > 0)
          vars.DeleteAt(pick % vars.Count());
        break;
      }
      case 4: {
        const std::string name = "default.v" + std::to_string(in.Byte() % 4);
        vars.SetValue(name, in.Text());
        break;
      }
      case 5: Filter(c, in.Text(), annotations); break;
      case 6: {
        const std::uint8_t how = in.Byte();
        const std::string text = in.Text();
        if (how & 1) {
          c.ExecuteCommand("/gag " + text, false);
        } else {
          c.PrintText(text + "\r\n");
          c.ExecuteCommand("/highlight " + text + " " + std::to_string(how >> 4) + " " +
                               std::to_string(how & 14),
                           false);
        }
        break;
      }
      default: {
        annotations = in.Byte() & 1;
        c.store.Groups().SetValue("group.autostats", annotations ? "on" : "off");
        StoreStats(c.StatsList, in.Text());
        break;
      }
    }
  }
  fc.Reset();
  return 0;
}
