// Server bytes through the whole incoming road of one client: the
// compression filter, the telnet pass in both modes, line assembly, preview
// and ordinary triggers (some of them injecting text or sending lines), the
// display filter, the screens and the socket's answers.  Nothing may crash
// or hang.  Where the text carries nothing whose effect depends on the
// reads by design (prompt text, the GA marker bytes themselves, hidden-line
// markers, preview triggers, broken compressed data), the session read
// whole and read in the pieces the input chooses must show the same text,
// leave the same lines, count the same trigger hits, give the same answers
// and end with the same echo state.
//
// Input: a flags byte, a cut byte whose low four bits say how many chunk
// sizes follow (none: byte by byte for a short session, 1..16 bytes in turn
// for a longer one), the sizes (1..256 each, used in turn), then the
// session text.
//   bit 0  standard telnet (global._telnet=on)
//   bit 1  compression switched off (global._mccp=off)
//   bit 2  structured: NUL-separated segments alternate between plain text
//          and text the server compresses, each behind its start sequence
//   bit 3  the first start is version 1, later ones alternate
//   bit 4  every start is announced first (IAC WILL COMPRESS or COMPRESS2)
//   bit 5  the first compressed segment is corrupted
//   bit 6  lively: a prompt, preview triggers, triggers that inject text
//          and send lines
//   bit 7  the last compressed segment ends its stream as well

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "fuzz_zlib.h"
#include "net/telnet_pass.h"

namespace {

using namespace tarnel;
using tarnel::fuzz::FuzzClient;

constexpr std::string_view kStartV1("\xFF\xFA\x55\xFB\xF0", 5);
constexpr std::string_view kStartV2("\xFF\xFA\x56\xFF\xF0", 5);
constexpr std::string_view kWillV1("\xFF\xFB\x55", 3);
constexpr std::string_view kWillV2("\xFF\xFB\x56", 3);
constexpr std::string_view kHiddenMarker = "##\xC2\xFB";
constexpr std::size_t kMaxReads = 12;

constexpr const char* kCounters[] = {"default.c1", "default.c2", "default.c3", "default.c4",
                                     "default.c5", "default.c6", "default.c7", "default.p1"};

struct Flags {
  bool standard, mccp_off, structured, v1_first, announce, corrupt, lively, finish_last;
};

struct Outcome {
  std::string shown;
  std::string lines;
  std::string counters;
  std::string answers;
  bool echoes = false;
};

FuzzClient* MakeFuzzer() {
  auto* f = new FuzzClient();
  Client& c = f->client;
  TStringList& vars = c.store.Variables();
  // Prompt text ends a line where the read ends: only lively inputs have it.
  vars.SetValue("global._prompt", "");
  vars.SetValue("default.target", "orc");
  // Trigger commands print nothing (their output would show where they
  // ran, which depends on the reads): counters that exist.
  for (const char* name : kCounters) vars.SetValue(name, "0");
  // Lines every read writes: present from the start, a read changes only
  // their values.
  for (const char* name : {"global._currow_clean", "global._currow_esc", "global._lastrow"})
    vars.SetValue(name, "-");
  TStringList& trig = c.store.Triggers();
  trig.Add("default.^%1 says: %2$=/inc c1");
  trig.Add("default.%1 hits %target%2=/inc c2");
  trig.Add("default./esc[1;31m%1/esc[0m=/inc c3");
  trig.Add("default.^=/inc c5");
  trig.Add("default.a%0b%1c%2d%3e%4f%5g%6h%7i%8j%9=/inc c6");
  trig.Add("off.%1=/inc c7");
  c.store.Groups().Add("group.off=off");
  // The default profile's item trigger may print a parameter error, which
  // shows where it ran: lively inputs only.
  TStringList& groups = c.store.Groups();
  groups.Put(groups.IndexOfName("group.stats"), "group.stats=off");
  f->blank_main = false;
  f->host.keep_main = true;
  f->host.keep_sent = true;
  f->SaveBaseline();
  return f;
}

// One client for the whole process.
FuzzClient& Fuzzer() {
  static FuzzClient* fc = MakeFuzzer();
  return *fc;
}

// The answers, comparable across reads.  The compression filter answers
// for a whole read before the telnet pass answers for its pieces, so their
// interleaving follows the reads: the telnet answers count as a sorted
// list.  The filter owes one answer per option at a time, and a later offer
// in the same read changes it (a version 1 offer after a version 2 one is
// refused): of those, the last word on each option counts.
std::string ComparableAnswers(const std::string& sent) {
  if (sent.size() % 3 != 0) return sent;
  std::vector<std::string> telnet;
  std::string last_v1, last_v2;
  for (std::size_t i = 0; i < sent.size(); i += 3) {
    const std::string c = sent.substr(i, 3);
    if (c == "\xFF\xFD\x55" || c == "\xFF\xFE\x55")
      last_v1 = c;
    else if (c == "\xFF\xFD\x56")
      last_v2 = c;
    else
      telnet.push_back(c);
  }
  std::sort(telnet.begin(), telnet.end());
  std::string out = last_v1 + "|" + last_v2 + "|";
  for (const auto& c : telnet) out += c;
  return out;
}

Outcome Run(const Flags& f, std::string_view wire, const std::vector<std::size_t>& cuts) {
  FuzzClient& fc = Fuzzer();
  Client& c = fc.client;
  TStringList& vars = c.store.Variables();
  if (f.standard) vars.SetValue("global._telnet", "on");
  if (f.mccp_off) vars.SetValue("global._mccp", "off");
  if (f.lively) {
    vars.SetValue("global._prompt", "> ");
    TStringList& trig = c.store.Triggers();
    trig.Add("default.echo %1=/emulate %1");
    trig.Add("default.ask %1=%1");
    const std::string preview = "preview.%1> =/inc p1";
    trig.Add(preview);
    c.store.Preview().Add(preview);
    c.store.Groups().Add("group.preview=on");
    TStringList& groups = c.store.Groups();
    groups.Put(groups.IndexOfName("group.stats"), "group.stats=on");
  }
  if (f.mccp_off) c.RefreshPanels();
  c.connection.OnConnected();
  fc.host.main.clear();
  fc.host.sent.clear();

  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    c.connection.OnRead(wire.substr(from, cut - from));
    from = cut;
  }
  c.connection.OnRead(wire.substr(from));

  Outcome o;
  o.echoes = c.connection.ServerEchoes();
  c.connection.OnDisconnected();
  o.shown = fc.host.main;
  // The last entry is the line still being received: none yet and an
  // empty one are the same.
  const auto lines = c.incoming.CleanLines();
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (k + 1 < lines.size() || !lines[k].empty()) o.lines.append(lines[k]).append(1, '\n');
  for (const char* name : kCounters) o.counters += vars.GetValue(name) + '|';
  for (const char* name : {"default.lastrow", "global._lastrow"}) o.counters += vars.GetValue(name) + '|';
  o.answers = ComparableAnswers(fc.host.sent);
  // Everything the input made is freed within it, so libFuzzer's leak
  // check sees a balanced run.
  fc.Reset();
  return o;
}

bool Holds(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

// The text as the telnet pass in its standard mode leaves it: telnet
// commands between its bytes can make a hidden-line marker of text that
// held none.  (The other mode keeps some commands as text, so the text
// itself is looked at too.)
std::string WithoutTelnet(std::string_view text) {
  TelnetPass pass;
  pass.SetStandard(true);
  return pass.Pass(text);
}

// The text as the display sees it: the telnet pass in either mode, then
// without the GA markers (a GA between two bytes of a hidden-line marker
// makes one there).
bool MarkerShown(std::string_view text) {
  for (const bool standard : {false, true}) {
    TelnetPass pass;
    pass.SetStandard(standard);
    std::string shown = pass.Pass(text);
    for (std::size_t at = shown.find("\x01\x01"); at != std::string::npos; at = shown.find("\x01\x01", at))
      shown.erase(at, 2);
    if (Holds(shown, kHiddenMarker)) return true;
  }
  return false;
}

// The text without the compression offers and starts the compression
// filter takes out of it (again and again: taking one out can join the
// bytes around it into another).
std::string WithoutCompressionSequences(std::string_view text) {
  std::string out(text);
  for (bool again = true; again;) {
    again = false;
    for (const std::string_view seq : {kWillV1, kWillV2, kStartV1, kStartV2})
      for (std::size_t at = out.find(seq); at != std::string::npos; at = out.find(seq, at)) {
        out.erase(at, seq.size());
        again = true;
      }
  }
  return out;
}

// Whether a hidden-line marker may reach the display: in the text itself,
// or made of it by the telnet pass, the GA markers' removal or the
// compression filter taking its sequences out from between its bytes.
bool MayMakeMarker(std::string_view text) {
  for (const std::string& t : {std::string(text), WithoutCompressionSequences(text)})
    if (Holds(t, kHiddenMarker) || Holds(WithoutTelnet(t), kHiddenMarker) || MarkerShown(t)) return true;
  return false;
}

void Report(const char* what, const std::string& a, const std::string& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  std::fprintf(stderr, "incoming_fuzz: %s differs between whole and cut reads at byte %zu (%zu vs %zu)\n",
               what, at, a.size(), b.size());
  for (const std::string* s : {&a, &b}) {
    std::fputs(s == &a ? "whole:" : "cut:  ", stderr);
    const std::size_t from = at > 80 ? at - 80 : 0;
    if (from > 0) std::fputs("...", stderr);
    for (std::size_t i = from; i < s->size() && i < from + 240; ++i) {
      const auto ch = static_cast<unsigned char>((*s)[i]);
      if (ch >= 0x20 && ch < 0x7F && ch != '\\')
        std::fputc(ch, stderr);
      else
        std::fprintf(stderr, "\\x%02X", ch);
    }
    std::fputc('\n', stderr);
  }
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  tarnel::fuzz::InitSandbox(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::uint8_t bits = data[0];
  const Flags f{(bits & 1) != 0,  (bits & 2) != 0,  (bits & 4) != 0,  (bits & 8) != 0,
                (bits & 16) != 0, (bits & 32) != 0, (bits & 64) != 0, (bits & 128) != 0};
  const std::size_t sizes_count = std::min<std::size_t>(data[1] & 15, size - 2);
  std::vector<std::size_t> sizes;
  for (std::size_t k = 0; k < sizes_count; ++k) sizes.push_back(std::size_t{data[2 + k]} + 1);
  const std::string text(reinterpret_cast<const char*>(data) + 2 + sizes_count, size - 2 - sizes_count);

  // The wire, and whether the text is free of what depends on the reads.
  static tarnel::fuzz::Deflater deflater;
  std::string wire;
  bool invariant = !f.lively && !f.corrupt;
  if (!f.structured) {
    wire = text;
    invariant = invariant && !Holds(text, "\x01") && !MayMakeMarker(text) && !Holds(text, kStartV1) &&
                !Holds(text, kStartV2);
  } else {
    std::vector<std::string> segments;
    for (std::size_t from = 0;;) {
      const auto nul = text.find('\0', from);
      segments.push_back(text.substr(from, nul == std::string::npos ? std::string::npos : nul - from));
      if (nul == std::string::npos) break;
      from = nul + 1;
    }
    std::string meant;
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const std::string& seg = segments[i];
      meant += seg;
      if (i % 2 == 0) {
        wire += seg;
        invariant = invariant && !Holds(seg, "\xFF");
        continue;
      }
      const bool v1 = f.v1_first == (((i - 1) / 2) % 2 == 0);
      if (f.announce) wire += v1 ? kWillV1 : kWillV2;
      wire += v1 ? kStartV1 : kStartV2;
      std::string packed = deflater.Compress(seg, i + 1 < segments.size() || f.finish_last);
      if (f.corrupt && i == 1 && packed.size() > 2) packed[packed.size() / 2] ^= 0x5A;
      wire += packed;
    }
    invariant = invariant && !f.mccp_off && !Holds(meant, "\x01") && !MayMakeMarker(meant);
  }

  // A read costs more than a line (a compressed one most: the filter
  // clears a 64 KiB buffer for it), so a run takes at most kMaxReads of
  // them: the rest of the session comes in the last one.
  std::vector<std::size_t> cuts;
  if (sizes.empty() && wire.size() > kMaxReads)
    for (std::size_t k = 1; k <= 16; ++k) sizes.push_back(k);
  for (std::size_t at = 0, k = 0; cuts.size() + 1 < kMaxReads; ++k) {
    at += sizes.empty() ? 1 : sizes[k % sizes.size()];
    if (at >= wire.size()) break;
    cuts.push_back(at);
  }

  tarnel::fuzz::InSandbox in_sandbox;
  const Outcome pieces = Run(f, wire, cuts);
  if (!invariant || cuts.empty()) return 0;
  const Outcome whole = Run(f, wire, {});
  // Telnet commands between its bytes can make a hidden-line marker of
  // text that held none: whether a piece of output begins with it, and so
  // whether it is seen, follows the reads.
  if (Holds(pieces.shown, kHiddenMarker) || Holds(whole.shown, kHiddenMarker)) return 0;
  if (pieces.shown != whole.shown) Report("the text shown", whole.shown, pieces.shown);
  if (pieces.lines != whole.lines) Report("the lines left", whole.lines, pieces.lines);
  if (pieces.counters != whole.counters) Report("the trigger counts", whole.counters, pieces.counters);
  if (pieces.answers != whole.answers) Report("the answers sent", whole.answers, pieces.answers);
  if (pieces.echoes != whole.echoes) Report("the echo state", "whole", "cut");
  return 0;
}
