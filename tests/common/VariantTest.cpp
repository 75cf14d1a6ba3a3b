#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "common/Exceptions.h"
#include "common/Variant.h"

// Counts heap allocations so that the number paths can be shown to need none.
static std::atomic<long> g_allocations{0};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The nothrow forms too (the standard library's sort buffers use them), so
// that every block is allocated and freed by the same pair.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++g_allocations;
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace hy {
namespace {

Variant I(int32_t v) { return Variant(v); }
Variant L(int64_t v) { return Variant(v); }
Variant D(double v) { return Variant(v); }
Variant C(double v) { return Variant(Currency::FromDouble(v)); }

template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(Variant, StaysSmall) {
  EXPECT_LE(sizeof(Variant), 56u);
  std::vector<Variant> row{I(1), D(2.5), C(3.25), Variant(true), Variant::Date(38000.5), L(1)};
  long before = g_allocations;
  Variant sum;
  for (int k = 0; k < 1000; ++k) {
    for (const Variant& v : row) {
      Variant copy = v;
      sum = VarAdd(sum, copy);
      (void)VarCompare(copy, sum);
    }
  }
  EXPECT_EQ(g_allocations - before, 0);
}

TEST(Variant, ArithmeticResultTypes) {
  struct Case {
    Variant a, b;
    TVarType add;
  } cases[] = {
      {I(1), I(2), varInteger},
      {Variant::Smallint(1), Variant::Smallint(2), varInteger},
      {I(INT32_MAX), I(1), varInt64},
      {L(1), I(1), varInt64},
      {L(INT64_MAX), I(1), varDouble},
      {I(1), D(0.5), varDouble},
      {Variant::Single(1), Variant::Single(2), varDouble},
      {C(1.5), I(1), varCurrency},
      {C(1.5), C(1), varCurrency},
      {C(1.5), D(1), varDouble},
      {Variant::Date(38000), I(1), varDate},
      {I(1), Variant::Date(38000), varDate},
      {Variant::Date(38000), D(0.25), varDate},
      {Variant(true), I(1), varInteger},
      {Variant(), I(5), varInteger},
      {Variant(), Variant(), varInteger},
      {Variant("2"), I(3), varDouble},
      {Variant("ab"), Variant("cd"), varString},
      {Variant(), Variant("x"), varString},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VarAdd(c.a, c.b).VarType(), c.add)
        << VarTypeName(c.a.VarType()) << "+" << VarTypeName(c.b.VarType());

  EXPECT_EQ(VarAdd(I(INT32_MAX), I(1)).AsInt64(), int64_t{INT32_MAX} + 1);
  EXPECT_EQ(VarMul(I(100000), I(100000)).AsInt64(), 10000000000);
  EXPECT_EQ(VarSub(L(INT64_MIN), I(1)).AsDouble(), -9223372036854775808.0 - 1);
  EXPECT_EQ(VarAdd(Variant(true), I(1)).AsInteger(), 0);
  EXPECT_EQ(VarAdd(Variant("ab"), Variant("cd")).AsString(), "abcd");
  EXPECT_EQ(VarAdd(Variant("2"), I(3)).AsDouble(), 5);
  EXPECT_EQ(VarSub(Variant::Date(38000), Variant::Date(37990)).VarType(), varDouble);
  EXPECT_EQ(VarSub(Variant::Date(38000), Variant::Date(37990)).AsDouble(), 10);
  EXPECT_EQ(VarMul(Variant::Date(2), I(3)).VarType(), varDouble);
  EXPECT_EQ(VarMul(C(1.5), C(1.5)).AsCurrency().raw, 22500);
  EXPECT_EQ(VarMul(C(0.0001), C(0.5)).AsCurrency().raw, 1);  // 0.00005 rounds away from zero
  EXPECT_EQ(VarMul(C(2.5), I(3)).AsCurrency().raw, 75000);
  EXPECT_THROW(VarMul(Variant(Currency::FromRaw(INT64_MAX)), I(2)), EIntOverflow);
}

TEST(Variant, NullPropagatesAndStringsFail) {
  for (auto op : {VarAdd, VarSub, VarMul, VarDiv, VarIntDiv, VarMod}) {
    EXPECT_TRUE(op(Variant::Null(), I(1)).IsNull());
    EXPECT_TRUE(op(Variant("x"), Variant::Null()).IsNull());
    EXPECT_TRUE(op(Variant::Null(), I(0)).IsNull());  // Null wins over division by zero
  }
  EXPECT_TRUE(VarNeg(Variant::Null()).IsNull());
  EXPECT_TRUE(VarNot(Variant::Null()).IsNull());
  EXPECT_EQ(MessageOf<EConvertError>([] { VarAdd(Variant("abc"), I(3)); }),
            "'abc' is not a valid floating point value");
  EXPECT_THROW(VarSub(Variant("a"), Variant("b")), EConvertError);
  EXPECT_EQ(MessageOf<EVariantError>([] {
              VarAdd(Variant(TProcValue{1, nullptr}), I(1));
            }),
            "Invalid variant operation");
}

TEST(Variant, Division) {
  Variant q = VarDiv(I(7), I(2));
  EXPECT_EQ(q.VarType(), varDouble);
  EXPECT_EQ(q.AsDouble(), 3.5);
  EXPECT_EQ(VarDiv(C(10), I(4)).VarType(), varCurrency);
  EXPECT_EQ(VarDiv(C(10), I(4)).AsCurrency().raw, 25000);
  EXPECT_EQ(VarDiv(C(10), C(3)).AsCurrency().raw, 33333);
  EXPECT_EQ(VarDiv(C(-2), C(3)).AsCurrency().raw, -6667);
  EXPECT_EQ(VarDiv(C(10), D(4)).VarType(), varDouble);
  EXPECT_EQ(VarDiv(I(10), C(4)).VarType(), varDouble);
  EXPECT_THROW(VarDiv(I(1), I(0)), EZeroDivide);
  EXPECT_THROW(VarDiv(D(1), D(0)), EZeroDivide);
  EXPECT_THROW(VarDiv(C(1), C(0)), EZeroDivide);
  EXPECT_THROW(VarDiv(I(1), Variant()), EZeroDivide);

  EXPECT_EQ(VarIntDiv(I(7), I(2)).AsInteger(), 3);
  EXPECT_EQ(VarIntDiv(I(-7), I(2)).AsInteger(), -3);
  EXPECT_EQ(VarMod(I(-7), I(2)).AsInteger(), -1);
  EXPECT_EQ(VarMod(I(7), I(-2)).AsInteger(), 1);
  EXPECT_EQ(VarIntDiv(L(10), I(2)).VarType(), varInteger);  // narrowed back
  EXPECT_EQ(VarIntDiv(L(int64_t{1} << 40), I(2)).VarType(), varInt64);
  EXPECT_EQ(VarMod(L(INT64_MIN), I(-1)).AsInteger(), 0);
  EXPECT_THROW(VarIntDiv(L(INT64_MIN), I(-1)), EIntOverflow);
  EXPECT_THROW(VarIntDiv(I(7), I(0)), EDivByZero);
  EXPECT_THROW(VarMod(I(7), I(0)), EDivByZero);
  EXPECT_EQ(VarIntDiv(Variant("9"), I(2)).AsInteger(), 4);
}

TEST(Variant, NegationAndNot) {
  EXPECT_EQ(VarNeg(I(INT32_MIN)).VarType(), varInt64);
  EXPECT_EQ(VarNeg(I(INT32_MIN)).AsInt64(), -int64_t{INT32_MIN});
  EXPECT_EQ(VarNeg(L(INT64_MIN)).VarType(), varDouble);
  EXPECT_EQ(VarNeg(Variant(true)).AsInteger(), 1);
  EXPECT_EQ(VarNeg(C(1.5)).AsCurrency().raw, -15000);
  EXPECT_EQ(VarNeg(Variant("2.5")).AsDouble(), -2.5);
  EXPECT_EQ(VarNot(Variant(true)).AsBoolean(), false);
  EXPECT_EQ(VarNot(Variant(true)).VarType(), varBoolean);
  EXPECT_EQ(VarNot(I(0)).AsInteger(), -1);
  EXPECT_EQ(VarNot(L(0)).VarType(), varInt64);
  EXPECT_EQ(VarNot(Variant("False")).AsBoolean(), true);
  EXPECT_EQ(VarNot(Variant("5")).AsInteger(), ~5);
}

TEST(Variant, ConversionErrors) {
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant::Null().AsInteger(); }),
            "Could not convert variant of type (Null) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant::Null().AsString(); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant::Null().AsDouble(); }),
            "Could not convert variant of type (Null) into type (Double)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant(TProcValue{}).AsDouble(); }),
            "Could not convert variant of type (Procedure) into type (Double)");
  EXPECT_EQ(MessageOf<EVariantError>([] { I(5).AsProc(); }),
            "Could not convert variant of type (Integer) into type (Procedure)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant("x").ConvertTo(varProc); }),
            "Could not convert variant of type (String) into type (Procedure)");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("abc").AsDouble(); }),
            "'abc' is not a valid floating point value");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("abc").AsInteger(); }),
            "'abc' is not a valid integer value");
  EXPECT_EQ(MessageOf<EConvertError>([] { Variant("abc").AsBoolean(); }),
            "'abc' is not a valid Boolean value");
  EXPECT_THROW(Variant("abc").AsDate(), EConvertError);
  EXPECT_EQ(MessageOf<EVariantError>([] { L(int64_t{1} << 40).AsInteger(); }),
            "Overflow while converting variant of type (Int64) into type (Integer)");
  EXPECT_EQ(MessageOf<EVariantError>([] { I(70000).ConvertTo(varSmallint); }),
            "Overflow while converting variant of type (Integer) into type (Smallint)");
  EXPECT_THROW(D(1e30).AsInt64(), EVariantError);
  EXPECT_THROW(D(NAN).AsInteger(), EVariantError);
  EXPECT_THROW(D(1e300).AsCurrency(), EVariantError);
  EXPECT_THROW(D(1e300).ConvertTo(varSingle), EVariantError);
}

TEST(Variant, Conversions) {
  EXPECT_EQ(Variant("12").AsInteger(), 12);
  EXPECT_EQ(Variant(" 2.5 ").AsInteger(), 2);  // ties to even
  EXPECT_EQ(D(2.5).AsInteger(), 2);
  EXPECT_EQ(D(3.5).AsInteger(), 4);
  EXPECT_EQ(D(-2.5).AsInteger(), -2);
  EXPECT_EQ(D(2.6).AsInteger(), 3);
  EXPECT_EQ(C(2.5).AsInteger(), 2);
  EXPECT_EQ(C(3.5).AsInteger(), 4);
  EXPECT_EQ(C(-3.5).AsInteger(), -4);
  EXPECT_EQ(C(-2.5001).AsInteger(), -3);
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant().AsInteger(), 0);
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_EQ(Variant().AsBoolean(), false);
  EXPECT_EQ(Variant("TRUE").AsBoolean(), true);
  EXPECT_EQ(Variant("0").AsBoolean(), false);
  EXPECT_EQ(D(0.5).AsBoolean(), true);
  EXPECT_EQ(Variant("2004-01-01").AsDate(), EncodeDate(2004, 1, 1));
  EXPECT_EQ(Variant("1/2/2004").AsDate(), EncodeDate(2004, 1, 2));
  EXPECT_EQ(I(5).AsCurrency().raw, 50000);
  EXPECT_EQ(Variant("0.1").AsCurrency().raw, 1000);
  EXPECT_EQ(C(1.25).AsDouble(), 1.25);

  Variant c = D(1.5).ConvertTo(varCurrency);
  EXPECT_EQ(c.VarType(), varCurrency);
  EXPECT_EQ(c.AsCurrency().raw, 15000);
  EXPECT_TRUE(Variant("5").ConvertTo(varInteger).SameAs(I(5)));
  EXPECT_TRUE(I(5).ConvertTo(varString).SameAs(Variant("5")));
  EXPECT_TRUE(I(5).ConvertTo(varSmallint).SameAs(Variant::Smallint(5)));
  EXPECT_TRUE(D(0.5).ConvertTo(varSingle).SameAs(Variant::Single(0.5f)));
  EXPECT_TRUE(Variant::Null().ConvertTo(varNull).IsNull());
  EXPECT_THROW(Variant::Null().ConvertTo(varInteger), EVariantError);
}

TEST(Variant, Text) {
  EXPECT_EQ(D(1.5).AsString(), "1.5");
  EXPECT_EQ(D(1.0 / 3).AsString(), "0.333333333333333");
  EXPECT_EQ(Variant::Single(0.1f).AsString(), "0.1");
  EXPECT_EQ(C(12.5).AsString(), "12.5");
  EXPECT_EQ(Variant::Date(EncodeDate(2004, 1, 1)).AsString(), "1/1/2004");
  EXPECT_EQ(Variant::Date(EncodeDate(2004, 1, 1) + 0.25).AsString(), "1/1/2004 6:00:00 AM");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_EQ(L(INT64_MIN).AsString(), "-9223372036854775808");
  EXPECT_EQ(Variant::Smallint(-7).AsString(), "-7");
  EXPECT_EQ(Variant::Null().ToText(), "");
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(I(3).ToText(), "3");
}

TEST(Variant, SameAsIsStrict) {
  EXPECT_TRUE(Variant::Null().SameAs(Variant::Null()));
  EXPECT_FALSE(I(1).SameAs(L(1)));
  EXPECT_FALSE(I(1).SameAs(D(1)));
  EXPECT_FALSE(Variant("a").SameAs(Variant("A")));
  EXPECT_TRUE(Variant(TProcValue{3, nullptr}).SameAs(Variant(TProcValue{3, nullptr})));
}

TEST(Variant, Comparison) {
  EXPECT_EQ(VarCompare(I(1), I(2)), crLessThan);
  EXPECT_EQ(VarCompare(I(2), D(2.0)), crEqual);
  EXPECT_EQ(VarCompare(L((int64_t{1} << 53) + 1), D(9007199254740992.0)), crGreaterThan);
  EXPECT_EQ(VarCompare(Variant("abc"), Variant("ABD")), crLessThan);
  EXPECT_EQ(VarCompare(Variant("a"), Variant("A")), crLessThan);
  EXPECT_EQ(VarCompare(Variant("10"), I(9)), crGreaterThan);  // numerically, not as text
  EXPECT_EQ(VarCompare(I(9), Variant("10")), crLessThan);
  EXPECT_THROW(VarCompare(Variant("x"), I(9)), EConvertError);
  EXPECT_EQ(VarCompare(Variant::Null(), Variant::Null()), crEqual);
  EXPECT_EQ(VarCompare(Variant::Null(), I(1)), crNotEqual);
  EXPECT_EQ(VarCompare(I(1), Variant::Null()), crNotEqual);
  EXPECT_EQ(VarCompare(Variant(), I(0)), crEqual);
  EXPECT_EQ(VarCompare(Variant(), Variant("")), crEqual);
  EXPECT_EQ(VarCompare(Variant(false), Variant(true)), crLessThan);
  EXPECT_EQ(VarCompare(Variant(true), Variant("true")), crEqual);
  EXPECT_EQ(VarCompare(C(1.5), I(1)), crGreaterThan);
  EXPECT_EQ(VarCompare(C(1), I(1)), crEqual);
  EXPECT_EQ(VarCompare(C(0.1), D(0.1)), crEqual);
  EXPECT_EQ(VarCompare(D(NAN), I(1)), crNotEqual);
  EXPECT_EQ(VarCompare(Variant::Date(EncodeDate(2004, 1, 1)), Variant("2004-01-01")), crEqual);
  EXPECT_EQ(VarCompare(Variant(TProcValue{1, nullptr}), I(1)), crNotEqual);
}

TEST(Variant, SortOrderIsTotal) {
  std::vector<Variant> values{I(3),         Variant::Null(), Variant("b"), Variant(), D(1.5),
                              Variant("a"), Variant::Null(), C(2),         D(NAN),    L(-4)};
  std::stable_sort(values.begin(), values.end(),
                   [](const Variant& x, const Variant& y) { return VarCompareOrder(x, y) < 0; });
  std::vector<std::string> texts;
  for (const Variant& v : values)
    texts.push_back(v.IsNull() ? "Null" : v.IsEmpty() ? "Empty" : v.AsString());
  EXPECT_EQ(texts, (std::vector<std::string>{"Null", "Null", "Empty", "-4", "1.5", "2", "3", "NAN",
                                             "a", "b"}));
}

}  // namespace
}  // namespace hy
