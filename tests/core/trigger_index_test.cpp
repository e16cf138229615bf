// The literal index that picks which triggers a line meets, and the walk it
// serves: random trigger sets over random game text must fire exactly as
// the plain walk over every trigger does.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "pipeline/literal_index.h"
#include "test_host.h"

namespace tarnel::test {
namespace {

// ---- The index on its own -------------------------------------------------

std::vector<std::uint32_t> Found(LiteralIndex& index, std::string_view text) {
  std::vector<std::uint32_t> out;
  index.Find(text, out);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(LiteralIndexTest, FindsEveryItemWhoseKeyTheTextHoldsOnceAsASearchWould) {
  std::mt19937 rng(7);
  const std::string alphabet = "ab c\n\r\xe0\xff%";
  for (int round = 0; round < 200; ++round) {
    LiteralIndex index;
    std::vector<std::string> keys;
    std::set<std::uint32_t> removed;
    const int items = 1 + static_cast<int>(rng() % 40);
    for (int id = 0; id < items; ++id) {
      std::string key;
      for (std::size_t n = 1 + rng() % 4; key.size() < n;) key += alphabet[rng() % alphabet.size()];
      keys.push_back(key);
      index.Add(static_cast<std::uint32_t>(id), key);
    }
    for (int id = 0; id < items; ++id)
      if (rng() % 5 == 0) {
        index.Remove(static_cast<std::uint32_t>(id), keys[static_cast<std::size_t>(id)]);
        removed.insert(static_cast<std::uint32_t>(id));
      }
    for (int t = 0; t < 5; ++t) {
      std::string text;
      for (std::size_t n = rng() % 30; text.size() < n;) text += alphabet[rng() % alphabet.size()];
      std::vector<std::uint32_t> expected;
      for (int id = 0; id < items; ++id)
        if (!removed.count(static_cast<std::uint32_t>(id)) &&
            text.find(keys[static_cast<std::size_t>(id)]) != std::string::npos)
          expected.push_back(static_cast<std::uint32_t>(id));
      ASSERT_EQ(Found(index, text), expected) << "round " << round << " text " << text;
    }
  }
  // Many keys (the shift tables grow and learn every key again) and texts
  // long enough to be walked as two halves.
  for (int round = 0; round < 6; ++round) {
    LiteralIndex index;
    std::vector<std::string> keys;
    const std::string letters = "abcdefghijklmnopqrstuvwxyz \xe0\xe1\xe2\xe3\xf0\xff";
    const int items = round < 3 ? 300 : 3000;
    for (int id = 0; id < items; ++id) {
      std::string key;
      for (std::size_t n = 3 + rng() % 2; key.size() < n;) key += letters[rng() % letters.size()];
      keys.push_back(key);
      index.Add(static_cast<std::uint32_t>(id), key);
    }
    for (int t = 0; t < 20; ++t) {
      std::string text;
      for (std::size_t n = rng() % 400; text.size() < n;) text += letters[rng() % letters.size()];
      std::vector<std::uint32_t> expected;
      for (int id = 0; id < items; ++id)
        if (text.find(keys[static_cast<std::size_t>(id)]) != std::string::npos) expected.push_back(static_cast<std::uint32_t>(id));
      ASSERT_EQ(Found(index, text), expected) << "many keys, round " << round;
    }
  }
  // Few keys and long texts: the pre-filter's way.  Keys of every length,
  // NUL and high bytes among them, keys at both ends of the text, keys
  // added between finds (the filter is made again) and taken back.
  for (int round = 0; round < 40; ++round) {
    LiteralIndex index;
    std::vector<std::string> keys;
    std::set<std::uint32_t> removed;
    const std::string letters = std::string("abc \r\n\xe0\xe1\xff\x1b[1;", 14) + '\0';
    auto random_text = [&](std::size_t n) {
      std::string s;
      while (s.size() < n) s += letters[rng() % letters.size()];
      return s;
    };
    for (int step = 0; step < 6; ++step) {
      for (int k = 0, add = 1 + static_cast<int>(rng() % 12); k < add && keys.size() < 70; ++k) {
        const auto id = static_cast<std::uint32_t>(keys.size());
        keys.push_back(random_text(1 + rng() % 5));
        index.Add(id, keys.back());
      }
      if (rng() % 3 == 0) {
        const auto id = static_cast<std::uint32_t>(rng() % keys.size());
        index.Remove(id, keys[id]);
        removed.insert(id);
      }
      for (int t = 0; t < 4; ++t) {
        std::string text = random_text(200 + rng() % 700);
        const std::string& a = keys[rng() % keys.size()];
        const std::string& b = keys[rng() % keys.size()];
        text = a + text + b;
        std::vector<std::uint32_t> expected;
        for (std::uint32_t id = 0; id < keys.size(); ++id) {
          const std::string_view k = std::string_view(keys[id]).substr(0, LiteralIndex::kLongestKey);
          if (!removed.count(id) && text.find(k) != std::string::npos) expected.push_back(id);
        }
        ASSERT_EQ(Found(index, text), expected) << "few keys, round " << round << " step " << step;
      }
    }
  }
  // Keys longer than four bytes wait for their first four.
  LiteralIndex index;
  index.Add(1, "abcdef");
  EXPECT_EQ(Found(index, "xabcdx"), std::vector<std::uint32_t>{1});
  EXPECT_TRUE(Found(index, "abc").empty());
}

TEST(LiteralIndexTest, PatternRunsAreTheTextBetweenCaptures) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(PatternRuns("%1 hits %2."), (V{" hits ", "."}));
  EXPECT_EQ(PatternRuns("\nYou are hungry\r"), (V{"\nYou are hungry\r"}));
  EXPECT_EQ(PatternRuns("%1%2"), V{});
  // A "%" without a digit is a letter like any other.
  EXPECT_EQ(PatternRuns("50% off%"), (V{"50% off%"}));
  EXPECT_EQ(PatternRuns("a%9"), (V{"a"}));
}

TEST(LiteralIndexTest, AKeyIsOneFewOtherPatternsShare) {
  KeyChooser chooser;
  const std::vector<std::string> patterns = {"%1 is hungry 1", "%1 is hungry 2", "%1 is hungry 3", "%1 hits %2"};
  for (const std::string& p : patterns) chooser.Count(p);
  EXPECT_EQ(chooser.Choose(patterns[0]), "ry 1");
  EXPECT_EQ(chooser.Choose(patterns[2]), "ry 3");
  // Short runs: the longest one.
  EXPECT_EQ(chooser.Choose("%1 at %2!"), " at ");
  EXPECT_EQ(chooser.Choose("%1-%2ab"), "ab");
  EXPECT_EQ(chooser.Choose("%1"), "");
}

// ---- The walk: indexed against plain ---------------------------------------

// Words shared by the patterns and the text, so that matches are common.
const std::vector<std::string> kWords = {"orc", "troll", "hits", "you", "wolf", "\xc2\xfb", "\xe2\xe0\xf1",
                                         "gold", "north", "is", "here", "a", "the", "50%", "[", "]"};

class Random {
 public:
  explicit Random(unsigned seed) : rng_(seed) {}
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
  const std::string& Word() { return kWords[Below(kWords.size())]; }

 private:
  std::mt19937 rng_;
};

// A pattern of words, blanks, captures, anchors, the odd variable reference
// and colour code.  Without variable references the walk does not store
// the line's variables until a command may read them.
std::string RandomPattern(Random& r, bool variables) {
  std::string p;
  if (r.OneIn(4)) p += '^';
  const std::size_t parts = 1 + r.Below(4);
  for (std::size_t k = 0; k < parts; ++k) {
    if (k > 0) p += ' ';
    switch (r.Below(8)) {
      case 0: p += "%" + std::to_string(1 + r.Below(3)); break;
      case 1:
        if (variables)
          p += r.OneIn(8) ? "%global._lastrow" : r.OneIn(2) ? "%target" : "%who";
        else
          p += r.Word();
        break;
      case 2: p += "/esc[1;31m" + r.Word(); break;
      default: p += r.Word(); break;
    }
  }
  if (r.OneIn(4)) p += '$';
  return p;
}

// A command that leaves a trace of the firing and its captures, and now
// and then changes the lists the walk depends on.
std::string RandomCommand(Random& r, int id) {
  const std::string n = std::to_string(id);
  std::string c = "/set fired=%fired " + n + ";/set cap" + n + "={%1|%2}";
  switch (r.Below(10)) {
    case 0: c += ";/set group g" + std::to_string(r.Below(3)) + (r.OneIn(2) ? "=on" : "=off"); break;
    case 1: c += ";/set target=" + r.Word(); break;
    case 2: c += ";/set who=" + r.Word(); break;
    case 3: c += ";/set trig {g1." + r.Word() + " %1}={/set added={%1}}"; break;
    case 4: c += ";/free trig {g1." + r.Word() + " %1}"; break;
    case 5: c += ";/set trig {default.%1 " + r.Word() + "}={/set late" + n + "=1}"; break;
    case 6: c += ";/set rows" + n + "=%global._currow_clean after %global._lastrow"; break;
    default: break;
  }
  return c;
}

std::string RandomLine(Random& r) {
  std::string line;
  const std::size_t words = r.Below(7);
  for (std::size_t k = 0; k < words; ++k) {
    if (k > 0) line += ' ';
    if (r.OneIn(6)) line += "\x1b[1;31m";
    line += r.Word();
    if (r.OneIn(8)) line += "\x1b[0m";
  }
  return line + (r.OneIn(10) ? "\n" : "\r\n");
}

class Session {
 public:
  explicit Session(bool indexed) {
    client.DefaultProfile();
    client.store.Triggers().Clear();
    client.store.Variables().SetValue("global._logfile", "");
    client.incoming.IndexTriggers(indexed);
  }
  std::string State() {
    std::string s;
    for (EntryKind kind : {EntryKind::Variables, EntryKind::Triggers, EntryKind::Groups})
      for (int k = 0; k < client.store.List(kind).Count(); ++k) s += client.store.List(kind)[k] + "\n";
    for (int row = 0; row < client.main_screen.ScreenRows(); ++row) {
      const TLine* line = client.main_screen.RowLine(row);
      s.append(line->Chars, kLineCells);
      s.append(reinterpret_cast<const char*>(line->Attrs), sizeof line->Attrs);
      s += '\n';
    }
    return s + host.main;
  }
  TestHost host;
  Client client{host};
};

TEST(TriggerIndexTest, RandomTriggerSetsFireAsThePlainWalkDoes) {
  int fired = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Random r(seed);
    Session indexed(true), plain(false);
    for (Session* s : {&indexed, &plain}) {
      TStringList& groups = s->client.store.Groups();
      for (int g = 0; g < 3; ++g) groups.Add("group.g" + std::to_string(g) + "=on");
      s->client.ExecuteCommand("/set target=orc", false);
    }
    const std::size_t triggers = 3 + r.Below(seed % 3 == 0 ? 300 : 40);
    const bool variables = seed % 4 != 1;
    std::vector<std::string> entries;
    for (std::size_t k = 0; k < triggers; ++k) {
      const std::string group = r.OneIn(3) ? "g" + std::to_string(r.Below(3)) : "default";
      entries.push_back(group + "." + RandomPattern(r, variables) + "=" + RandomCommand(r, static_cast<int>(k)));
    }
    for (Session* s : {&indexed, &plain})
      for (const std::string& e : entries) s->client.store.Triggers().Add(e);
    for (int chunk = 0; chunk < 40; ++chunk) {
      std::string text;
      for (std::size_t k = 1 + r.Below(6); k > 0; --k) text += RandomLine(r);
      // Chunks cut anywhere, a line now and then left unfinished.
      const std::size_t cut = r.Below(text.size() + 1);
      for (Session* s : {&indexed, &plain}) {
        s->client.incoming.ProcessIncoming(text.substr(0, cut));
        s->client.incoming.ProcessIncoming(text.substr(cut));
      }
      ASSERT_EQ(indexed.State(), plain.State()) << "seed " << seed << " chunk " << chunk;
    }
    const std::string trace = indexed.client.store.Var("default.fired");
    fired += static_cast<int>(std::count(trace.begin(), trace.end(), ' '));
  }
  // The sets do fire: the comparison is not between two idle walks.
  EXPECT_GT(fired, 1000);
}

}  // namespace
}  // namespace tarnel::test
