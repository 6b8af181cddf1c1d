#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "common/rounding.h"
#include "common/text.h"

namespace quiltor {
namespace {

TEST(Rounding, TiesGoToEven) {
  struct Case { double in; double out; };
  // Beyond the plain halves: the largest double below a half, halves just
  // under 2^51 and 2^52 where the fraction is the last bits, integral values above,
  // and values that must pass through unchanged.
  for (const Case c : {Case{50.5, 50}, {51.5, 52}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.5, -2},
                       {0.49999999999999994, 0}, {-0.49999999999999994, 0}, {2251799813685247.5, 2251799813685248.0},
                       {-2251799813685246.5, -2251799813685246.0}, {4503599627370495.5, 4503599627370496.0},
                       {-4503599627370494.5, -4503599627370494.0}, {4503599627370497.0, 4503599627370497.0},
                       {-1e300, -1e300}, {HUGE_VAL, HUGE_VAL}}) {
    EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
  }
  EXPECT_TRUE(std::signbit(RoundHalfEven(-0.0)));
  EXPECT_FALSE(std::signbit(RoundHalfEven(-0.25)));
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""))));
  EXPECT_EQ(RoundHalfEvenToInt(1e12), 2147483647);
  EXPECT_EQ(RoundHalfEvenToInt(std::nan("")), 0);
}

TEST(CsvField, FieldsDefaultsAndSpaces) {
  struct Case { const char* line; int n; const char* expected; };
  const Case cases[] = {
      {"a, b ,c", 2, "b"},          // trimmed
      {"a,,c", 2, "dflt"},          // empty field
      {"a,b,", 3, "dflt"},          // comma at the end
      {"a,b", 3, "dflt"},           // too few fields
      {"a,   ,c", 2, ""},            // spaces only: empty, not the default
      {"a,\tb\t,c", 2, "\tb\t"},    // tabs stay
      {"only", 1, "only"},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.line, c.n, "dflt"), c.expected) << c.line;
}

TEST(CsvNumbers, FilteringAndDefaults) {
  EXPECT_DOUBLE_EQ(CsvFloat("x, 12.5 N,", 2, 9), 12.5);
  EXPECT_DOUBLE_EQ(CsvFloat("x,abc", 2, 9), 0.0);       // no digits reads as 0
  EXPECT_DOUBLE_EQ(CsvFloat("x,", 2, 9), 9.0);          // empty: default
  EXPECT_DOUBLE_EQ(CsvFloat("x,-1.5E2", 2, 9), -150.0);
  EXPECT_DOUBLE_EQ(CsvFloat("x,+3", 2, 9), 3.0);
  EXPECT_EQ(CsvInt("x,12.5", 2, 7), 7);                 // "12 5" is not an integer
  EXPECT_EQ(CsvInt("x, 42px", 2, 7), 42);
  EXPECT_EQ(CsvInt("x,-3", 2, 7), -3);
  EXPECT_EQ(CsvInt("x,99999999999", 2, 7), 7);          // beyond 32 bits
  EXPECT_EQ(CsvInt("x", 2, 7), 7);
}

TEST(ParseDecimal, CommaAndLocale) {
  // A comma locale in the process must not change how numbers read.
  const char* old = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_DOUBLE_EQ(ParseDecimal(" 1,25 "), 1.25);
  EXPECT_DOUBLE_EQ(ParseDecimal("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(ParseDecimal(""), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("12abc"), 0.0);
  EXPECT_EQ(FormatFixed(1.5, 3), "1.500");
  if (old != nullptr) std::setlocale(LC_NUMERIC, "C");
}

TEST(Formatting, PadsAndFixedWidth) {
  EXPECT_EQ(ZeroPad("7", 2), "07");
  EXPECT_EQ(ZeroPad("123", 2), "123");
  EXPECT_EQ(FormatFixedWidth(2.5, 8, 6), "2.500000");
  EXPECT_EQ(FormatFixedWidth(2.5, 10, 2), "      2.50");
  EXPECT_EQ(FormatFixed(-0.00001, 2), "0.00");
  EXPECT_EQ(FormatInt(-42), "-42");
}

TEST(SplitBlanks, RunsOfBlanksAndTabsSeparateWords) {
  using Words = std::vector<std::string_view>;
  EXPECT_EQ(SplitBlanks("  /dev/sr0\t/media/cd  iso9660 ro 0 0 "), (Words{"/dev/sr0", "/media/cd", "iso9660", "ro", "0", "0"}));
  EXPECT_EQ(SplitBlanks(" \t "), Words{});
  EXPECT_EQ(SplitBlanks("+proj=utm"), Words{"+proj=utm"});
}

// Texts of map files written on Windows arrive in code page 1252; what is
// shown or written as JSON is UTF-8, and never carries raw control bytes.
TEST(Utf8, CodePageTextsBecomeUtf8AndControlsArePrinted) {
  struct Case {
    const char* in;
    const char* utf8;
    const char* printable;
  };
  const Case cases[] = {
      {"plain", "plain", "plain"},
      {"K\xC3\xB6ln", "K\xC3\xB6ln", "K\xC3\xB6ln"},                           // UTF-8 stays
      {"K\xF6ln \x96 \x80", "K\xC3\xB6ln \xE2\x80\x93 \xE2\x82\xAC", nullptr},  // 1252
      {"\xC0\x80", "\xC3\x80\xE2\x82\xAC", nullptr},                       // overlong form: not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", nullptr},            // surrogate: not UTF-8
      {"\x81", "\xC2\x81", "?"},                                        // undefined in 1252: a C1 control
      {"a\x1B[2Jb\x7F", "a\x1B[2Jb\x7F", "a?[2Jb?"},                      // escape sequences
      {"\xC2\x9B", "\xC2\x9B", "?"},                                       // C1 control
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidUtf8(c.in), c.utf8) << c.in;
    if (c.printable) EXPECT_EQ(PrintableText(c.in), c.printable) << c.in;
  }
}

}  // namespace
}  // namespace quiltor
