// Server bytes through the whole incoming road: the compression filter, the
// telnet pass, line assembly, preview and ordinary triggers (some of them
// injecting text again) and the screen.  Nothing may crash or hang, and
// where the text carries nothing that depends on read boundaries by design
// (prompt text, the GA marker bytes themselves, hidden-line markers,
// compression starts, preview triggers), delivering it whole, byte by byte
// or in random pieces must leave the same screen, lines and trigger counts
// (triggers that inject text show it when they run, so they stay out then).
//
// The first byte chooses: bit 0 compresses the text after the first NUL as
// a version 2 stream (bit 1 corrupts it), bit 2 switches compression off.

#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interp/client.h"
#include "interp/host.h"

namespace {

using namespace tarnel;

class FuzzHost : public Host {
 public:
  std::tm Now() const override { return std::tm{}; }
};

std::string Deflate(std::string_view text) {
  z_stream z{};
  deflateInit(&z, Z_DEFAULT_COMPRESSION);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_SYNC_FLUSH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

struct Outcome {
  std::string screen;
  std::string lines;
  std::string counters;
};

Outcome Run(const std::string& wire, bool mccp, bool with_preview,
            const std::vector<std::size_t>& cuts) {
  FuzzHost host;
  Client client(host);
  client.DefaultProfile();
  TStringList& vars = client.store.Variables();
  vars.SetValue("global._logfile", "");
  vars.SetValue("global._mccp", mccp ? "on" : "off");
  vars.SetValue("global._prompt", with_preview ? "> " : "");
  vars.SetValue("default.target", "orc");
  // Trigger commands print nothing (their output would show where they
  // ran, which depends on the reads): counters that exist.
  for (const char* name : {"default.c1", "default.c2", "default.c3", "default.c4", "default.c5",
                           "default.c6", "default.c7", "default.p1"})
    vars.SetValue(name, "0");
  TStringList& trig = client.store.Triggers();
  trig.Clear();
  trig.Add("default.^%1 says: %2$=/inc c1");
  trig.Add("default.%1 hits %target%2=/inc c2");
  trig.Add("default./esc[1;31m%1/esc[0m=/inc c3");
  trig.Add("default.%1%2=/inc c4");
  trig.Add("default.^=/inc c5");
  trig.Add("default.a%0b%1c%2d%3e%4f%5g%6h%7i%8j%9=/inc c6");
  trig.Add("off.%1=/inc c7");
  client.store.Groups().Add("group.off=off");
  if (with_preview) {
    // Injected text shows when its trigger runs, which depends on the reads.
    trig.Add("default.echo %1=/emulate %1");
    const std::string preview = "preview.%1> =/inc p1";
    trig.Add(preview);
    client.store.Preview().Add(preview);
    client.store.Groups().Add("group.preview=on");
  }
  client.RefreshPanels();
  client.connection.OnConnected();

  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    client.connection.OnRead(std::string_view(wire).substr(from, cut - from));
    from = cut;
  }
  client.connection.OnRead(std::string_view(wire).substr(from));
  client.connection.OnDisconnected();

  Outcome o;
  const TScreen& s = client.main_screen;
  for (int r = -40; r < s.ScreenRows(); ++r) {
    const TLine* line = s.RowLine(r);
    o.screen.append(line->Chars, kLineCells);
    o.screen.append(reinterpret_cast<const char*>(line->Attrs), kLineCells);
  }
  for (const auto& l : client.incoming.CleanLines()) o.lines += l + '\n';
  for (const char* name : {"default.c1", "default.c2", "default.c3", "default.c4", "default.c5",
                           "default.c6", "default.c7", "default.lastrow", "global._lastrow"})
    o.counters += vars.GetValue(name) + '|';
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FuzzedDataProvider in(data, size);
  const auto mode = in.ConsumeIntegral<uint8_t>();
  const auto seed = in.ConsumeIntegral<uint32_t>();
  std::string text = in.ConsumeRemainingBytesAsString();

  std::string wire = text;
  if (mode & 1) {
    const auto nul = text.find('\0');
    const std::string plain = text.substr(0, nul);
    const std::string rest = nul == std::string::npos ? std::string() : text.substr(nul + 1);
    wire = plain + "\xFF\xFA\x56\xFF\xF0" + Deflate(rest);
    if (mode & 2) wire += "\xFF\x13\x37garbage";
  }
  const bool mccp = (mode & 4) == 0;

  std::vector<std::size_t> bytewise, random;
  for (std::size_t k = 1; k < wire.size(); ++k) bytewise.push_back(k);
  uint32_t x = seed | 1;
  for (std::size_t k = 0; k < wire.size();) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    k += 1 + x % 97;
    if (k < wire.size()) random.push_back(k);
  }

  const bool invariant = (mode & 1) == 0 && wire.find('\x01') == std::string::npos &&
                         wire.find("##\xC2\xFB") == std::string::npos &&
                         wire.find("\xFF\xFA") == std::string::npos;
  const bool with_preview = !invariant;
  const Outcome whole = Run(wire, mccp, with_preview, {});
  const Outcome pieces = Run(wire, mccp, with_preview, random);
  if (invariant) {
    const Outcome bytes = Run(wire, mccp, with_preview, bytewise);
    for (const Outcome* o : {&pieces, &bytes}) {
      if (o->screen != whole.screen || o->lines != whole.lines || o->counters != whole.counters) {
        std::size_t at = 0;
        while (at < o->screen.size() && o->screen[at] == whole.screen[at]) ++at;
        std::fprintf(
            stderr,
            "cut-dependent result: lines\n%s\n---\n%s\ncounters %s / %s\nscreen cell %zu of %zu\n",
            whole.lines.c_str(), o->lines.c_str(), whole.counters.c_str(), o->counters.c_str(), at,
            whole.screen.size());
        std::abort();
      }
    }
  }
  return 0;
}
