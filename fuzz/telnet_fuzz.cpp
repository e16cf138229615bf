// The two filters every received byte passes before it becomes text: the
// compression filter and the telnet pass, on their own and fast.  Both
// promise that where the stream is cut does not matter: the session read
// whole and read in the pieces the input chooses must give the same text,
// the same answers and the same state at the end.  On top of that:
//  - standard mode, on a session built from known commands: the text is
//    exactly the data, every command is gone, and the answers are the ones
//    the mode promises (refuse every option, accept the server's echo,
//    answer only changes);
//  - compressed sessions made with zlib: the inflated text is exactly what
//    was compressed, compression starts are reported where they happened,
//    and a stream that inflates beyond the bound of one read is cut there
//    and reported as broken.
//
// Input: a kind byte, a cut byte whose low four bits say how many chunk
// sizes follow (none: byte by byte), the sizes (1..256 each, used in turn),
// then the body.  Kind byte, bits 0-1:
//   0  telnet pass on raw bytes            (bit 2: standard mode)
//   1  telnet pass on a session of tokens  (bit 2: standard mode)
//   2  compression filter on a compressed session: NUL-separated segments
//      alternate between plain and compressed text (bit 3: version 1
//      first; bit 4: starts announced; bit 5: corrupted; bit 6: every
//      stream ends; with bits 2 and 7 set and the body starting "BOMB", a
//      stream inflating to more than the bound follows the last segment)
//   3  compression filter on raw bytes

#include <algorithm>
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_zlib.h"
#include "net/mccp.h"
#include "net/telnet_pass.h"

namespace {

using namespace tarnel;

constexpr char kIac = '\xFF';
constexpr std::string_view kStartV1("\xFF\xFA\x55\xFB\xF0", 5);
constexpr std::string_view kStartV2("\xFF\xFA\x56\xFF\xF0", 5);
constexpr std::string_view kWillV1("\xFF\xFB\x55", 3);
constexpr std::string_view kWillV2("\xFF\xFB\x56", 3);

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "telnet_fuzz: %s\n", what);
  __builtin_trap();
}

// The filter clears a 64 KiB buffer for every read it inflates, which
// costs more than the rest: compressed sessions come in at most this many
// reads.
constexpr std::size_t kMaxCompressedReads = 16;

// Chunks of the wire: the sizes in turn, or byte by byte; at most
// max_chunks, the last one taking the rest.
std::vector<std::string_view> Chunks(std::string_view wire, const std::vector<std::size_t>& sizes,
                                     std::size_t max_chunks = SIZE_MAX) {
  std::vector<std::string_view> chunks;
  std::size_t from = 0;
  for (std::size_t k = 0; from < wire.size(); ++k) {
    const std::size_t n = chunks.size() + 1 >= max_chunks ? wire.size() - from
                          : sizes.empty()                 ? 1
                                                          : sizes[k % sizes.size()];
    chunks.push_back(wire.substr(from, n));
    from += n;
  }
  return chunks;
}

// ---------------------------------------------------------------------------
// Telnet pass

struct TelnetOutcome {
  std::string text;
  std::string answers;
  bool echoes = false;
};

TelnetOutcome RunTelnet(bool standard, const std::vector<std::string_view>& chunks) {
  TelnetPass pass;
  pass.SetStandard(standard);
  TelnetOutcome o;
  for (std::string_view c : chunks) {
    o.text += pass.Pass(c);
    o.answers += pass.TakeAnswers();
  }
  o.echoes = pass.ServerEchoes();
  o.text += pass.Flush();
  return o;
}

void CompareTelnet(const TelnetOutcome& whole, const TelnetOutcome& cut) {
  if (whole.text != cut.text) Fail("telnet text depends on where the stream is cut");
  if (whole.answers != cut.answers) Fail("telnet answers depend on where the stream is cut");
  if (whole.echoes != cut.echoes) Fail("the echo state depends on where the stream is cut");
}

std::string Command(unsigned char verb, unsigned char option) {
  return {kIac, static_cast<char>(verb), static_cast<char>(option)};
}

void AppendEscaped(std::string& wire, std::string_view data) {
  for (const char c : data) {
    wire += c;
    if (c == kIac) wire += kIac;
  }
}

// A standard-mode session from tokens, with the text and answers it must
// give.
struct Session {
  std::string wire, text, answers;
  bool echoes = false;
};

Session BuildSession(std::string_view body) {
  Session s;
  std::size_t i = 0;
  auto next = [&]() -> unsigned char { return i < body.size() ? static_cast<unsigned char>(body[i++]) : 0; };
  while (i < body.size()) {
    const unsigned char token = next();
    switch (token % 8) {
      case 0: {  // data
        const std::size_t n = std::min<std::size_t>(next() % 32, body.size() - i);
        const std::string_view data = body.substr(i, n);
        i += n;
        AppendEscaped(s.wire, data);
        s.text += data;
        break;
      }
      case 1:
      case 2:
      case 3:
      case 4: {  // WILL, WONT, DO, DONT
        static constexpr unsigned char kVerbs[] = {0xFB, 0xFC, 0xFD, 0xFE};
        const unsigned char verb = kVerbs[token % 8 - 1];
        // Mostly the echo option, which has rules of its own.
        const unsigned char option = (token & 0x80) != 0 ? 1 : next();
        s.wire += Command(verb, option);
        if (option == 1 && (verb == 0xFB || verb == 0xFC)) {
          const bool on = verb == 0xFB;
          if (on != s.echoes) s.answers += Command(on ? 0xFD : 0xFE, 1);
          s.echoes = on;
        } else if (verb == 0xFD) {
          s.answers += Command(0xFC, option);
        } else if (verb == 0xFB) {
          s.answers += Command(0xFE, option);
        }
        break;
      }
      case 5: {  // subnegotiation
        const unsigned char option = next();
        const std::size_t n = std::min<std::size_t>(next() % 16, body.size() - i);
        s.wire += kIac;
        s.wire += '\xFA';
        s.wire += static_cast<char>(option);
        if (option == 0xFF) s.wire += kIac;
        AppendEscaped(s.wire, body.substr(i, n));
        i += n;
        s.wire += kIac;
        s.wire += '\xF0';
        break;
      }
      case 6:  // go ahead
        s.wire += "\xFF\xF9";
        s.text += "\x01\x01";
        break;
      default: {  // SE, NOP, DM, BRK, IP, AO, AYT, EC, EL: no text
        s.wire += kIac;
        s.wire += static_cast<char>(0xF0 + next() % 9);
        break;
      }
    }
  }
  return s;
}

// ---------------------------------------------------------------------------
// Compression filter

struct MccpOutcome {
  std::string text;
  std::vector<MccpMark> marks;  // positions in the whole text
  std::string last_v1, last_v2;
  int starts = 0;
  bool error = false;
  bool broken = false;
  std::size_t largest = 0;  // text of one chunk
};

// keep_text: collect the text (a bomb's eight megabytes are only measured).
MccpOutcome RunMccp(const std::vector<std::string_view>& chunks, bool keep_text = true) {
  MccpState st;
  MccpOutcome o;
  for (std::string_view c : chunks) {
    const std::string text = MccpFilter(st, c);
    for (const MccpMark& m : st.marks) {
      o.marks.push_back({o.text.size() + std::min(m.at, text.size()), m.error});
      o.error = o.error || m.error;
    }
    o.largest = std::max(o.largest, text.size());
    if (keep_text) o.text += text;
    // The read event clears the error once it is reported.
    st.error = false;
    for (std::string a = MccpAnswer(st); !a.empty(); a = MccpAnswer(st))
      (a[2] == '\x55' ? o.last_v1 : o.last_v2) = a;
  }
  o.starts = st.starts;
  o.broken = st.broken;
  // Held bytes of a cut sequence are text once the connection ends.
  if (st.mode == 0) o.text += st.held;
  return o;
}

void CompareMccp(const MccpOutcome& whole, const MccpOutcome& cut) {
  if (whole.text != cut.text) Fail("inflated text depends on where the stream is cut");
  if (whole.starts != cut.starts) Fail("compression starts depend on where the stream is cut");
  if (whole.marks.size() != cut.marks.size()) Fail("the compression notes depend on the cuts");
  for (std::size_t k = 0; k < whole.marks.size(); ++k)
    if (whole.marks[k].at != cut.marks[k].at || whole.marks[k].error != cut.marks[k].error)
      Fail("a compression note moves with the cuts");
  if (whole.last_v1 != cut.last_v1 || whole.last_v2 != cut.last_v2)
    Fail("the last compression answer depends on the cuts");
}

// Nine megabytes of text in a few kilobytes: more than one read may inflate to.
const std::string& Bomb() {
  static const std::string bomb = [] {
    tarnel::fuzz::Deflater d;
    return d.Compress(std::string(kMccpMaxInflated + (std::size_t{1} << 20), 'x'), false);
  }();
  return bomb;
}

void FuzzMccpSession(std::uint8_t kind, std::string_view body, const std::vector<std::size_t>& sizes) {
  static tarnel::fuzz::Deflater deflater;
  const bool v1_first = kind & 8, announce = kind & 16, corrupt = kind & 32, finish_all = kind & 64;
  // A bomb costs some milliseconds (eight megabytes inflated and copied),
  // and libFuzzer would pick the input that reaches the bound again and
  // again for its rare edges: only the first of every 64 such inputs of a
  // process carries it (a reproducer is always the first).
  static unsigned bomb_candidates = 0;
  const bool bomb = (kind & 0x84) == 0x84 && body.substr(0, 4) == "BOMB" && bomb_candidates++ % 64 == 0;
  std::vector<std::string_view> segments;
  for (std::size_t from = 0;;) {
    const auto nul = body.find('\0', from);
    segments.push_back(body.substr(from, nul == std::string_view::npos ? std::string_view::npos : nul - from));
    if (nul == std::string_view::npos) break;
    from = nul + 1;
  }
  // The plain segments must not start compression themselves.
  bool clean = true;
  std::string wire, meant;
  int starts = 0;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::string_view seg = segments[i];
    if (i % 2 == 0) {
      wire += seg;
      meant += seg;
      clean = clean && seg.find(kIac) == std::string_view::npos;
      continue;
    }
    const bool v1 = v1_first == (((i - 1) / 2) % 2 == 0);
    if (announce) wire += v1 ? kWillV1 : kWillV2;
    wire += v1 ? kStartV1 : kStartV2;
    ++starts;
    const bool last = i + 1 == segments.size();
    std::string packed = deflater.Compress(seg, !last || finish_all);
    if (corrupt && i == 1 && packed.size() > 2) packed[packed.size() / 2] ^= 0x5A;
    wire += packed;
    meant += seg;
  }
  if (bomb) {
    // The segments in pieces, then in one read a stream that inflates to
    // more than one read may give (behind a start of its own, whatever the
    // segments left open).
    std::vector<std::string_view> chunks = Chunks(wire, sizes, kMaxCompressedReads);
    std::string tail(kStartV2);
    tail += Bomb();
    chunks.push_back(tail);
    const MccpOutcome o = RunMccp(chunks, false);
    if (o.largest > kMccpMaxInflated + 0x10000 + wire.size() + tail.size())
      Fail("a read inflated beyond the bound");
    const bool streams_ended = segments.size() % 2 == 1 || finish_all;
    if (clean && !corrupt && streams_ended && !(o.broken && o.error))
      Fail("a stream beyond the bound was not reported broken");
    return;
  }
  const MccpOutcome cut = RunMccp(Chunks(wire, sizes, kMaxCompressedReads));
  if (!clean || corrupt) return;
  const MccpOutcome whole = RunMccp({wire});
  CompareMccp(whole, cut);
  if (whole.error) Fail("a well-formed compressed session failed to inflate");
  if (whole.starts != starts) Fail("a compression start was missed or invented");
  if (whole.text != meant) Fail("the inflated text is not the text compressed");
  if (announce && starts > 0 && whole.last_v1.empty() && whole.last_v2.empty())
    Fail("an offer went unanswered");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::uint8_t kind = data[0];
  const std::size_t sizes_count = std::min<std::size_t>(data[1] & 15, size - 2);
  std::vector<std::size_t> sizes;
  for (std::size_t k = 0; k < sizes_count; ++k) sizes.push_back(std::size_t{data[2 + k]} + 1);
  const std::string_view body(reinterpret_cast<const char*>(data) + 2 + sizes_count, size - 2 - sizes_count);
  const bool standard = kind & 4;

  switch (kind & 3) {
    case 0: {
      const TelnetOutcome whole = RunTelnet(standard, {body});
      CompareTelnet(whole, RunTelnet(standard, Chunks(body, sizes)));
      break;
    }
    case 1: {
      const Session s = BuildSession(body);
      const TelnetOutcome whole = RunTelnet(true, {s.wire});
      if (whole.text != s.text) Fail("standard mode left a command in the text or lost data");
      if (whole.answers != s.answers) Fail("standard mode answered otherwise than it promises");
      if (whole.echoes != s.echoes) Fail("standard mode got the echo state wrong");
      CompareTelnet(whole, RunTelnet(true, Chunks(s.wire, sizes)));
      break;
    }
    case 2: FuzzMccpSession(kind, body, sizes); break;
    default: {
      const MccpOutcome whole = RunMccp({body});
      const MccpOutcome cut = RunMccp(Chunks(body, sizes, kMaxCompressedReads));
      if (whole.error != cut.error) Fail("inflating fails or not depending on the cuts");
      if (!whole.error) CompareMccp(whole, cut);
      break;
    }
  }
  return 0;
}
