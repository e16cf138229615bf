// Trigger patterns: the matcher and the substitution of variables in them.

#include <gtest/gtest.h>

#include <random>

#include "../support/match_pattern_reference.h"
#include "interp/words.h"
#include "pipeline/match_pattern.h"
#include "pipeline/pattern_variables.h"
#include "test_host.h"
#include "text/cp1251.h"
#include "text/encoding.h"

namespace tarnel::test {
namespace {

using namespace literals;

struct Case {
  std::string pattern, subject;
  bool matches;
  std::vector<std::string> captures;  // "%1=text"
};

TEST(MatchPatternTest, OneScanWithoutGoingBack) {
  const std::string says = Cp("%1 говорит: %2"_cp), said = Cp("\nВася говорит: привет\r"_cp);
  const std::string who = Cp("%1=Вася"_cp), what = Cp("%2=привет"_cp);
  const std::vector<Case> cases = {
      {"ab", "\naab\r", false, {}},  // the "a" that broke the match is not tried again
      {"%1 abc", "\nx ab abc\r", false, {}},
      {"%1 abc", "\nx abc\r", true, {"%1=x"}},
      {"\n%1\r", "\n line \r", true, {"%1= line "}},
      {says, said, true, {who, what}},
      {"%1%2", "\nab\r", false, {}},  // two captures with nothing between
      {"", "\nab\r", false, {}},
      {"a%b", "\nxa%by\r", true, {}},  // "%" before a non-digit is a letter
      {"%9 and %0", "\ncats and dogs\r", true, {"%9=cats", "%0=dogs"}},
      {"x", "\nx\r", true, {}},
      {"xy", "\nx\r", false, {}},
  };
  for (const Case& c : cases) {
    CaptureList list;
    EXPECT_EQ(MatchPattern(c.pattern, c.subject, list), c.matches)
        << c.pattern << " on " << c.subject;
    if (!c.matches) continue;
    std::vector<std::string> got;
    for (int k = 0; k <= list.counter; ++k)
      got.push_back(std::string(list.items[k].Name()) + "=" + list.items[k].text);
    EXPECT_EQ(got, c.captures) << c.pattern;
  }
}

TEST(MatchPatternTest, TheHundredAndTwentyNinthCaptureTakesAllTheRest) {
  std::string pattern, subject = "\n";
  for (int k = 0; k < 140; ++k) {
    pattern += "%1,";
    subject += std::to_string(k) + ",";
  }
  subject += "\r";
  CaptureList list;
  ASSERT_TRUE(MatchPattern(pattern, subject, list));
  EXPECT_EQ(list.counter, 128);
  EXPECT_EQ(list.items[127].text, "127");
  EXPECT_EQ(list.items[128].text, "139");
}

TEST(MatchPatternTest, AgreesWithThePlainReadingOfTheRules) {
  std::mt19937 rng(85);
  const std::string alphabet = "ab%1%2\r\n";
  auto word = [&](int max) {
    std::string s;
    for (int n = static_cast<int>(rng() % static_cast<unsigned>(max)); n > 0; --n)
      s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int k = 0; k < 50000; ++k) {
    const std::string pattern = word(9), subject = word(14);
    CaptureList fast, plain;
    const bool got = MatchPattern(pattern, subject, fast);
    ASSERT_EQ(got, ReferenceMatchPattern(pattern, subject, plain))
        << Render(pattern) << " / " << Render(subject);
    if (!got) continue;
    ASSERT_EQ(fast.counter, plain.counter);
    for (int c = 0; c <= fast.counter; ++c) ASSERT_EQ(fast.items[c].text, plain.items[c].text);
  }
}

// Captures go into the command one after another, each replacing every
// occurrence of its name in what the ones before left: a captured "%2" is
// replaced again, "%%1" can become a name, a second capture of one name
// finds nothing left.
TEST(SubstituteCapturesTest, GivesWhatReplacingEachCaptureInTurnGives) {
  std::mt19937 rng(31);
  const std::string alphabet = "a%12 ";
  auto word = [&](int max) {
    std::string s;
    for (int n = static_cast<int>(rng() % static_cast<unsigned>(max)); n > 0; --n)
      s += alphabet[rng() % alphabet.size()];
    return s;
  };
  std::string got;
  for (int k = 0; k < 50000; ++k) {
    const std::string command = word(12);
    CaptureList caps;
    caps.counter = static_cast<int>(rng() % 5) - 1;
    for (int c = 0; c <= caps.counter; ++c) {
      caps.items[c].name[1] = static_cast<char>('0' + rng() % 3);
      caps.items[c].text = rng() % 3 == 0 ? word(4) : std::string(1 + rng() % 3, 'x');
    }
    std::string expected = command;
    for (int c = 0; c <= caps.counter; ++c)
      expected = ReplaceAll(expected, caps.items[c].Name(), caps.items[c].text);
    SubstituteCaptures(command, caps, got);
    ASSERT_EQ(got, expected) << command;
  }
}

TEST(PatternVariablesTest, AgreesWithTheInterpretersSubstitution) {
  TestHost host;
  Client client(host);
  TStringList& vars = client.store.Variables();
  std::mt19937 rng(86);
  const std::vector<std::string> tokens = {"a",      " ",  "%x", "%y.z", "%none", "%x|", "%x(",
                                           "%y.z|q", "\"", "{",  "}",    "%1",    "%",   "%%x",
                                           "%Ёж",    "|",  "(",  "%x.",  "_"};
  const std::vector<std::string> values = {"", "v", "%1", "a|b", "{", "\"", "%x"};
  for (int round = 0; round < 3000; ++round) {
    std::string pattern;
    for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n)
      pattern += tokens[rng() % tokens.size()];
    pattern = text::Utf8ToCp1251(pattern);
    PatternVariables plan(pattern);
    for (int step = 0; step < 4; ++step) {
      // The variables change between lines: values, and whether they exist.
      for (const char* name : {"default.x", "y.z"}) {
        const std::string& value = values[rng() % values.size()];
        vars.SetValue(name, value);
        // A line with an empty value stands for an empty variable.
        if (value.empty() && rng() % 2) vars.Add(std::string(name) + "=");
      }
      if (rng() % 3 == 0) vars.SetValue("default.filler" + std::to_string(rng() % 3), "f");
      bool changed = false;
      TStringList no_locals;
      ASSERT_EQ(plan.Substitute(vars, changed),
                client.interp.SubstituteVariables(pattern, no_locals))
          << Render(pattern) << " with x=" << Render(vars.GetValue("default.x"))
          << " y.z=" << Render(vars.GetValue("y.z"));
    }
  }
}

}  // namespace
}  // namespace tarnel::test
