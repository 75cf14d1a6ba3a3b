#include <gtest/gtest.h>

#include <cmath>

#include "common/Currency.h"
#include "common/Exceptions.h"
#include "common/Format.h"

namespace hy {
namespace {

TEST(Currency, FromDoubleRoundsTheDecimalValue) {
  EXPECT_EQ(Currency::FromDouble(0.1).raw, 1000);
  EXPECT_EQ(Currency::FromDouble(1.23456).raw, 12346);
  EXPECT_EQ(Currency::FromDouble(1.00005).raw, 10001);  // 1.00005 * 10000 is 10000.4999...
  EXPECT_EQ(Currency::FromDouble(0.00005).raw, 1);
  EXPECT_EQ(Currency::FromDouble(-0.00005).raw, -1);
  EXPECT_EQ(Currency::FromDouble(-1.23454).raw, -12345);
  EXPECT_EQ(Currency::FromDouble(-0.0).raw, 0);
  EXPECT_EQ(Currency::FromDouble(922337203685477.0).raw, 9223372036854770000);
  EXPECT_EQ(Currency::FromDouble(-922337203685477.0).raw, -9223372036854770000);
  for (int k = -20000; k <= 20000; ++k)  // every 4-decimal value survives the trip
    ASSERT_EQ(Currency::FromDouble(k / 10000.0 + 12.0).raw, k + 120000) << k;
}

TEST(Currency, FromDoubleRejectsWhatDoesNotFit) {
  EXPECT_THROW(Currency::FromDouble(1e15), EConvertError);
  EXPECT_THROW(Currency::FromDouble(-1e19), EConvertError);
  EXPECT_THROW(Currency::FromDouble(NAN), EConvertError);
  EXPECT_THROW(Currency::FromDouble(INFINITY), EConvertError);
  try {
    Currency::FromDouble(1e20);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1E20' is not a valid currency value");
  }
}

TEST(Currency, TextIsExact) {
  TFormatSettings fs;
  EXPECT_EQ(CurrToStr(Currency::FromRaw(12345), fs), "1.2345");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(10000), fs), "1");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(-5), fs), "-0.0005");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(0), fs), "0");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MAX), fs), "922337203685477.5807");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MIN), fs), "-922337203685477.5808");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345), ffCurrency, 2, fs), "$1.23");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12350), ffCurrency, 2, fs), "$1.24");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(-12350), ffCurrency, 2, fs), "($1.24)");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(-49), ffCurrency, 2, fs), "$0.00");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(INT64_MAX), ffNumber, 4, fs), "922,337,203,685,477.5807");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(INT64_MAX), ffFixed, 2, fs), "922337203685477.58");
  EXPECT_EQ(FormatCurr("#,##0.0000", Currency::FromRaw(INT64_MAX), fs), "922,337,203,685,477.5807");
  EXPECT_EQ(FormatCurr("0.00", Currency::FromRaw(5), fs), "0.00");
  EXPECT_EQ(FormatCurr("0.00", Currency::FromRaw(-50), fs), "-0.01");
  EXPECT_EQ(FormatCurr("0.00;(0.00)", Currency::FromRaw(-12345), fs), "(1.23)");
  EXPECT_EQ(FormatCurr("", Currency::FromRaw(25000), fs), "2.5");
}

}  // namespace
}  // namespace hy
