// The recursive-descent parser of the expression language.
// Private to the expression language: only its own files and tests include it.
#pragma once

#include <memory>
#include <vector>

#include "cube/HyExprLex.h"
#include "cube/HyExprScope.h"
#include "cube/HyExprTree.h"

namespace hy {

class TCommonDataStore;

// Most brackets (parentheses and call argument lists) one inside the other.
// The parser recurses once per bracket, so deeper texts are refused with a
// message instead of exhausting the stack.
constexpr int kMaxExprNesting = 256;

// The recursive-descent parser of one expression per text.
class TExprParser final : public TParser {
public:
  // A map item referred to by name, with the line of the reference.
  struct TReference {
    TDimensionItem* Item;
    int32_t Line;
  };

  // Logs to the store's log; external calls are answered by its OnCall.
  explicit TExprParser(TCommonDataStore& store);

  void SetScope(TScope* scope) { scope_ = scope; }
  TScope* Scope() const { return scope_; }
  // Adds a symbol to the scope; a name already there logs
  // "Identifier redeclared" under the current name.
  void Declare(std::unique_ptr<TSymbol> symbol);
  void Declare(TSymbol& symbol);

  // Parses one expression from the start of the text; what follows a
  // complete expression is not examined. Never null.
  TExprPtr ParseExpression();
  // The map items the last parse referred to, in text order.
  const std::vector<TReference>& References() const { return references_; }

private:
  using TRecoverySet = uint32_t;  // bit per token class

  TExprPtr Expression(TRecoverySet set);
  TExprPtr Relation(TRecoverySet set);
  TExprPtr Simple(TRecoverySet set);
  TExprPtr Term(TRecoverySet set);
  TExprPtr Factor1(TRecoverySet set);
  TExprPtr Factor(TRecoverySet set);
  TExprPtr Designator(TRecoverySet set);
  TExprs ExprList(TRecoverySet set);
  TExprPtr NameExpr(const TSymbol& symbol, int32_t line);
  TExprPtr MakeCall(TExprPtr callee, const TSymbol* symbol, TExprs args, int32_t line);
  void Expect(TToken token);
  // Logs the nesting error and abandons the text; stands for what is left.
  TExprPtr TooDeep();

  TCommonDataStore& store_;
  TScope* scope_ = nullptr;
  std::vector<TReference> references_;
  int nesting_ = 0;  // brackets open around the current token
};

}  // namespace hy
