// The expression language of derived summaries. A derived map item's text is
// compiled once, when the store opens, into a tree of expression objects;
// every cell read evaluates the tree for the cell's bin-table record.
//
// Compile errors never raise: they go to the store's log as
// "<item name>[<line>]: <message>" and the map fails the open with the whole
// log. Evaluation errors raise (invalid procedure calls, division by zero in
// div/mod, Variant conversions).
//
// This header is what the rest of the engine sees of a compiled expression;
// the lexer, parser, scopes and node classes live in the private HyExpr*.h
// headers beside it.
#pragma once

#include <cstdint>
#include <memory>

#include "common/Variant.h"
#include "cube/HyMap.h"

namespace hy {

// A node of a compiled expression. The root is what a derived map item keeps.
class TExpr : public TMapExpression {
public:
  explicit TExpr(int32_t line) : line_(line) {}
  int32_t Line() const { return line_; }

  // Every map item the expression refers to is active.
  virtual bool IsAvailable() const = 0;
  virtual void Evaluate(int32_t recNo, Variant& value) const = 0;
  // Asks the plan to activate every referenced item; literals answer true.
  virtual bool Activate(TCapacityPlan& plan) = 0;

  bool ActivateItems(TCapacityPlan& plan) override { return Activate(plan); }
  Variant Value(int32_t recNo) const {
    Variant v;
    Evaluate(recNo, v);
    return v;
  }

private:
  int32_t line_;
};

using TExprPtr = std::unique_ptr<TExpr>;

// The compiled expression of a derived item, or nullptr.
const TExpr* ItemExpression(const TDimensionItem& item);

using TExprPtr = std::unique_ptr<TExpr>;

// The compiled expression of a derived item, or nullptr.
const TExpr* ItemExpression(const TDimensionItem& item);

}  // namespace hy
