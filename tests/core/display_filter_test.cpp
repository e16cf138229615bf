// The display filter against a plain, step-by-step reading of its rules, on
// many generated chunks: keys at every offset, colour codes inside matches,
// several matches per line, lines of every length.

#include <gtest/gtest.h>

#include <random>

#include "pipeline/display_filter.h"
#include "pipeline/escape_stripper.h"
#include "test_host.h"

namespace tarnel::test {
namespace {

constexpr char kMarker = '\x01';

// One entry applied the slow way: match with a fresh escape reader at every
// position, mark with a byte, then handle the markers one by one.
std::string Reference(const std::string& text, const std::string& key, const std::string& kind,
                      const std::string& arg) {
  std::string w = "\r\n" + text + "\r\n";
  std::size_t matches = 0;
  for (std::size_t p = 0; p < w.size(); ++p) {
    if (w[p] != key[0]) continue;
    // Only where the player reads text: not a byte that an escape sequence
    // begun before it swallows.
    EscapeStripper before;
    for (std::size_t b = 0; b < p; ++b) {
      bool over = false;
      before.Feed(static_cast<unsigned char>(w[b]), over);
    }
    if (before.Inside()) continue;
    EscapeStripper stripper;
    std::string candidate;
    std::size_t q = p;
    for (; q < w.size(); ++q) {
      bool over = false;
      if (stripper.Feed(static_cast<unsigned char>(w[q]), over)) candidate += w[q];
      if (candidate.size() == key.size() ||
          (!candidate.empty() && candidate.back() != key[candidate.size() - 1]))
        break;
    }
    if (candidate != key) continue;
    w.erase(p, q - p + 1);
    w.insert(w.begin() + static_cast<long>(p), kMarker);
    ++matches;
  }
  if (w.compare(0, 2, "\r\n") == 0) w.erase(0, 2);
  if (w.size() >= 2 && w.compare(w.size() - 2, 2, "\r\n") == 0) w.resize(w.size() - 2);
  if (matches == 0) return text;
  std::size_t from = 0;
  for (std::size_t m; (m = w.find(kMarker, from)) != std::string::npos;) {
    w.erase(m, 1);
    const std::size_t line_start = m == 0 ? 0 : (w.rfind('\n', m - 1) + 1);
    if (kind == "replace") {
      w.insert(m, arg);
      from = m + arg.size();
    } else if (kind == "gag") {
      const auto lf = w.find('\n', m);
      w.erase(line_start, lf == std::string::npos ? std::string::npos : lf + 1 - line_start);
      from = line_start;
    } else if (kind == "word") {
      const std::string put = "\x1b[81m" + arg + key + "\x1b[82m";
      w.insert(m, put);
      from = m + put.size();
    } else {  // whole line
      w.insert(m, key);
      const auto cr = w.find('\r', m + key.size());
      const std::size_t end = cr == std::string::npos ? w.size() : cr;
      EscapeStripper stripper;
      std::string visible;
      for (std::size_t i = line_start; i < end; ++i) {
        bool over = false;
        if (stripper.Feed(static_cast<unsigned char>(w[i]), over)) visible += w[i];
      }
      w.replace(line_start, end - line_start, "\x1b[81m" + arg + visible + "\x1b[82m");
      from = line_start;
    }
  }
  return w;
}

std::string RandomText(std::mt19937& rng) {
  static const char* pieces[] = {"a", "b", "c", " ", "ab", "\r\n", "\x1b[1;31m", "\x1b[0m", "\x1b(B"};
  std::string t;
  const int n = static_cast<int>(rng() % 80);
  for (int i = 0; i < n; ++i) t += pieces[rng() % 9];
  return t;
}

std::string RandomKey(std::mt19937& rng) {
  std::string k;
  const int n = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) k += "abc"[rng() % 3];
  return k;
}

TEST(DisplayFilter, AgreesWithTheStepByStepRulesOnGeneratedChunks) {
  TestHost host;
  Client client(host);
  std::mt19937 rng(4321);
  TStringList& vars = client.store.Variables();
  for (int round = 0; round < 3000; ++round) {
    const std::string text = RandomText(rng);
    const std::string key = RandomKey(rng);
    vars.Clear();
    std::string kind, arg, expected;
    switch (rng() % 4) {
      case 0:
        kind = "replace";
        arg = "<" + key + ">";
        vars.Add("replaces." + key + "=" + arg);
        break;
      case 1:
        kind = "gag";
        vars.Add("replaces." + key + "=/gag");
        break;
      case 2:
        kind = "word";
        arg = "\x1b[1;33m\x1b[41m";
        vars.Add("highlights." + key + "=1 11 /w");
        break;
      default:
        kind = "line";
        arg = "\x1b[42m";
        vars.Add("highlights." + key + "=2");
        break;
    }
    ASSERT_EQ(Render(DisplayFilter(client, text)), Render(Reference(text, key, kind, arg)))
        << "key " << key << " as " << kind << " on " << Render(text);
  }
}

// Many entries at once, each applied to what the ones before made of the
// text: the index that passes over entries whose key the text cannot hold,
// and replaces made in one pass, must give what letting every entry search
// and mark its matches gives.  Replaces write text
// that later keys look for, keys carry anchors and a lone ESC swallows
// what follows it.
TEST(DisplayFilter, PassingOverEntriesTheIndexRulesOutChangesNothing) {
  static const char* pieces[] = {"ab", "c", "abca", " ", "\r\n", "\x1b[1;31m", "\x1b[0m", "\x1b", "b\x1b[32mc", "cab"};
  static const char* values[] = {"=<ab>", "=/gag", "=1 11 /w", "=2", "=bcab", "="};
  std::mt19937 rng(99);
  TestHost host;
  Client indexed(host), plain(host);
  plain.display_filter.use_index = false;
  plain.display_filter.one_pass_replaces = false;
  for (int round = 0; round < 600; ++round) {
    for (Client* c : {&indexed, &plain}) c->store.Variables().Clear();
    const int entries = 1 + static_cast<int>(rng() % 48);
    for (int e = 0; e < entries; ++e) {
      std::string key;
      const int n = 1 + static_cast<int>(rng() % 7);
      for (int i = 0; i < n; ++i) key += "abc "[rng() % 4];
      if (rng() % 5 == 0) key = "^" + key;
      if (rng() % 5 == 0) key += "$";
      const std::size_t v = rng() % 6;
      const std::string line = (v == 2 || v == 3 ? "highlights." : "replaces.") + key +
                               (v == 5 ? std::string("=x") + std::to_string(e) : std::string(values[v]));
      for (Client* c : {&indexed, &plain}) c->store.Variables().Add(line);
    }
    for (int chunk = 0; chunk < 3; ++chunk) {
      std::string text;
      for (int i = 0, n = static_cast<int>(rng() % 40); i < n; ++i) text += pieces[rng() % 10];
      ASSERT_EQ(Render(DisplayFilter(indexed, text)), Render(DisplayFilter(plain, text)))
          << "round " << round << " on " << Render(text);
    }
  }
}

TEST(DisplayFilter, FindsKeysAtEveryOffsetOfALongChunk) {
  TestHost host;
  Client client(host);
  client.store.Variables().Add("replaces.xy=[]");
  for (std::size_t at = 0; at < 70; ++at) {
    std::string text(80, '.');
    text.replace(at, 2, "xy");
    std::string colored = text;
    colored.insert(at + 1, "\x1b[0m");  // a code between the two letters
    std::string expected = text;
    expected.replace(at, 2, "[]");
    EXPECT_EQ(DisplayFilter(client, text), expected) << at;
    EXPECT_EQ(DisplayFilter(client, colored), expected) << at;
  }
}

TEST(DisplayFilter, AByteSwallowedByALoneEscapeStartsNoMatch) {
  TestHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Variables().Add("highlights.abc=1 11 /w");
  // The lone ESC takes the "a" as its final byte: the player reads "bc", and
  // no colour code may land inside that sequence.
  EXPECT_EQ(DisplayFilter(client, "x\x1b" "abc y"), "x\x1b" "abc y");
  // Behind a whole colour code the key is found as always.
  EXPECT_EQ(DisplayFilter(client, "\x1b[0mabc"), "\x1b[0m\x1b[81m\x1b[1;33m\x1b[41mabc\x1b[82m");
}

TEST(DisplayFilter, ALineHighlightPutsBackAnEscapeSequenceItsLineLeavesOpen) {
  TestHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Variables().Add("highlights.abc=1 11");
  // The lone ESC swallows the CR after it, and still does behind the
  // colour codes: the player reads the same text.
  EXPECT_EQ(DisplayFilter(client, "abc\x1b\r\ndef"), "\x1b[81m\x1b[1;33m\x1b[41mabc\x1b[82m\x1b\r\ndef");
  EXPECT_EQ(DisplayFilter(client, "x abc\x1b[1\r\ndef"),
            "\x1b[81m\x1b[1;33m\x1b[41mx abc\x1b[82m\x1b[1\r\ndef");
  // A sequence that ends within the line is only stripped.
  EXPECT_EQ(DisplayFilter(client, "abc\x1b[1m\r\ndef"), "\x1b[81m\x1b[1;33m\x1b[41mabc\x1b[82m\r\ndef");
}

TEST(DisplayFilter, LeavesTextAloneWithoutEntries) {
  TestHost host;
  Client client(host);
  const std::string text = "\x1b[1mplain\r\nlines";
  EXPECT_EQ(DisplayFilter(client, text), text);
  client.store.Variables().Add("replaces._autosave=on");
  client.store.Variables().Add("highlights._autosave=on");
  EXPECT_EQ(DisplayFilter(client, "on _autosave"), "on _autosave");
}

}  // namespace
}  // namespace tarnel::test
