// Symbols, scopes and the built-in functions of the expression language.
// Private to the expression language: only its own files and tests include it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/Variant.h"
#include "cube/HyMap.h"

namespace hy {

// --------------------------------------------------------- symbols and scopes

class TSymbol : public TMapSymbol {
public:
  explicit TSymbol(const char* name) : name_(name) {}
  const char* Name() const { return name_; }

private:
  const char* name_;  // interned
};

// A name bound to one map item.
class TDimSymbol final : public TSymbol {
public:
  TDimSymbol(const char* name, TDimensionItem* item) : TSymbol(name), item_(item) {}
  TDimensionItem* Item() const { return item_; }

private:
  TDimensionItem* item_;
};

// A procedure: negative numbers are built-ins, positive ones external
// procedures (line number + 1 of the store's Externals), 0 a procedure that
// stands for its own constant result.
class TProcSymbol final : public TSymbol {
public:
  static constexpr int32_t kAnyArity = -1;
  TProcSymbol(const char* name, int32_t number, int32_t arity = kAnyArity, Variant result = {})
      : TSymbol(name), number_(number), arity_(arity), result_(std::move(result)) {}
  int32_t Number() const { return number_; }
  int32_t Arity() const { return arity_; }  // kAnyArity for externals
  const Variant& Result() const { return result_; }

private:
  int32_t number_;
  int32_t arity_;
  Variant result_;
};

// A name no scope knew; entered so that it is reported once.
class TUndefSymbol final : public TSymbol {
public:
  using TSymbol::TSymbol;
};

// Symbols sorted by their interned name pointer. Symbols added as unique_ptr
// are owned; others (the map items' symbols) are only referred to.
class TSymbolTable {
public:
  TSymbolTable() = default;
  virtual ~TSymbolTable();
  TSymbolTable(const TSymbolTable&) = delete;
  TSymbolTable& operator=(const TSymbolTable&) = delete;

  // Both add the symbol even when its name is taken; they answer false then.
  bool Add(std::unique_ptr<TSymbol> symbol);
  bool Add(TSymbol& symbol);
  TSymbol* Find(const char* name) const;  // this table only
  int Count() const { return static_cast<int>(symbols_.size()); }

private:
  std::vector<TSymbol*> symbols_;
  std::vector<std::unique_ptr<TSymbol>> owned_;
};

class TScope;
using TUseList = std::vector<const TScope*>;

// A table with a parent scope and used scopes. Lookup: own symbols, then
// each used scope in order, then the parent.
class TScope : public TSymbolTable {
public:
  explicit TScope(const TScope* parent = nullptr) : parent_(parent) {}
  const TScope* Parent() const { return parent_; }
  const TUseList& Uses() const { return uses_; }
  void Use(const TScope& scope) { uses_.push_back(&scope); }
  TSymbol* Lookup(const char* name) const;

private:
  const TScope* parent_;
  TUseList uses_;
};

// The scope of the thirteen built-in functions (numbers -1 .. -13).
class TSystemUnit final : public TScope {
public:
  TSystemUnit();
};

const TSystemUnit& SystemUnit();

// Calls built-in `number` with arguments already converted to floating
// point; `line` is for messages. Arity is the caller's check.
Variant CallBuiltIn(int32_t number, const std::vector<double>& args, int32_t line);
// The arity of built-in `number`, or -1 when there is no such built-in.
int32_t BuiltInArity(int32_t number);

}  // namespace hy
