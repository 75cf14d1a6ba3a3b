// Symbol tables, scopes and the system unit with the built-in functions.
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "common/StrUtils.h"
#include "cube/HyExprLex.h"
#include "cube/HyExprScope.h"

namespace hy {

// ---------------------------------------------------------------- TSymbolTable

TSymbolTable::~TSymbolTable() = default;

bool TSymbolTable::Add(TSymbol& symbol) {
  const bool fresh = Find(symbol.Name()) == nullptr;
  auto at = std::upper_bound(symbols_.begin(), symbols_.end(), &symbol,
                             [](const TSymbol* a, const TSymbol* b) {
                               return std::less<const char*>()(a->Name(), b->Name());
                             });
  symbols_.insert(at, &symbol);
  return fresh;
}

bool TSymbolTable::Add(std::unique_ptr<TSymbol> symbol) {
  TSymbol& added = *symbol;
  owned_.push_back(std::move(symbol));
  return Add(added);
}

TSymbol* TSymbolTable::Find(const char* name) const {
  auto at = std::lower_bound(
      symbols_.begin(), symbols_.end(), name,
      [](const TSymbol* a, const char* key) { return std::less<const char*>()(a->Name(), key); });
  return at != symbols_.end() && (*at)->Name() == name ? *at : nullptr;
}

// ---------------------------------------------------------------------- TScope

TSymbol* TScope::Lookup(const char* name) const {
  for (const TScope* scope = this; scope; scope = scope->parent_) {
    if (TSymbol* symbol = scope->Find(name)) return symbol;
    for (const TScope* used : scope->uses_)
      if (TSymbol* symbol = used->Lookup(name)) return symbol;
  }
  return nullptr;
}

// ----------------------------------------------------------------- built-ins

namespace {

struct TBuiltIn {
  int32_t number;
  const char* name;
  int32_t arity;
  double (*function)(const std::vector<double>& args);
};

double Arg(const std::vector<double>& a) { return a[0]; }

constexpr TBuiltIn kBuiltIns[] = {
    {-13, "Tan", 1, [](const auto& a) { return std::tan(Arg(a)); }},
    {-12, "Cos", 1, [](const auto& a) { return std::cos(Arg(a)); }},
    {-11, "Sin", 1, [](const auto& a) { return std::sin(Arg(a)); }},
    {-10, "Round", 1, nullptr},  // integer result, below
    {-9, "Pi", 0, [](const auto&) { return std::numbers::pi; }},
    {-8, "Log10", 1, [](const auto& a) { return std::log10(Arg(a)); }},
    {-7, "Frac", 1, [](const auto& a) { return Arg(a) - std::trunc(Arg(a)); }},
    {-6, "Int", 1, [](const auto& a) { return std::trunc(Arg(a)); }},
    {-5, "Exp", 1, [](const auto& a) { return std::exp(Arg(a)); }},
    {-4, "Ln", 1, [](const auto& a) { return std::log(Arg(a)); }},
    {-3, "Sqrt", 1, [](const auto& a) { return std::sqrt(Arg(a)); }},
    {-2, "Sqr", 1, [](const auto& a) { return Arg(a) * Arg(a); }},
    {-1, "Abs", 1, [](const auto& a) { return std::fabs(Arg(a)); }},
};

const TBuiltIn* FindBuiltIn(int32_t number) {
  for (const TBuiltIn& b : kBuiltIns)
    if (b.number == number) return &b;
  return nullptr;
}

}  // namespace

int32_t BuiltInArity(int32_t number) {
  const TBuiltIn* b = FindBuiltIn(number);
  return b ? b->arity : -1;
}

Variant CallBuiltIn(int32_t number, const std::vector<double>& args, int32_t line) {
  const TBuiltIn* b = FindBuiltIn(number);
  HyAssert(b && static_cast<int32_t>(args.size()) == b->arity, "HyExpr", "Invalid built-in call");
  const bool finiteArgs =
      std::all_of(args.begin(), args.end(), [](double x) { return std::isfinite(x); });
  if (number == -10) {
    const double r = std::nearbyint(args[0]);  // ties to even in the default rounding mode
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
      throw EIntOverflow(hy::Format("Line %d: Round: value out of range", line));
    return Variant(static_cast<int64_t>(r));
  }
  const double result = b->function(args);
  // Domain errors (Sqrt(-1), Ln(0)) raise rather than spread NaN or
  // infinities into the cells.
  if (finiteArgs && !std::isfinite(result))
    throw EMathError(hy::Format("Line %d: Invalid floating point operation in %s", line, b->name));
  return Variant(result);
}

TSystemUnit::TSystemUnit() {
  for (const TBuiltIn& b : kBuiltIns)
    Add(std::make_unique<TProcSymbol>(Dictionary().Lookup(b.name).Name, b.number, b.arity));
}

const TSystemUnit& SystemUnit() {
  static const TSystemUnit unit;
  return unit;
}

}  // namespace hy
