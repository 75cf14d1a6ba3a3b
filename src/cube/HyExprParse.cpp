// The recursive-descent parser. Syntax errors are logged and recovered from
// by skipping to a token of the current recovery set, so one text reports
// all of its errors in one go.
#include "cube/HyExprParse.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "cube/HyStore.h"

namespace hy {

namespace {

constexpr uint32_t Bit(int tokenClass) { return 1u << tokenClass; }

// Classes (see TokenClass) that recovery stops at.
constexpr uint32_t kMultiplicative = Bit(1);
constexpr uint32_t kAdditive = Bit(2);
constexpr uint32_t kLogical = Bit(7);
constexpr uint32_t kEOF = Bit(9);
constexpr uint32_t kClosing = Bit(10);  // ")"

bool InSet(uint32_t set, TToken token) { return (set & Bit(TokenClass(token))) != 0; }

}  // namespace

TExprParser::TExprParser(TCommonDataStore& store) : TParser(store.Log()), store_(store) {}

void TExprParser::Declare(std::unique_ptr<TSymbol> symbol) {
  const std::string name = symbol->Name();
  if (!scope_->Add(std::move(symbol)))
    Error(hy::Format("Identifier redeclared: '%s'", name.c_str()));
}

void TExprParser::Declare(TSymbol& symbol) {
  if (!scope_->Add(symbol)) Error(hy::Format("Identifier redeclared: '%s'", symbol.Name()));
}

TExprPtr TExprParser::ParseExpression() {
  HyAssert(scope_ != nullptr, "HyExpr", "No scope");
  references_.clear();
  nesting_ = 0;
  SetText(Text());  // back to the start
  NextToken();
  return Expression(kEOF);
}

void TExprParser::Expect(TToken token) {
  if (Token() == token) {
    NextToken();
    return;
  }
  Error(hy::Format("'%s' expected but '%s' found", TokenName(token), TokenName(Token())));
}

TExprPtr TExprParser::Expression(TRecoverySet set) {
  TExprPtr left = Relation(set);
  while (Token() == tkAnd || Token() == tkOr) {
    const TToken op = Token();
    const int32_t line = TokenLine();
    NextToken();
    TExprPtr right = Relation(set);
    if (op == tkAnd) left = std::make_unique<TAndExpr>(line, std::move(left), std::move(right));
    else left = std::make_unique<TOrExpr>(line, std::move(left), std::move(right));
  }
  return left;
}

TExprPtr TExprParser::Relation(TRecoverySet set) {
  TExprPtr left = Simple(set);
  const TToken op = Token();
  if (op < tkEQ || op > tkGE) return left;
  const int32_t line = TokenLine();
  NextToken();
  TExprPtr right = Simple(set);
  switch (op) {
    case tkEQ: return std::make_unique<TEQExpr>(line, std::move(left), std::move(right));
    case tkNE: return std::make_unique<TNEExpr>(line, std::move(left), std::move(right));
    case tkLT: return std::make_unique<TLTExpr>(line, std::move(left), std::move(right));
    case tkLE: return std::make_unique<TLEExpr>(line, std::move(left), std::move(right));
    case tkGT: return std::make_unique<TGTExpr>(line, std::move(left), std::move(right));
    default: return std::make_unique<TGEExpr>(line, std::move(left), std::move(right));
  }
}

TExprPtr TExprParser::Simple(TRecoverySet set) {
  TExprPtr left;
  if (Token() == tkPlus || Token() == tkMinus) {
    const bool minus = Token() == tkMinus;
    const int32_t line = TokenLine();
    NextToken();
    TExprPtr operand = Term(set);
    if (minus) left = std::make_unique<TUnMinus>(line, std::move(operand));
    else left = std::make_unique<TUnPlus>(line, std::move(operand));
  } else {
    left = Term(set);
  }
  while (Token() == tkPlus || Token() == tkMinus) {
    const bool minus = Token() == tkMinus;
    const int32_t line = TokenLine();
    NextToken();
    TExprPtr right = Term(set);
    if (minus) left = std::make_unique<TSubExpr>(line, std::move(left), std::move(right));
    else left = std::make_unique<TAddExpr>(line, std::move(left), std::move(right));
  }
  return left;
}

TExprPtr TExprParser::Term(TRecoverySet set) {
  TExprPtr left = Factor1(set);
  for (;;) {
    const TToken op = Token();
    if (op != tkStar && op != tkSlash && op != tkDiv && op != tkMod) return left;
    const int32_t line = TokenLine();
    NextToken();
    TExprPtr right = Factor1(set);
    switch (op) {
      case tkStar:
        left = std::make_unique<TMultExpr>(line, std::move(left), std::move(right));
        break;
      case tkSlash:
        left = std::make_unique<TDivideExpr>(line, std::move(left), std::move(right));
        break;
      case tkDiv: left = std::make_unique<TDivExpr>(line, std::move(left), std::move(right)); break;
      default: left = std::make_unique<TModExpr>(line, std::move(left), std::move(right)); break;
    }
  }
}

TExprPtr TExprParser::Factor1(TRecoverySet set) {
  if (Token() != tkNot) return Factor(set);
  const int32_t line = TokenLine();
  NextToken();
  return std::make_unique<TNotExpr>(line, Factor(set));
}

TExprPtr TExprParser::Factor(TRecoverySet set) {
  set |= kMultiplicative | kAdditive | kLogical;
  const int32_t line = TokenLine();
  switch (Token()) {
    case tkIdentifier: return Designator(set);
    case tkIntConst: {
      auto e = std::make_unique<TIntegerExpr>(line, IntValue());
      NextToken();
      return e;
    }
    case tkRealConst: {
      auto e = std::make_unique<TRealExpr>(line, RealValue());
      NextToken();
      return e;
    }
    case tkString: {
      auto e = std::make_unique<TStringExpr>(line, StringValue());
      NextToken();
      return e;
    }
    case tkLParen: {
      if (nesting_ >= kMaxExprNesting) return TooDeep();
      TValueScope<int> level(nesting_, nesting_ + 1);
      NextToken();
      TExprPtr inner = Expression(set | kClosing);
      Expect(tkRParen);
      return std::make_unique<TNopExpr>(line, std::move(inner));
    }
    default:
      Error("Syntaxis error");
      while (!InSet(set, Token())) NextToken();
      return std::make_unique<TErrorExpr>(line);
  }
}

TExprPtr TExprParser::TooDeep() {
  const int32_t line = TokenLine();
  Error(hy::Format("Expression nested deeper than %d levels", kMaxExprNesting));
  Abandon();
  return std::make_unique<TErrorExpr>(line);
}

TExprPtr TExprParser::Designator(TRecoverySet set) {
  const int32_t line = TokenLine();
  const char* name = Ident();
  const TSymbol* symbol = scope_->Lookup(name);
  if (!symbol) {
    Error(hy::Format("Undeclared identifier '%s'", name));
    auto undefined = std::make_unique<TUndefSymbol>(name);
    symbol = undefined.get();
    scope_->Add(std::move(undefined));
  }
  NextToken();
  TExprPtr callee = NameExpr(*symbol, line);
  while (Token() == tkLParen) {
    if (nesting_ >= kMaxExprNesting) return TooDeep();
    const int32_t callLine = TokenLine();
    NextToken();
    TExprs args;
    {
      TValueScope<int> level(nesting_, nesting_ + 1);
      if (Token() != tkRParen) args = ExprList(set | kClosing);
      Expect(tkRParen);
    }
    // Only the name itself is called by symbol; what a call returns is a value.
    callee = MakeCall(std::move(callee), symbol, std::move(args), callLine);
    symbol = nullptr;
  }
  return callee;
}

TExprPtr TExprParser::NameExpr(const TSymbol& symbol, int32_t line) {
  if (auto* dim = dynamic_cast<const TDimSymbol*>(&symbol)) {
    if (dim->Item()->IsDimension())
      ErrorAt(line, hy::Format("'%s' is a dimension, not a summary", symbol.Name()));
    else references_.push_back(TReference{dim->Item(), line});
  }
  return std::make_unique<TNameExpr>(line, symbol);
}

TExprPtr TExprParser::MakeCall(TExprPtr callee, const TSymbol* symbol, TExprs args, int32_t line) {
  if (auto* proc = dynamic_cast<const TProcSymbol*>(symbol)) {
    if (proc->Number() < 0) {
      if (args.Count() > proc->Arity()) ErrorAt(line, "Too many actual parameters");
      else if (args.Count() < proc->Arity()) ErrorAt(line, "Not enough actual parameters");
      return std::make_unique<TBuiltInCallExpr>(line, proc->Number(), std::move(args));
    }
    if (proc->Number() > 0)
      return std::make_unique<TExternCallExpr>(line, &store_, proc->Number(), std::move(args));
    return std::make_unique<TConstCallExpr>(line, proc->Result(), std::move(args));
  }
  return std::make_unique<TCallExpr>(line, &store_, std::move(callee), std::move(args));
}

TExprs TExprParser::ExprList(TRecoverySet set) {
  TExprs list;
  for (;;) {
    list.Add(Expression(set));
    if (Token() == tkComma) {
      NextToken();
      continue;
    }
    if (InSet(set, Token())) return list;
    Error("Missing: \",\"");
  }
}

}  // namespace hy
