// The node classes of compiled expressions.
// Private to the expression language: only its own files and tests include it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cube/HyExpr.h"

namespace hy {

class TCommonDataStore;
class TSymbol;

// An owned list of argument expressions. External procedures receive it
// unevaluated and evaluate the arguments they need for the record they got.
class TExprs {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  const TExpr& Items(int index) const;
  void Add(TExprPtr expr) { items_.push_back(std::move(expr)); }
  Variant Evaluate(int index, int32_t recNo) const { return Items(index).Value(recNo); }
  bool IsAvailable() const;
  bool Activate(TCapacityPlan& plan);

private:
  std::vector<TExprPtr> items_;
};
using TExprList = TExprs;

class TLiteralExpr : public TExpr {
public:
  TLiteralExpr(int32_t line, Variant value) : TExpr(line), value_(std::move(value)) {}
  bool IsAvailable() const override { return true; }
  void Evaluate(int32_t, Variant& value) const override { value = value_; }
  bool Activate(TCapacityPlan&) override { return true; }

private:
  Variant value_;
};

class TIntegerExpr final : public TLiteralExpr {
public:
  TIntegerExpr(int32_t line, int32_t value) : TLiteralExpr(line, Variant(value)) {}
};
class TRealExpr final : public TLiteralExpr {
public:
  TRealExpr(int32_t line, double value) : TLiteralExpr(line, Variant(value)) {}
};
class TStringExpr final : public TLiteralExpr {
public:
  TStringExpr(int32_t line, std::string value) : TLiteralExpr(line, Variant(std::move(value))) {}
};

// Stands for a syntax error: evaluates to an unassigned Variant.
class TErrorExpr final : public TLiteralExpr {
public:
  explicit TErrorExpr(int32_t line) : TLiteralExpr(line, Variant()) {}
};

// A resolved name. What it needs of its symbol is taken at compile time, so
// the tree does not depend on the compile's scope afterwards.
class TNameExpr final : public TExpr {
public:
  TNameExpr(int32_t line, const TSymbol& symbol);
  const char* Name() const { return name_; }
  TDimensionItem* Item() const { return item_; }  // for names bound to items
  bool IsAvailable() const override;
  void Evaluate(int32_t recNo, Variant& value) const override;
  bool Activate(TCapacityPlan& plan) override;

private:
  const char* name_;
  TDimensionItem* item_ = nullptr;
  bool isProc_ = false;
  TProcValue proc_;
};

class TUnaryExpr : public TExpr {
public:
  TUnaryExpr(int32_t line, TExprPtr operand) : TExpr(line), operand_(std::move(operand)) {}
  bool IsAvailable() const override { return operand_->IsAvailable(); }
  bool Activate(TCapacityPlan& plan) override { return operand_->Activate(plan); }

protected:
  TExprPtr operand_;
};

class TNopExpr final : public TUnaryExpr {  // parentheses
public:
  using TUnaryExpr::TUnaryExpr;
  void Evaluate(int32_t recNo, Variant& value) const override;
};
class TNotExpr final : public TUnaryExpr {
public:
  using TUnaryExpr::TUnaryExpr;
  void Evaluate(int32_t recNo, Variant& value) const override;
};
class TUnPlus final : public TUnaryExpr {
public:
  using TUnaryExpr::TUnaryExpr;
  void Evaluate(int32_t recNo, Variant& value) const override;
};
class TUnMinus final : public TUnaryExpr {
public:
  using TUnaryExpr::TUnaryExpr;
  void Evaluate(int32_t recNo, Variant& value) const override;
};

// Operators of one precedence chain to the left, so a long chain such as
// 1+1+...+1 parses into a deep left spine of binary nodes. Evaluating,
// planning and freeing walk that spine in a loop rather than recursing down
// it, so the length of a chain never reaches the stack.
class TBinaryExpr : public TExpr {
public:
  TBinaryExpr(int32_t line, TExprPtr left, TExprPtr right);
  ~TBinaryExpr() override;
  bool IsAvailable() const override;
  bool Activate(TCapacityPlan& plan) override;
  void Evaluate(int32_t recNo, Variant& value) const final;

protected:
  // This node's operator applied to the left operand's value and its right
  // operand, which it evaluates itself (so "and" / "or" can skip it).
  virtual void Apply(const Variant& left, int32_t recNo, Variant& value) const = 0;

  TExprPtr left_, right_;

private:
  // The binary nodes of the left spine, this one first, the deepest last.
  std::vector<const TBinaryExpr*> Spine() const;

  int32_t chain_ = 0;  // binary nodes below this one along the left spine
};

#define HY_BINARY_EXPR(Name)                                                       \
  class Name final : public TBinaryExpr {                                          \
  public:                                                                          \
    using TBinaryExpr::TBinaryExpr;                                                \
                                                                                   \
  protected:                                                                       \
    void Apply(const Variant& left, int32_t recNo, Variant& value) const override; \
  }
HY_BINARY_EXPR(TAndExpr);
HY_BINARY_EXPR(TOrExpr);
HY_BINARY_EXPR(TMultExpr);
HY_BINARY_EXPR(TAddExpr);
HY_BINARY_EXPR(TSubExpr);
HY_BINARY_EXPR(TDivideExpr);
HY_BINARY_EXPR(TDivExpr);
HY_BINARY_EXPR(TModExpr);
HY_BINARY_EXPR(TEQExpr);
HY_BINARY_EXPR(TNEExpr);
HY_BINARY_EXPR(TLTExpr);
HY_BINARY_EXPR(TLEExpr);
HY_BINARY_EXPR(TGTExpr);
HY_BINARY_EXPR(TGEExpr);
#undef HY_BINARY_EXPR

class TCallBase : public TExpr {
public:
  TCallBase(int32_t line, TExprs args) : TExpr(line), args_(std::move(args)) {}
  const TExprs& Args() const { return args_; }
  bool IsAvailable() const override { return args_.IsAvailable(); }
  bool Activate(TCapacityPlan& plan) override { return args_.Activate(plan); }

protected:
  TExprs args_;
};

class TBuiltInCallExpr final : public TCallBase {
public:
  TBuiltInCallExpr(int32_t line, int32_t number, TExprs args)
      : TCallBase(line, std::move(args)), number_(number) {}
  int32_t Number() const { return number_; }
  void Evaluate(int32_t recNo, Variant& value) const override;

private:
  int32_t number_;
};

// Answered by the store's OnCall; unassigned when there is no handler.
class TExternCallExpr final : public TCallBase {
public:
  TExternCallExpr(int32_t line, const TCommonDataStore* store, int32_t number, TExprs args)
      : TCallBase(line, std::move(args)), store_(store), number_(number) {}
  int32_t Number() const { return number_; }
  void Evaluate(int32_t recNo, Variant& value) const override;

private:
  const TCommonDataStore* store_;
  int32_t number_;
};

// A call of whatever the callee evaluates to; it must be a procedure value.
class TCallExpr final : public TCallBase {
public:
  TCallExpr(int32_t line, const TCommonDataStore* store, TExprPtr callee, TExprs args)
      : TCallBase(line, std::move(args)), store_(store), callee_(std::move(callee)) {}
  bool IsAvailable() const override;
  bool Activate(TCapacityPlan& plan) override;
  void Evaluate(int32_t recNo, Variant& value) const override;

private:
  const TCommonDataStore* store_;
  TExprPtr callee_;
};

// A call of a procedure numbered 0: its own constant result.
class TConstCallExpr final : public TCallBase {
public:
  TConstCallExpr(int32_t line, Variant result, TExprs args)
      : TCallBase(line, std::move(args)), result_(std::move(result)) {}
  void Evaluate(int32_t, Variant& value) const override { value = result_; }

private:
  Variant result_;
};

// Calls a procedure value (built-in or external) with `args` for `recNo`.
Variant CallProc(const TProcValue& proc, const TCommonDataStore* store, const TExprs& args,
                 int32_t recNo, int32_t line);

}  // namespace hy
