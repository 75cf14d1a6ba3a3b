#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/Format.h"

namespace hy {
namespace {

class FormatFloatTest : public ::testing::Test {
protected:
  TFormatSettings fs = TFormatSettings::EnglishUS();
  std::string F(std::string_view format, double v) { return FormatFloat(format, v, fs); }
};

TEST_F(FormatFloatTest, RoundsHalfAwayFromZeroOnDecimalDigits) {
  EXPECT_EQ(F("0.00", 0.125), "0.13");
  EXPECT_EQ(F("0.00", 1.005), "1.01");
  EXPECT_EQ(F("0.00", 2.675), "2.68");
  EXPECT_EQ(F("0.00", -0.125), "-0.13");
  EXPECT_EQ(F("0.00", 0.35 - 0.2), "0.15");  // 0.14999999999999997 as a double
  EXPECT_EQ(F("0.00", 1234.5), "1234.50");
  EXPECT_EQ(F("0", 0.5), "1");
  EXPECT_EQ(F("0", 1.5), "2");
  EXPECT_EQ(F("0", 2.5), "3");
  EXPECT_EQ(F("0", -2.5), "-3");
  EXPECT_EQ(F("0.00", 9.995), "10.00");
  EXPECT_EQ(F("0.000", 1e-4), "0.000");
  EXPECT_EQ(F("0.000", 5e-4), "0.001");
}

TEST_F(FormatFloatTest, NoMinusOnZero) {
  EXPECT_EQ(F("0.00", 0.0), "0.00");
  EXPECT_EQ(F("0.00", -0.0), "0.00");
  EXPECT_EQ(F("0.00", -0.001), "0.00");
  EXPECT_EQ(F("0", -0.4), "0");
  EXPECT_EQ(F("0.00;(0.00)", -0.001), "0.00");
  EXPECT_EQ(F("#,##0.00", -1e-300), "0.00");
}

TEST_F(FormatFloatTest, PlaceholdersAndThousands) {
  EXPECT_EQ(F("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(F("#,##0.00", 999.995), "1,000.00");
  EXPECT_EQ(F("#,##0.00", 0.5), "0.50");
  EXPECT_EQ(F("#,##0.00", -1234.5), "-1,234.50");
  EXPECT_EQ(F("#,##0", 100), "100");
  EXPECT_EQ(F("#,##0", 123456789), "123,456,789");
  EXPECT_EQ(F("#,##0", 1000), "1,000");
  EXPECT_EQ(F("000", 7), "007");
  EXPECT_EQ(F("000", 12345), "12345");
  EXPECT_EQ(F("0.0##", 1.5), "1.5");
  EXPECT_EQ(F("0.0##", 1.23456), "1.235");
  EXPECT_EQ(F("0.0##", 2), "2.0");
  EXPECT_EQ(F("#.##", 0.5), ".5");
  EXPECT_EQ(F("#.##", 3), "3");
  EXPECT_EQ(F("0.", 3.4), "3");
  EXPECT_EQ(F("0.000", 0.1 + 0.2), "0.300");
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  EXPECT_EQ(F("#,##0.00", 1234.5), "1.234,50");
}

TEST_F(FormatFloatTest, Sections) {
  EXPECT_EQ(F("0.00;(0.00)", -5), "(5.00)");
  EXPECT_EQ(F("0.00;(0.00)", 5), "5.00");
  EXPECT_EQ(F("0;(0);\"zero\"", 0), "zero");
  EXPECT_EQ(F("0;(0);\"zero\"", -0.4), "zero");
  EXPECT_EQ(F("0;(0);\"zero\"", 0.4), "zero");
  EXPECT_EQ(F("0;(0);\"zero\"", 3), "3");
  EXPECT_EQ(F("0;(0);\"zero\"", -3), "(3)");
  EXPECT_EQ(F("0.00;;\"z\"", -1), "-1.00");  // empty negative section: first, with "-"
  EXPECT_EQ(F("0.00;(0.00);", 0), "0.00");   // empty zero section: first
  EXPECT_EQ(F("\"a;b\"0", 5), "a;b5");       // ";" inside quotes is text
  EXPECT_EQ(F("0;-0;0;junk", -2), "-2");
  EXPECT_EQ(F("#,##0.00;(#,##0.00)", -1234.567), "(1,234.57)");
}

TEST_F(FormatFloatTest, Literals) {
  EXPECT_EQ(F("$#,##0.00", -1234.5), "-$1,234.50");
  EXPECT_EQ(F("0.0 \"kg\"", 2.5), "2.5 kg");
  EXPECT_EQ(F("0.0 'm/s'", 2.5), "2.5 m/s");
  EXPECT_EQ(F("[0]", 42), "[42]");
  EXPECT_EQ(F("0%", 5), "5%");
}

TEST_F(FormatFloatTest, Scientific) {
  EXPECT_EQ(F("0.00E+00", 1234.5), "1.23E+03");
  EXPECT_EQ(F("0.00E+00", 0.000123), "1.23E-04");
  EXPECT_EQ(F("0.00E-00", 1234.5), "1.23E03");
  EXPECT_EQ(F("0.00E-00", 0.000123), "1.23E-04");
  EXPECT_EQ(F("0.00e+0", 0), "0.00e+0");
  EXPECT_EQ(F("0.00E+00", -1234.5), "-1.23E+03");
  EXPECT_EQ(F("0.00E+00", 9.999), "1.00E+01");
  EXPECT_EQ(F("0.00E+00", 1e300), "1.00E+300");
  EXPECT_EQ(F("0.###E+0", 1500), "1.5E+3");
}

TEST_F(FormatFloatTest, FallsBackToGeneral) {
  EXPECT_EQ(F("0.00", 1e20), "1E20");
  EXPECT_EQ(F("#,##0", -1e25), "-1E25");
  EXPECT_EQ(F("0", 123456789012345678.0), "123456789012346000");  // 18 digits still fixed
  EXPECT_EQ(F("0.00", NAN), "NAN");
  EXPECT_EQ(F("0.00", INFINITY), "INF");
  EXPECT_EQ(F("0.00", -INFINITY), "-INF");
  EXPECT_EQ(F("", 1.5), "1.5");
}

// Formats of placeholders, commas and a point take a shorter road; an empty
// quoted literal sends the same format down the general one, which must give
// the same text.
TEST_F(FormatFloatTest, PlainFormatsAgreeWithTheGeneralLayout) {
  const char* const formats[] = {"0",         "0.00",       "#,##0.00", "#,##0", "000.0#",
                                 "#.##",      "0.",         "0.0,0",    "#",     "00000",
                                 "#,#0.0###", "##0.000000", "0.00;-0.0"};
  std::mt19937_64 rng(7);
  std::vector<double> values = {0.0,    -0.0,  0.5,  0.125,          -0.125, 1.005, 9.995, 999.995,
                                1e-300, -1e-9, 1e15, 123456789012.5, 1e18,   1e19,  -7.0};
  for (int i = 0; i < 3000; ++i) {
    const double magnitude = std::pow(10.0, static_cast<int>(rng() % 30) - 10);
    values.push_back((static_cast<double>(rng() % 2000001) - 1e6) / 1e6 * magnitude);
  }
  for (const char* format : formats) {
    const std::string general = std::string(format) + "\"\"";
    for (double v : values) ASSERT_EQ(F(format, v), F(general, v)) << format << " " << v;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    for (double v : values) ASSERT_EQ(F(format, v), F(general, v)) << format << " " << v;
    fs = TFormatSettings::EnglishUS();
  }
}

// Oracle: away from ties, the C library's correctly rounded "%.6f" agrees.
TEST_F(FormatFloatTest, AgreesWithPrintfAwayFromTies) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(-1e6, 1e6);
  for (int i = 0; i < 20000; ++i) {
    double v = dist(rng) / std::pow(10.0, static_cast<int>(rng() % 6));
    double scaled = std::fabs(v) * 1e6;
    if (std::fabs(scaled - std::floor(scaled) - 0.5) < 0.01) continue;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string expect = buf;
    if (expect == "-0.000000") expect = "0.000000";
    ASSERT_EQ(F("0.000000", v), expect) << v;
  }
}

// Oracle: the exact decimal expansion of the double, rounded half away from
// zero at each precision. Values one unit in the last place either side of
// decimal ties are where a shortcut through a shorter text would go wrong.
std::string RoundExact(double v, int precision) {
  char exact[820];
  std::snprintf(exact, sizeof exact, "%.780e", std::fabs(v));
  std::string digits;
  for (const char* p = exact; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  bool up = digits[precision] >= '5';
  digits.resize(precision);
  int exponent = std::atoi(std::strchr(exact, 'e') + 1) + 1;
  if (up) {
    int i = precision - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) ++digits[i];
    else digits.insert(digits.begin(), '1'), digits.pop_back(), ++exponent;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits + "e" + std::to_string(exponent);
}

TEST(FloatToDecimal, RoundsTheExactValueAtEveryPrecision) {
  std::mt19937_64 rng(11);
  std::vector<double> values;
  for (int i = 0; i < 4000; ++i)
    values.push_back(std::ldexp(std::uniform_real_distribution<double>(0.5, 1)(rng),
                                static_cast<int>(rng() % 200) - 100));
  for (int i = 0; i < 2000; ++i) {
    // n + 0.5 at the 15th digit and its neighbours.
    const double tie = (static_cast<double>(rng() % 100000000000000ULL) + 0.5) / 1e4;
    values.push_back(tie);
    values.push_back(std::nextafter(tie, 0.0));
    values.push_back(std::nextafter(tie, 1e300));
  }
  // Carries into a new digit, powers of ten and the edges of the scaled path.
  values.insert(values.end(), {0.125,
                               2.675,
                               1.005,
                               9.995,
                               0.1 + 0.2,
                               1e22,
                               5e-324,
                               1.7e308,
                               9.999999999999995,
                               99999999999999.95,
                               999999999999999.4,
                               999999999999999.5,
                               1e15,
                               1e14,
                               1e-7,
                               9.99999999999999e-8,
                               123456789012345.5,
                               0.1,
                               1e-5,
                               100000000000000.05});
  for (double v : values)
    for (int precision = 1; precision <= 15; ++precision) {
      const TFloatRec rec = FloatToDecimal(v, precision);
      const std::string got =
          std::string(rec.Digits, rec.Count) + "e" + std::to_string(rec.Exponent);
      ASSERT_EQ(got, RoundExact(v, precision)) << v << " at " << precision;
    }
}

TEST(FloatToStrF, GeneralShortestForm) {
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(-1.5), "-1.5");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1e-300), "1E-300");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(100), "100");
  EXPECT_EQ(FloatToStrF(12345, ffGeneral, 4, 2), "1.235E04");
  EXPECT_EQ(FloatToStrF(1234, ffGeneral, 4, 2), "1234");
  EXPECT_EQ(FloatToStrF(0.00001234, ffGeneral, 15, 2), "1.234E-05");
  EXPECT_EQ(FloatToStrF(1234.5678, ffGeneral, 0, 2), "1234.5678");  // 0: 15 digits
  EXPECT_EQ(FloatToStrF(0.1, ffGeneral, 18, 0), "0.100000000000000006");
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(1.25, fs), "1,25");
}

TEST(FloatToStrF, FloatToStrRoundTrips) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    double v = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng),
                          static_cast<int>(rng() % 400) - 200);
    double back = StrToFloat(FloatToStr(v));
    ASSERT_NEAR(back, v, std::fabs(v) * 6e-15) << v;
  }
}

TEST(FloatToStrF, ExponentFixedNumber) {
  EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2), "1.235E+03");
  EXPECT_EQ(FloatToStrF(0, ffExponent, 4, 2), "0.000E+00");
  EXPECT_EQ(FloatToStrF(-0.0001234, ffExponent, 3, 0), "-1.23E-4");
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 15, 2), "1234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 5, 2), "1234.60");
  EXPECT_EQ(FloatToStrF(0.5, ffFixed, 15, 0), "1");
  EXPECT_EQ(FloatToStrF(-0.001, ffFixed, 15, 2), "0.00");
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), "1E20");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), "1,234,567.89");
  EXPECT_EQ(FloatToStrF(-1234567.891, ffNumber, 15, 0), "-1,234,568");
  EXPECT_EQ(FloatToStrF(NAN, ffFixed, 15, 2), "NAN");
}

TEST(FloatToStrF, CurrencyPatterns) {
  TFormatSettings fs;
  EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, 2, fs), "$1,234.50");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, fs), "($1,234.50)");
  EXPECT_EQ(FloatToStrF(-0.001, ffCurrency, 15, 2, fs), "$0.00");
  EXPECT_EQ(FloatToStrF(2.5, ffCurrency, 15, 0, fs), "$3");
  const char* positive[4] = {"$1.00", "1.00$", "$ 1.00", "1.00 $"};
  for (int k = 0; k < 4; ++k) {
    fs.CurrencyFormat = k;
    EXPECT_EQ(FloatToStrF(1, ffCurrency, 15, 2, fs), positive[k]);
  }
  const char* negative[16] = {"($1.00)", "-$1.00",  "$-1.00",   "$1.00-",  "(1.00$)", "-1.00$",
                              "1.00-$",  "1.00$-",  "-1.00 $",  "-$ 1.00", "1.00 $-", "$ 1.00-",
                              "$ -1.00", "1.00- $", "($ 1.00)", "(1.00 $)"};
  for (int k = 0; k < 16; ++k) {
    fs.NegCurrFormat = k;
    EXPECT_EQ(FloatToStrF(-1, ffCurrency, 15, 2, fs), negative[k]) << k;
  }
  fs.CurrencyString = "EUR";
  fs.CurrencyFormat = 3;
  fs.NegCurrFormat = 8;
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, fs), "-1,234.50 EUR");
}

}  // namespace
}  // namespace hy
