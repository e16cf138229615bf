#include <gtest/gtest.h>

#include <cmath>

#include "interp/formula.h"
#include "text/case_fold.h"
#include "text/cp1251.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/paths.h"
#include "text/stamps.h"

namespace tarnel {
namespace {

using namespace literals;

TEST(Cp1251, LiteralsAreSingleByteAndConvertBothWays) {
  constexpr std::string_view s = "Ёж №1 «ы»"_cp;
  EXPECT_EQ(s, "\xA8\xE6 \xB9\x31 \xAB\xFB\xBB");
  EXPECT_EQ(text::Cp1251ToUtf8(s), "Ёж №1 «ы»");
  EXPECT_EQ(text::Utf8ToCp1251("Ёж №1 «ы»"), s);
  // Every byte survives a round trip through UTF-8.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(text::Utf8ToCp1251(text::Cp1251ToUtf8(all)), all);
  // What the code page lacks becomes "?", broken UTF-8 is kept as bytes.
  EXPECT_EQ(text::Utf8ToCp1251("a\xE2\x82\xBD" "b"), "a?b");  // the rouble sign
  EXPECT_EQ(text::Utf8ToCp1251("\xE4\xE0"), "\xE4\xE0");
}

TEST(CaseFold, CyrillicAndLatinLettersFold) {
  EXPECT_TRUE(text::SameText("Привет Ёж", std::string("пРИВЕТ ёЖ")) == false);  // UTF-8 is not our text
  EXPECT_TRUE(text::SameText("Привет Ёж"_cp, "пРИВЕТ ёЖ"_cp));
  EXPECT_EQ(text::UpperCase1251("abc жё"_cp), "ABC Жё"_cp);  // ё is outside E0-FF
  EXPECT_EQ(text::UpperAscii("f5 ж"_cp), "F5 ж"_cp);
}

TEST(Numbers, IntegersAsTheScriptReadsThem) {
  EXPECT_EQ(text::ReadInteger("42"), 42);
  EXPECT_EQ(text::ReadInteger("  -7"), -7);
  EXPECT_EQ(text::ReadInteger("+3"), 3);
  EXPECT_EQ(text::ReadInteger("$1F"), 31);
  EXPECT_EQ(text::ReadInteger("0x10"), 16);
  EXPECT_FALSE(text::ReadInteger("12 "));
  EXPECT_FALSE(text::ReadInteger("abc"));
  EXPECT_FALSE(text::ReadInteger(""));
  EXPECT_FALSE(text::ReadInteger("-"));
  EXPECT_FALSE(text::ReadInteger("99999999999999999999"));
  EXPECT_EQ(text::IntegerOr("x", 5), 5);
}

TEST(Numbers, GeneralFormatWithFifteenDigits) {
  EXPECT_EQ(text::FormatGeneral(3), "3");
  EXPECT_EQ(text::FormatGeneral(-2.5L), "-2.5");
  EXPECT_EQ(text::FormatGeneral(0.0001L), "0.0001");
  EXPECT_EQ(text::FormatGeneral(1.0L / 3), "0.333333333333333");
  EXPECT_EQ(text::FormatGeneral(1e20L), "1E20");
  EXPECT_EQ(text::FormatGeneral(1.5e-7L), "1.5E-7");
  EXPECT_EQ(text::FormatGeneral(123456789012345.0L), "123456789012345");
  EXPECT_EQ(text::FormatGeneral(1234567890123456.0L), "1.23456789012346E15");
  EXPECT_EQ(text::FormatFixed(2.0L / 3, 2), "0.67");
}

TEST(Stamps, DayMonthYearAndHoursMinutes) {
  std::tm t{};
  t.tm_mday = 7;
  t.tm_mon = 11;
  t.tm_year = 126;
  t.tm_hour = 9;
  t.tm_min = 5;
  EXPECT_EQ(text::DateStamp(t), "07.12.2026");
  EXPECT_EQ(text::TimeStamp(t), "09:05");
}

// A saved profile names its includes by full path and loads them back
// through the same expansion: it must give what it was given.
TEST(Paths, ExpandingAFullPathAgainGivesTheSamePath) {
  for (const char* path : {"/", "//", "///", "/////", "//a", "///a//b/", "/a/./b/../c", "/a/b/"}) {
    const std::string once = text::ExpandFileName(path);
    EXPECT_EQ(text::ExpandFileName(once), once) << path;
    EXPECT_EQ(once.find("//"), std::string::npos) << path;
  }
  EXPECT_EQ(text::ExpandFileName("///"), "/");
  EXPECT_EQ(text::ExpandFileName("///a//b/"), "/a/b");
}

TEST(Formula, GrammarAsPlayersUseIt) {
  auto v = [](const char* f) { return EvaluateFormula(f); };
  EXPECT_EQ(v("1+2*3"), 7);
  EXPECT_EQ(v("(1+2)*3"), 9);
  EXPECT_EQ(v("2+(-3)"), -1);
  EXPECT_EQ(v("2^(3)"), 8);
  EXPECT_EQ(v("2^3^2"), 64);
  EXPECT_EQ(v("-2*3"), -6);
  EXPECT_EQ(v("10 / 4"), 2.5);
  EXPECT_EQ(v("sgn(-7)"), -1);
  EXPECT_EQ(v("h(0)"), 1);
  EXPECT_EQ(v("ABS(-2)"), 2);
  EXPECT_NEAR(static_cast<double>(*v("sqrt(2)*sqrt(2)")), 2.0, 1e-12);
  EXPECT_EQ(v("1.5e2"), 150);
  // The minus of "-2" belongs to the number, so the power applies to -2.
  EXPECT_EQ(v("-2^2"), 4);
  EXPECT_EQ(v("(-sin(0))"), 0);
}

TEST(Formula, InvalidFormulasFail) {
  for (const char* f : {"2+-3", "2^(1+2)", "2^x", "x", "foo(1)", "sin 1", "(1+2", "1+2)", "",
                        "1/0", "ln(0)", "sqrt(-1)", "1 2", "5%", "2*-3"})
    EXPECT_FALSE(EvaluateFormula(f)) << f;
  // Absurd nesting and length are refused, never a crash.
  EXPECT_FALSE(EvaluateFormula(std::string(100000, '(') + "1" + std::string(100000, ')')));
  std::string longsum = "1";
  for (int i = 0; i < 50000; ++i) longsum += "+1";
  EXPECT_FALSE(EvaluateFormula(longsum));
}

}  // namespace
}  // namespace tarnel
