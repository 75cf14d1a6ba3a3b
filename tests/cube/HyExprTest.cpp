#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "cube/HyCommon.h"
#include "cube/HyExprParse.h"
#include "cube/HyStore.h"

namespace hy {
namespace {

class ExprStore : public TCommonDataStore {
public:
  TDataSet* GetDataSet() const override { return nullptr; }
  void Refresh(bool) override {}
};

// Stands in for the cell cache: one value per bin-table record.
class FakeSummary : public TCommonDimItem {
public:
  std::vector<Variant> values;
  Variant GetRecordValue(int32_t recNo) const override { return values.at(recNo); }
};

// Parses texts under the name "X" in a scope of the system unit, two
// externals ("Count", "Pick"), a summary "Total" and a dimension "Customer".
class ExprTest : public ::testing::Test {
protected:
  void SetUp() override {
    scope.Use(SystemUnit());
    parser.SetScope(&scope);
    parser.Declare(std::make_unique<TProcSymbol>(Dictionary().Lookup("Count").Name, 1));
    parser.Declare(std::make_unique<TProcSymbol>(Dictionary().Lookup("Pick").Name, 2));
    total.SetName("Total");
    total.SetDimensionType(dimSum);
    customer.SetName("Customer");
    for (THyMapItem* item : {&total, &customer}) {
      symbols.push_back(std::make_unique<TDimSymbol>(Dictionary().Lookup(item->Name()).Name, item));
      parser.Declare(*symbols.back());
    }
    totals.values = {Variant(10), Variant(7), Variant::Null(), Variant(-7)};
    totals.SetMapItem(&total);
    parser.SetName("X");
  }

  TExprPtr Compile(const std::string& text) {
    store.Log().Clear();
    parser.SetText(text);
    return parser.ParseExpression();
  }
  std::vector<std::string> Errors(const std::string& text) {
    Compile(text);
    return store.Log().Lines();
  }
  Variant Eval(const std::string& text, int32_t recNo = 0) {
    TExprPtr e = Compile(text);
    EXPECT_EQ(store.Log().ErrorCount(), 0) << text << ": " << store.Log().Text();
    return e->Value(recNo);
  }
  std::string EvalError(const std::string& text, int32_t recNo = 0) {
    try {
      Eval(text, recNo);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "(no error)";
  }

  ExprStore store;
  TScope scope;
  TExprParser parser{store};
  THyMapItem total{nullptr};
  THyMapItem customer{nullptr};
  std::vector<std::unique_ptr<TDimSymbol>> symbols;
  FakeSummary totals;
};

using Lines = std::vector<std::string>;

// ------------------------------------------------------------------ dictionary

TEST(DictionaryTest, GrowsPastThreeQuartersWithoutLosingAnEntry) {
  TDictionary dict;
  EXPECT_EQ(dict.Size(), 64);
  EXPECT_EQ(dict.Count(), 6);  // the keywords
  std::vector<const char*> interned;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "id" + std::to_string(i) + (i % 3 ? "_x" : "");
    const TDictionary::TEntry e = dict.Lookup(name);
    EXPECT_STREQ(e.Name, name.c_str());
    EXPECT_EQ(e.Kind, tkIdentifier);
    interned.push_back(e.Name);
    int expected = 64;
    while (dict.Count() * 4 > expected * 3) expected *= 2;
    ASSERT_EQ(dict.Size(), expected) << "after " << dict.Count() << " entries";
  }
  EXPECT_EQ(dict.Count(), 306);
  EXPECT_EQ(dict.Size(), 512);
  for (int i = 0; i < 300; ++i) {
    const std::string name = "id" + std::to_string(i) + (i % 3 ? "_x" : "");
    EXPECT_EQ(dict.Lookup(name).Name, interned[i]) << name;
  }
  EXPECT_EQ(dict.Count(), 306);  // looking up again adds nothing
  EXPECT_EQ(dict.Lookup("mod").Kind, tkMod);
  EXPECT_EQ(dict.Lookup("in").Kind, tkIn);
}

TEST(DictionaryTest, KeywordsAreCaseSensitiveAndUnique) {
  TDictionary dict;
  EXPECT_EQ(dict.Lookup("and").Kind, tkAnd);
  EXPECT_EQ(dict.Lookup("And").Kind, tkIdentifier);
  EXPECT_NE(dict.Lookup("And").Name, dict.Lookup("and").Name);
  try {
    dict.AddKeyword("div", tkDiv);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "HyExpr");
    EXPECT_NE(e.Message().find("Duplicate KeyWord"), std::string::npos);
  }
  // Texts larger than a storage block are kept whole.
  const std::string huge(1500, 'z');
  const char* a = dict.Lookup(huge).Name;
  dict.Lookup("after");
  EXPECT_EQ(dict.Lookup(huge).Name, a);
  EXPECT_EQ(std::string(a), huge);
  EXPECT_STREQ(dict.Lookup("after").Name, "after");
  EXPECT_EQ(TDictionary::Hash(""), 0u);
  EXPECT_EQ(TDictionary::Hash("q"), 1u);
  EXPECT_EQ(TDictionary::Hash("a"), 0xFFFFFFF1u);  // 'a' - 'q' wraps around
}

// ----------------------------------------------------------------------- lexer

TEST_F(ExprTest, LexerTokensAndLines) {
  parser.SetText("a<>b<=c>=d..e.f:g;h,[i]\r\n(1..2)*/ 3.25\n'it''s' div\r\rmod");
  std::vector<TToken> tokens;
  std::vector<int> lines;
  for (parser.NextToken(); parser.Token() != tkEOF; parser.NextToken()) {
    tokens.push_back(parser.Token());
    lines.push_back(parser.TokenLine());
    if (parser.Token() == tkString) {
      EXPECT_EQ(parser.StringValue(), "it's");
    }
    if (parser.Token() == tkRealConst) {
      EXPECT_DOUBLE_EQ(parser.RealValue(), 3.25);
    }
  }
  const std::vector<TToken> expected = {
      tkIdentifier, tkNE,        tkIdentifier, tkLE,     tkIdentifier, tkGE,
      tkIdentifier, tkDotDot,    tkIdentifier, tkDot,    tkIdentifier, tkColon,
      tkIdentifier, tkSemicolon, tkIdentifier, tkComma,  tkLBracket,   tkIdentifier,
      tkRBracket,   tkLParen,    tkIntConst,   tkDotDot, tkIntConst,   tkRParen,
      tkStar,       tkSlash,     tkRealConst,  tkString, tkDiv,        tkMod};
  EXPECT_EQ(tokens, expected);
  // Only a carriage return counts a line; a bare line feed is a blank.
  EXPECT_EQ(lines.front(), 0);
  EXPECT_EQ(lines[19], 1);  // "("
  EXPECT_EQ(lines[28], 1);  // "div" after a bare line feed
  EXPECT_EQ(lines.back(), 3);
  EXPECT_EQ(store.Log().ErrorCount(), 0);
}

TEST_F(ExprTest, LexerMessages) {
  EXPECT_EQ(Errors("99999999999"), Lines{"[Error] X[0]: '99999999999' - Invalid Integer"});
  EXPECT_EQ(Errors(std::string(256, '7')), Lines{"[Error] X[0]: Too Long Number"});
  EXPECT_EQ(Errors("1 + 'abc"), Lines{"[Error] X[0]: Unterminated String"});
  EXPECT_EQ(Errors("\r\n2 @ 3"), Lines{"[Error] X[1]: Unknown character: @"});
  EXPECT_EQ(Errors("2 \xC3\xA9 3"), Lines{"[Error] X[0]: Unknown character: \xC3\xA9"});
  // The unknown character is dropped and the text goes on.
  TExprPtr e = Compile("2 # * 3");
  EXPECT_EQ(store.Log().Lines(), Lines{"[Error] X[0]: Unknown character: #"});
  EXPECT_EQ(e->Value(0).AsInteger(), 6);
  EXPECT_EQ(Eval("2147483647").AsInteger(), 2147483647);
  EXPECT_DOUBLE_EQ(Eval("1. + 0.5").AsDouble(), 1.5);
  EXPECT_EQ(Eval("'ab''c'").AsString(), "ab'c");
  EXPECT_EQ(Eval("'" + std::string(300, 's') + "'").AsString().size(), 255u);
  // A zero character ends the text.
  EXPECT_EQ(Eval(std::string("5\0 +", 4)).AsInteger(), 5);
}

// ---------------------------------------------------------------------- parser

TEST_F(ExprTest, BuiltInsAreCaseSensitiveAndChecked) {
  EXPECT_EQ(Errors("sqrt(4)"), Lines{"[Error] X[0]: Undeclared identifier 'sqrt'"});
  EXPECT_DOUBLE_EQ(Eval("Sqrt(4)").AsDouble(), 2.0);
  EXPECT_EQ(Eval("Sqrt(4)").VarType(), varDouble);
  EXPECT_EQ(Errors("Abs(1, 2)"), Lines{"[Error] X[0]: Too many actual parameters"});
  EXPECT_EQ(Errors("1 +\r\n Sqrt()"), Lines{"[Error] X[1]: Not enough actual parameters"});
  EXPECT_EQ(Errors("Pi(1)"), Lines{"[Error] X[0]: Too many actual parameters"});
  EXPECT_EQ(Eval("Pi()").AsDouble(), 3.141592653589793);
  // An unknown name is reported once, however often it is used.
  EXPECT_EQ(Errors("Foo + Foo * 2"), Lines{"[Error] X[0]: Undeclared identifier 'Foo'"});
  EXPECT_EQ(Errors("Customer + 1"),
            Lines{"[Error] X[0]: 'Customer' is a dimension, not a summary"});
}

TEST_F(ExprTest, SyntaxErrorsAreRecoveredFrom) {
  EXPECT_EQ(Errors("1 +"), Lines{"[Error] X[0]: Syntaxis error"});
  EXPECT_EQ(Errors("not not Total"), Lines{"[Error] X[0]: Syntaxis error"});
  EXPECT_EQ(Errors(""), Lines{"[Error] X[0]: Syntaxis error"});
  EXPECT_EQ(Errors("(1 + 2"), Lines{"[Error] X[0]: ')' expected but 'EOF' found"});
  // One text, several errors, each on its own line.
  EXPECT_EQ(Errors("1 +\r\n(2 * )\r\n+ Abs(1 2) * ] - Sin(3"),
            (Lines{"[Error] X[1]: Syntaxis error", "[Error] X[2]: Missing: \",\"",
                   "[Error] X[2]: Too many actual parameters", "[Error] X[2]: Syntaxis error",
                   "[Error] X[2]: ')' expected but 'EOF' found"}));
  // Recovery skips what cannot follow and stops at the next operator.
  EXPECT_EQ(Errors("1 * ; ; 2 + 3"), Lines{"[Error] X[0]: Syntaxis error"});
  // A missing comma does not stop the argument list.
  EXPECT_EQ(Errors("Count(1 2, 3 Total)"),
            (Lines{"[Error] X[0]: Missing: \",\"", "[Error] X[0]: Missing: \",\""}));
  // A syntax error evaluates to an unassigned value.
  TExprPtr e = Compile("()");
  EXPECT_EQ(store.Log().Lines(), Lines{"[Error] X[0]: Syntaxis error"});
  EXPECT_TRUE(e->Value(0).IsEmpty());
}

TEST_F(ExprTest, GrammarAndPrecedence) {
  EXPECT_EQ(Eval("2 + 3 * 4").AsInteger(), 14);
  EXPECT_EQ(Eval("(2 + 3) * 4").AsInteger(), 20);
  EXPECT_EQ(Eval("10 - 4 - 3").AsInteger(), 3);
  EXPECT_EQ(Eval("-2 * 3 + 1").AsInteger(), -5);
  EXPECT_EQ(Eval("+7 mod 4").AsInteger(), 3);
  EXPECT_TRUE(Eval("(1 < 2) and (2 < 3)").AsBoolean());
  EXPECT_TRUE(Eval("2 * 3 = 6 and 1 <> 2").AsBoolean());
  EXPECT_TRUE(Eval("1 > 2 or 2 >= 2").AsBoolean());
  EXPECT_FALSE(Eval("not (1 <= 2)").AsBoolean());
  EXPECT_TRUE(Eval("'abc' < 'abd'").AsBoolean());
  // At most one comparison: the rest of the text is not examined.
  EXPECT_TRUE(Eval("1 < 2 < 3").AsBoolean());
  EXPECT_EQ(Eval("4 5 )").AsInteger(), 4);
  EXPECT_DOUBLE_EQ(Eval("7 / 2").AsDouble(), 3.5);
}

// ------------------------------------------------------------------ evaluation

TEST_F(ExprTest, SummaryArithmeticPerRecord) {
  const double halves[] = {5.0, 3.5, 0, -3.5};
  const int quotients[] = {5, 3, 0, -3};  // toward zero
  const int remainders[] = {1, 1, 0, -1};
  for (int r : {0, 1, 3}) {
    EXPECT_DOUBLE_EQ(Eval("Total / 2", r).AsDouble(), halves[r]) << r;
    EXPECT_EQ(Eval("Total div 2", r).VarType(), varInteger);
    EXPECT_EQ(Eval("Total div 2", r).AsInteger(), quotients[r]) << r;
    EXPECT_EQ(Eval("Total mod 3", r).AsInteger(), remainders[r]) << r;
  }
  // A Null aggregate stays Null instead of failing the cell.
  for (const char* text : {"Total / 2", "Total div 2", "Total mod 2", "-Total", "Total * 2 + 1",
                           "Sqrt(Total)", "not Total", "Total and (1 < 2)", "Total or (1 > 2)"})
    EXPECT_TRUE(Eval(text, 2).IsNull()) << text;
  // ... and is unknown in logic: a known side can still decide.
  EXPECT_FALSE(Eval("Total and (1 > 2)", 2).AsBoolean());
  EXPECT_TRUE(Eval("Total or (1 < 2)", 2).AsBoolean());
}

TEST_F(ExprTest, DivisionByZeroRaisesAtEvaluation) {
  TExprPtr e = Compile("Total div (Total - 7)");
  ASSERT_EQ(store.Log().ErrorCount(), 0);
  EXPECT_EQ(e->Value(0).AsInteger(), 3);
  EXPECT_THROW(e->Value(1), EDivByZero);
  EXPECT_EQ(EvalError("Total div 0"), "Line 0: Division by zero in div");
  EXPECT_EQ(EvalError("1 +\r\n Total mod 0"), "Line 1: Division by zero in mod");
  EXPECT_EQ(Eval("(0 - 2147483647 - 1) div (0 - 1)").AsInt64(), 2147483648LL);
}

TEST_F(ExprTest, BuiltInResults) {
  EXPECT_EQ(Eval("Round(2.5)").VarType(), varInt64);
  EXPECT_EQ(Eval("Round(2.5)").AsInt64(), 2);  // ties to even
  EXPECT_EQ(Eval("Round(3.5)").AsInt64(), 4);
  EXPECT_EQ(Eval("Round(0 - 2.6)").AsInt64(), -3);
  EXPECT_DOUBLE_EQ(Eval("Int(0 - 2.7)").AsDouble(), -2.0);
  EXPECT_EQ(Eval("Int(2.7)").VarType(), varDouble);
  EXPECT_DOUBLE_EQ(Eval("Frac(0 - 2.25)").AsDouble(), -0.25);
  EXPECT_DOUBLE_EQ(Eval("Sqr(Total)", 1).AsDouble(), 49.0);
  EXPECT_DOUBLE_EQ(Eval("Abs(Total)", 3).AsDouble(), 7.0);
  EXPECT_DOUBLE_EQ(Eval("Log10(1000)").AsDouble(), 3.0);
  EXPECT_DOUBLE_EQ(Eval("Ln(Exp(2))").AsDouble(), 2.0);
  EXPECT_NEAR(Eval("Sin(Pi() / 2) + Cos(0) + Tan(0)").AsDouble(), 2.0, 1e-15);
  EXPECT_EQ(EvalError("Sqrt(0 - 1)"), "Line 0: Invalid floating point operation in Sqrt");
  EXPECT_THROW(Eval("Ln(0)"), EMathError);
  EXPECT_THROW(Eval("Round(Sqr(10000000000.0))"), EIntOverflow);
}

TEST_F(ExprTest, AndOrShortCircuit) {
  int calls = 0;
  store.SetOnCall([&](int32_t, int32_t, const TExprs&) {
    ++calls;
    return Variant(true);
  });
  EXPECT_FALSE(Eval("(1 > 2) and Count()").AsBoolean());
  EXPECT_TRUE(Eval("(1 < 2) or Count()").AsBoolean());
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(Eval("(1 < 2) and Count()").AsBoolean());
  EXPECT_TRUE(Eval("(1 > 2) or Count()").AsBoolean());
  EXPECT_EQ(calls, 2);
}

TEST_F(ExprTest, ExternalProceduresAreAnsweredByOnCall) {
  TExprPtr e = Compile("Pick(Total, 'x', 1 + 1) * 2");
  ASSERT_EQ(store.Log().ErrorCount(), 0);
  std::vector<std::tuple<int32_t, int32_t, int>> seen;
  store.SetOnCall([&](int32_t pid, int32_t off, const TExprs& params) {
    seen.emplace_back(pid, off, params.Count());
    // The handler evaluates the arguments for the record it is given.
    return VarAdd(params.Evaluate(0, off), params.Evaluate(2, off));
  });
  EXPECT_EQ(e->Value(1).AsInteger(), 18);  // (7 + 2) * 2
  EXPECT_EQ(e->Value(3).AsInteger(), -10);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_tuple(1, 1, 3));  // Pick is line 1 of the externals
  EXPECT_EQ(seen[1], std::make_tuple(1, 3, 3));
  store.SetOnCall(nullptr);
  EXPECT_TRUE(Eval("Count(1)").IsEmpty());
}

TEST_F(ExprTest, ProcedureValues) {
  // A procedure name without arguments is a procedure value ...
  const Variant pi = Eval("Pi");
  ASSERT_EQ(pi.VarType(), varProc);
  EXPECT_EQ(pi.AsProc().id, -9);
  EXPECT_EQ(Eval("Count").AsProc().id, 1);
  // ... that can be called when an expression produces it.
  store.SetOnCall([](int32_t, int32_t, const TExprs& params) {
    const int which = params.Evaluate(0, 0).AsInteger();
    return which == 0 ? Variant(42) : Variant(TProcValue{which, nullptr});
  });
  EXPECT_DOUBLE_EQ(Eval("Pick(0 - 3)(16)").AsDouble(), 4.0);  // Sqrt
  EXPECT_EQ(EvalError("Pick(0 - 3)(16, 2)"), "Line 0: Too many actual parameters");
  EXPECT_EQ(EvalError("Pick(0)(1)"), "Line 0: Invalid procedure call");
  EXPECT_EQ(EvalError("1 +\r\nTotal(1)"), "Line 1: Invalid procedure call");
}

}  // namespace
}  // namespace hy

// ------------------------------------------------------------------ limits

namespace hy {
namespace {

std::string Nested(int depth, const std::string& inner) {
  return std::string(depth, '(') + inner + std::string(depth, ')');
}

std::string Chain(int terms, const std::string& op) {
  std::string text = "1";
  text.reserve(static_cast<size_t>(terms) * (op.size() + 1));
  for (int i = 1; i < terms; ++i) text += op + "1";
  return text;
}

TEST_F(ExprTest, NestingUpToTheLimitCompilesDeeperIsOneClearError) {
  // Brackets of parentheses and of calls count alike.
  EXPECT_EQ(Eval(Nested(kMaxExprNesting, "2 + 3")).AsInteger(), 5);
  EXPECT_EQ(Eval("Abs(" + Nested(kMaxExprNesting - 1, "0 - 4") + ")").AsInteger(), 4);
  const Lines tooDeep{"[Error] X[0]: Expression nested deeper than 256 levels"};
  EXPECT_EQ(Errors(Nested(kMaxExprNesting + 1, "1")), tooDeep);
  EXPECT_EQ(Errors("Abs(" + Nested(kMaxExprNesting, "1") + ")"), tooDeep);
  // Far deeper texts stop at the limit instead of exhausting the stack.
  EXPECT_EQ(Errors(Nested(20000, "1")), tooDeep);
  EXPECT_EQ(Errors(std::string(20000, '(')), tooDeep);
  std::string calls;
  for (int i = 0; i < 20000; ++i) calls += "Abs(";
  EXPECT_EQ(Errors(calls + "1"), tooDeep);
  // The limit is per text: the next compile starts afresh.
  EXPECT_EQ(Eval("(1)").AsInteger(), 1);
}

// Runs `work` on a thread with a small stack (512 KB), as proof that it
// does not recurse once per term.
void OnSmallStack(const std::function<void()>& work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 512 * 1024);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST_F(ExprTest, LongOperatorChainsEvaluateWithoutDeepRecursion) {
  for (const char* op : {"+", " and "}) {
    TExprPtr chain = Compile(Chain(40000, op));
    ASSERT_EQ(store.Log().ErrorCount(), 0);
    Variant value;
    // Evaluating and freeing both walk the whole chain.
    OnSmallStack([&] {
      value = chain->Value(0);
      chain.reset();
    });
    if (*op == '+') EXPECT_EQ(value.AsInteger(), 40000);
    else EXPECT_TRUE(value.AsBoolean());
  }
  EXPECT_EQ(Eval(Chain(40000, "+")).AsInteger(), 40000);
  EXPECT_EQ(Eval(Chain(40000, " - ")).AsInteger(), 1 - 39999);
  EXPECT_EQ(Eval(Chain(40000, "*")).AsInteger(), 1);
  EXPECT_TRUE(Eval(Chain(40000, " and ")).AsBoolean());
  EXPECT_TRUE(Eval("Total > 0 or " + Chain(40000, " or ")).AsBoolean());
  // Mixed operators keep their precedence along the chain.
  std::string mixed = "0";
  for (int i = 0; i < 20000; ++i) mixed += " + 2 * 3 - Total";
  EXPECT_EQ(Eval(mixed, 1).AsInteger(), 20000 * (6 - 7));
  EXPECT_TRUE(Eval(mixed, 2).IsNull());
  // Short-circuiting still holds in a long chain: the division is never reached.
  EXPECT_FALSE(Eval("(1 > 2) and " + Chain(40000, " and ") + " and (1 div 0 = 1)").AsBoolean());
  // Parentheses around a long chain still nest.
  EXPECT_EQ(Eval("2 * (" + Chain(40000, "+") + ")").AsInteger(), 80000);
}

}  // namespace
}  // namespace hy
