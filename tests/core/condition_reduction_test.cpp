// The one-pass reduction of conditions against the step-by-step rules, on
// many texts of the kinds players and servers produce, the odd ones
// included: the same comparisons in the same order, the same truth.

#include <gtest/gtest.h>

#include <random>

#include "interp/condition.h"
#include "interp/words.h"
#include "support/condition_reference.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

namespace ref = condition_reference;

// A comparison whose truth follows its text, and the texts in the order
// they were compared.
struct Recorder {
  std::vector<std::string> seen;
  bool operator()(std::string_view text) {
    seen.emplace_back(text);
    std::size_t h = 0;
    for (char c : text) h = h * 31 + static_cast<unsigned char>(c);
    return (h >> 3) % 2 == 0;
  }
};

std::string Random(std::mt19937& rng, std::string_view alphabet, std::size_t max_len) {
  std::uniform_int_distribution<std::size_t> len(0, max_len);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string s;
  for (std::size_t n = len(rng); s.size() < n;) s += alphabet[pick(rng)];
  return s;
}

std::string Operators(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  s = ReplaceAll(s, "AND", "&");
  s = ReplaceAll(s, "OR", "|");
  return ReplaceAll(s, "NOT", "!");
}

TEST(ConditionReduction, ComparisonsGoInTheSameOrderToTheSameText) {
  std::mt19937 rng(20261209);
  // Parentheses, quotes, negations, operators, marks and operand bytes.
  const std::string alphabet = std::string("((())\"'!&|a1=<~not and or ") + '\x01' + '\x02';
  for (int round = 0; round < 60000; ++round) {
    const std::string framed = "(" + Random(rng, alphabet, round % 7 == 0 ? 60 : 16) + ")";
    Recorder mine, theirs;
    const std::string a = ReduceComparisons(framed, std::ref(mine));
    const std::string b = ref::ReduceComparisons(framed, std::ref(theirs));
    ASSERT_EQ(Render(a), Render(b)) << Render(framed);
    ASSERT_EQ(mine.seen, theirs.seen) << Render(framed);
    const std::string logic = Operators(a);
    ASSERT_EQ(ReduceLogic(logic), ref::ReduceLogic(logic)) << Render(logic);
  }
}

TEST(ConditionReduction, LogicOfMarksComesOutTheSame) {
  std::mt19937 rng(7);
  const std::string alphabet = std::string("(((()))!!&|x") + '\x01' + '\x02' + '\x01' + '\x02';
  for (int round = 0; round < 100000; ++round) {
    const std::string s = Random(rng, alphabet, round % 5 == 0 ? 40 : 12);
    ASSERT_EQ(ReduceLogic(s), ref::ReduceLogic(s)) << Render(s);
  }
}

TEST(ConditionReduction, DeepAndLongConditionsStillComeOutRight) {
  TestHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  TStringList vars, funcs;
  // A hundred thousand parentheses around one comparison.
  std::string deep(100000, '(');
  deep += "2>1";
  deep.append(100000, ')');
  EXPECT_TRUE(EvaluateCondition(client, deep, vars, funcs));
  EXPECT_FALSE(EvaluateCondition(client, "(not" + deep + ")", vars, funcs));
  // Thirty thousand comparisons joined by "and", one of them false.
  std::string many = "(";
  for (int i = 0; i < 30000; ++i) many += i == 29999 ? "(1>2)" : "(1<2)and";
  many += ")";
  EXPECT_FALSE(EvaluateCondition(client, many, vars, funcs));
  many.replace(many.size() - 6, 5, "(1<2)");
  EXPECT_TRUE(EvaluateCondition(client, many, vars, funcs));
}

}  // namespace
}  // namespace tarnel::test
