#include <gtest/gtest.h>

#include "interp/words.h"

namespace tarnel {
namespace {

TEST(Unquote, RemovesOneCharacterAtEachEnd) {
  EXPECT_EQ(Unquote("  \"abc\""), "abc");
  EXPECT_EQ(Unquote("{abc}"), "abc");
  EXPECT_EQ(Unquote("'abc\""), "abc");  // the two need not match
  EXPECT_EQ(Unquote("abc   "), "abc");
  EXPECT_EQ(Unquote("\"abc  "), "abc");
  EXPECT_EQ(Unquote("{ a b }"), " a b ");  // blanks inside survive
  EXPECT_EQ(Unquote("{{x}}"), "{x}");
  EXPECT_EQ(Unquote("'"), "");
  EXPECT_EQ(Unquote(""), "");
}

TEST(WordAt, QuotesAndBracesGroupWords) {
  const std::string t = "one \"two three\" {four {five} six} seven";
  EXPECT_EQ(WordAt(t, 1), "one");
  EXPECT_EQ(WordAt(t, 2), "two three");
  EXPECT_EQ(WordAt(t, 3), "four {five} six");
  EXPECT_EQ(WordAt(t, 4), "seven");
  EXPECT_EQ(WordAt(t, 5), "");
  EXPECT_EQ(WordAt(t, 0), "");
  EXPECT_EQ(WordAt("  a   b  ", 2), "b");
  // A closing brace ends a word by itself.
  EXPECT_EQ(WordAt("{a}b c", 1), "a");
  EXPECT_EQ(WordAt("{a}b c", 2), "b");
  // An apostrophe opens a quote: the word never ends.
  EXPECT_EQ(WordAt("say don't go", 2), "");
}

TEST(WordsFrom, TakesTheRestFromTheWordOn) {
  EXPECT_EQ(WordsFrom("a b c d", 2), "b c d");
  EXPECT_EQ(WordsFrom("a \"b c\" \"d\"", 2), "b c\" \"d\"");
  EXPECT_EQ(WordsFrom("a {b c} d", 2), "b c");
  EXPECT_EQ(WordsFrom("a b", 3), "");
}

TEST(WordCount, EqualsAndClosingBracesSeparateWords) {
  EXPECT_EQ(WordCount(""), 0);
  EXPECT_EQ(WordCount("a b c"), 3);
  EXPECT_EQ(WordCount("x=5"), 2);
  EXPECT_EQ(WordCount("{a b}"), 1);
  EXPECT_EQ(WordCount("{a}{b}"), 2);
  EXPECT_EQ(WordCount("{{a}b}"), 2);
  EXPECT_EQ(WordCount("\"a = b\" c"), 2);
  EXPECT_EQ(WordCount("  host   4000  "), 2);
}

TEST(ReplaceAll, InsertedTextIsNotScannedAgain) {
  EXPECT_EQ(ReplaceAll("aba", "a", "aa"), "aabaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

}  // namespace
}  // namespace tarnel
