// Evaluation of compiled expressions.
//
// Null (a cell whose aggregate has no values) propagates through arithmetic,
// div/mod, the built-ins and "not"; "and"/"or" treat it as unknown, so that
// a Null operand never turns a cell read into a conversion error.
#include <limits>

#include "common/StrUtils.h"
#include "cube/HyCommon.h"
#include "cube/HyExprScope.h"
#include "cube/HyExprTree.h"
#include "cube/HyStore.h"

namespace hy {

namespace {

constexpr const char* kUnit = "HyExpr";

Variant IntegerResult(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(v));
  return Variant(v);
}

[[noreturn]] void InvalidCall(int32_t line) {
  throw Exception(hy::Format("Line %d: Invalid procedure call", line));
}

}  // namespace

const TExpr* ItemExpression(const TDimensionItem& item) {
  return dynamic_cast<const TExpr*>(item.Expression());
}

// ---------------------------------------------------------------------- TExprs

const TExpr& TExprs::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(hy::Format("List index out of bounds (%d)", index));
  return *items_[index];
}

bool TExprs::IsAvailable() const {
  for (const auto& e : items_)
    if (!e->IsAvailable()) return false;
  return true;
}

bool TExprs::Activate(TCapacityPlan& plan) {
  for (auto& e : items_)
    if (!e->Activate(plan)) return false;
  return true;
}

// ------------------------------------------------------------------- TNameExpr

TNameExpr::TNameExpr(int32_t line, const TSymbol& symbol) : TExpr(line), name_(symbol.Name()) {
  if (auto* dim = dynamic_cast<const TDimSymbol*>(&symbol)) {
    item_ = dim->Item();
  } else if (auto* proc = dynamic_cast<const TProcSymbol*>(&symbol)) {
    isProc_ = true;
    proc_ = TProcValue{proc->Number(), name_};
  }
}

bool TNameExpr::IsAvailable() const { return !item_ || item_->Active(); }

bool TNameExpr::Activate(TCapacityPlan& plan) { return !item_ || plan.TryActivate(*item_); }

void TNameExpr::Evaluate(int32_t recNo, Variant& value) const {
  if (isProc_) {
    value = Variant(proc_);
    return;
  }
  HyAssert(item_ != nullptr, kUnit, "Unresolved symbol");
  const TCommonDimItem* source = item_->CacheLink();
  if (!source)
    throw Exception(hy::Format("Line %d: '%s' has no values in this cube", Line(), name_));
  value = source->GetRecordValue(recNo);
}

// ---------------------------------------------------------------- unary nodes

void TNopExpr::Evaluate(int32_t recNo, Variant& value) const { operand_->Evaluate(recNo, value); }

void TNotExpr::Evaluate(int32_t recNo, Variant& value) const {
  operand_->Evaluate(recNo, value);
  if (!value.IsNull()) value = Variant(!value.AsBoolean());
}

void TUnPlus::Evaluate(int32_t recNo, Variant& value) const { operand_->Evaluate(recNo, value); }

void TUnMinus::Evaluate(int32_t recNo, Variant& value) const {
  value = VarNeg(operand_->Value(recNo));
}

// --------------------------------------------------------------- binary nodes

namespace {
// Chains shorter than this are evaluated by plain recursion, without the
// spine's allocation.
constexpr int32_t kShortChain = 32;
}  // namespace

TBinaryExpr::TBinaryExpr(int32_t line, TExprPtr left, TExprPtr right)
    : TExpr(line), left_(std::move(left)), right_(std::move(right)) {
  if (auto* below = dynamic_cast<const TBinaryExpr*>(left_.get())) chain_ = below->chain_ + 1;
}

TBinaryExpr::~TBinaryExpr() {
  // Each node is freed with its left operand already taken from it.
  TExprPtr next = std::move(left_);
  while (auto* binary = dynamic_cast<TBinaryExpr*>(next.get())) {
    TExprPtr below = std::move(binary->left_);
    next = std::move(below);
  }
}

std::vector<const TBinaryExpr*> TBinaryExpr::Spine() const {
  std::vector<const TBinaryExpr*> spine;
  spine.reserve(static_cast<size_t>(chain_) + 1);
  for (const TBinaryExpr* node = this;;) {
    spine.push_back(node);
    if (node->chain_ == 0) return spine;
    node = static_cast<const TBinaryExpr*>(node->left_.get());
  }
}

bool TBinaryExpr::IsAvailable() const {
  const std::vector<const TBinaryExpr*> spine = Spine();
  for (const TBinaryExpr* node : spine)
    if (!node->right_->IsAvailable()) return false;
  return spine.back()->left_->IsAvailable();
}

bool TBinaryExpr::Activate(TCapacityPlan& plan) {
  // Left to right, as the items appear in the text.
  const std::vector<const TBinaryExpr*> spine = Spine();
  if (!spine.back()->left_->Activate(plan)) return false;
  for (auto it = spine.rbegin(); it != spine.rend(); ++it)
    if (!(*it)->right_->Activate(plan)) return false;
  return true;
}

void TBinaryExpr::Evaluate(int32_t recNo, Variant& value) const {
  Variant left;
  if (chain_ < kShortChain) {
    left_->Evaluate(recNo, left);
    Apply(left, recNo, value);
    return;
  }
  const std::vector<const TBinaryExpr*> spine = Spine();
  spine.back()->left_->Evaluate(recNo, left);
  for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
    (*it)->Apply(left, recNo, value);
    if (it + 1 != spine.rend()) left = std::move(value);
  }
}

// ---------------------------------------------------------------- logic nodes

void TAndExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  if (!left.IsNull() && !left.AsBoolean()) {
    value = Variant(false);
    return;
  }
  const Variant right = right_->Value(recNo);
  if (!right.IsNull() && !right.AsBoolean()) value = Variant(false);
  else if (left.IsNull() || right.IsNull()) value = Variant::Null();
  else value = Variant(true);
}

void TOrExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  if (!left.IsNull() && left.AsBoolean()) {
    value = Variant(true);
    return;
  }
  const Variant right = right_->Value(recNo);
  if (!right.IsNull() && right.AsBoolean()) value = Variant(true);
  else if (left.IsNull() || right.IsNull()) value = Variant::Null();
  else value = Variant(false);
}

// ----------------------------------------------------------- arithmetic nodes

void TMultExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = VarMul(left, right_->Value(recNo));
}

void TAddExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = VarAdd(left, right_->Value(recNo));
}

void TSubExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = VarSub(left, right_->Value(recNo));
}

void TDivideExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = VarDiv(left, right_->Value(recNo));
}

void TDivExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  const Variant& a = left;
  const Variant b = right_->Value(recNo);
  if (a.IsNull() || b.IsNull()) {
    value = Variant::Null();
    return;
  }
  const int64_t x = a.AsInteger(), y = b.AsInteger();
  if (y == 0) throw EDivByZero(hy::Format("Line %d: Division by zero in div", Line()));
  value = IntegerResult(x / y);  // 64-bit: MinInt div -1 does not overflow
}

void TModExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  const Variant& a = left;
  const Variant b = right_->Value(recNo);
  if (a.IsNull() || b.IsNull()) {
    value = Variant::Null();
    return;
  }
  const int64_t x = a.AsInteger(), y = b.AsInteger();
  if (y == 0) throw EDivByZero(hy::Format("Line %d: Division by zero in mod", Line()));
  value = IntegerResult(x % y);
}

// ----------------------------------------------------------- comparison nodes

void TEQExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = Variant(VarCompare(left, right_->Value(recNo)) == crEqual);
}

void TNEExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = Variant(VarCompare(left, right_->Value(recNo)) != crEqual);
}

void TLTExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = Variant(VarCompare(left, right_->Value(recNo)) == crLessThan);
}

void TLEExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  const TVariantRelationship r = VarCompare(left, right_->Value(recNo));
  value = Variant(r == crLessThan || r == crEqual);
}

void TGTExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  value = Variant(VarCompare(left, right_->Value(recNo)) == crGreaterThan);
}

void TGEExpr::Apply(const Variant& left, int32_t recNo, Variant& value) const {
  const TVariantRelationship r = VarCompare(left, right_->Value(recNo));
  value = Variant(r == crGreaterThan || r == crEqual);
}

// ------------------------------------------------------------------ calls

Variant CallProc(const TProcValue& proc, const TCommonDataStore* store, const TExprs& args,
                 int32_t recNo, int32_t line) {
  if (proc.id < 0) {
    const int32_t arity = BuiltInArity(proc.id);
    if (arity < 0) InvalidCall(line);
    if (args.Count() > arity)
      throw Exception(hy::Format("Line %d: Too many actual parameters", line));
    if (args.Count() < arity)
      throw Exception(hy::Format("Line %d: Not enough actual parameters", line));
    std::vector<double> values;
    values.reserve(arity);
    for (int i = 0; i < arity; ++i) {
      const Variant v = args.Evaluate(i, recNo);
      if (v.IsNull()) return Variant::Null();
      values.push_back(v.AsDouble());
    }
    return CallBuiltIn(proc.id, values, line);
  }
  if (proc.id > 0) {
    if (!store || !store->OnCall()) return Variant();
    return store->OnCall()(proc.id - 1, recNo, args);
  }
  InvalidCall(line);
}

void TBuiltInCallExpr::Evaluate(int32_t recNo, Variant& value) const {
  value = CallProc(TProcValue{number_, nullptr}, nullptr, args_, recNo, Line());
}

void TExternCallExpr::Evaluate(int32_t recNo, Variant& value) const {
  value = CallProc(TProcValue{number_, nullptr}, store_, args_, recNo, Line());
}

bool TCallExpr::IsAvailable() const { return callee_->IsAvailable() && args_.IsAvailable(); }

bool TCallExpr::Activate(TCapacityPlan& plan) {
  return callee_->Activate(plan) && args_.Activate(plan);
}

void TCallExpr::Evaluate(int32_t recNo, Variant& value) const {
  const Variant callee = callee_->Value(recNo);
  if (callee.VarType() != varProc) InvalidCall(Line());
  value = CallProc(callee.AsProc(), store_, args_, recNo, Line());
}

}  // namespace hy
