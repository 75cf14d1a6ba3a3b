// The expression language of derived summaries. A derived map item's text is
// compiled once, when the store opens, into a tree of expression objects;
// every cell read evaluates the tree for the cell's bin-table record.
//
// Compile errors never raise here: they go to the store's log as
// "<item name>[<line>]: <message>" and the map fails the open with the whole
// log. Evaluation errors raise (invalid procedure calls, division by zero in
// div/mod, Variant conversions).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exceptions.h"
#include "common/Variant.h"
#include "cube/HyMap.h"

namespace hy {

class TCommonDataStore;
class THyLog;

// ------------------------------------------------------------------ tokens

enum TToken : uint8_t {
  tkIdentifier,   // 0
  tkIntConst,     // 1
  tkRealConst,    // 2
  tkString,       // 3
  tkLParen,       // 4
  tkRParen,       // 5
  tkLBracket,     // 6
  tkRBracket,     // 7
  tkStar,         // 8
  tkSlash,        // 9
  tkDiv,          // 10
  tkMod,          // 11
  tkPlus,         // 12
  tkMinus,        // 13
  tkEQ,           // 14
  tkNE,           // 15
  tkLT,           // 16
  tkLE,           // 17
  tkGT,           // 18
  tkGE,           // 19
  tkAnd,          // 20
  tkOr,           // 21
  tkNot,          // 22
  tkDotDot,       // 23
  tkDot,          // 24
  tkIn,           // 25
  tkColon,        // 26
  tkSemicolon,    // 27
  tkComma,        // 28
  tkEOF,          // 29
};

// The token's name as messages show it: "Identifier", "(", "div", "EOF" ...
const char* TokenName(TToken token);
// The token's class for error recovery (0 .. 12).
int TokenClass(TToken token);

// ---------------------------------------------------------------- dictionary

// Interned identifiers. Open addressing over a power-of-two table; texts are
// copied into chained 512-byte blocks that live as long as the dictionary,
// so an interned name is a stable C string and two names are equal exactly
// when their pointers are.
class TDictionary {
public:
  struct TEntry {
    const char* Name = nullptr;  // interned text
    TToken Kind = tkIdentifier;  // keyword token or tkIdentifier
  };

  TDictionary();  // with the keywords and/or/not/div/mod/in
  ~TDictionary();
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;

  // The entry of `text`, entered as an identifier when absent.
  TEntry Lookup(std::string_view text);
  // Enters a keyword; a keyword entered twice is an assertion failure.
  void AddKeyword(std::string_view text, TToken kind);

  int Count() const { return count_; }
  int Size() const { return static_cast<int>(slots_.size()); }

  static uint32_t Hash(std::string_view text);

private:
  struct TSlot {
    const char* name = nullptr;
    uint32_t length = 0;
    TToken kind = tkIdentifier;
  };
  // Index of the slot holding `text`, or of the empty slot where it belongs.
  size_t Probe(std::string_view text) const;
  const char* Store(std::string_view text);
  void Grow();

  std::vector<TSlot> slots_;
  int count_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t blockUsed_ = 0;  // bytes used in blocks_.back()
};

// The process-wide dictionary every compile interns into.
TDictionary& Dictionary();

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

// ---------------------------------------------------------- expression tree

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

class TBinaryExpr : public TExpr {
public:
  TBinaryExpr(int32_t line, TExprPtr left, TExprPtr right)
      : TExpr(line), left_(std::move(left)), right_(std::move(right)) {}
  bool IsAvailable() const override { return left_->IsAvailable() && right_->IsAvailable(); }
  bool Activate(TCapacityPlan& plan) override {
    return left_->Activate(plan) && right_->Activate(plan);
  }

protected:
  TExprPtr left_, right_;
};

#define HY_BINARY_EXPR(Name)                                            \
  class Name final : public TBinaryExpr {                               \
  public:                                                               \
    using TBinaryExpr::TBinaryExpr;                                     \
    void Evaluate(int32_t recNo, Variant& value) const override;        \
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

// ------------------------------------------------------------ lexer, parser

// The lexer. Lines are counted from 0; a carriage return starts a new line.
// Messages go to the log as "<name>[<line>]: <message>".
class TParser {
public:
  explicit TParser(THyLog& log) : log_(log) {}
  virtual ~TParser() = default;

  // Sets the text and goes back to its start (no token read yet).
  void SetText(std::string text);
  const std::string& Text() const { return text_; }
  // The name messages are reported under.
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Name() const { return name_; }

  void NextToken();
  TToken Token() const { return token_; }
  int32_t TokenLine() const { return tokenLine_; }
  const char* Ident() const { return ident_; }  // interned, for tkIdentifier
  int32_t IntValue() const { return intValue_; }
  double RealValue() const { return realValue_; }
  const std::string& StringValue() const { return stringValue_; }

  // Logs `message` at the current token's line, or at `line`.
  void Error(const std::string& message) { ErrorAt(tokenLine_, message); }
  void ErrorAt(int32_t line, const std::string& message);
  THyLog& Log() { return log_; }

private:
  char Peek(size_t ahead = 0) const;
  void ScanIdentifier();
  void ScanNumber();
  void ScanString();

  THyLog& log_;
  std::string text_;
  std::string name_;
  size_t pos_ = 0;
  int32_t line_ = 0;
  TToken token_ = tkEOF;
  int32_t tokenLine_ = 0;
  const char* ident_ = nullptr;
  int32_t intValue_ = 0;
  double realValue_ = 0;
  std::string stringValue_;
};

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

  TCommonDataStore& store_;
  TScope* scope_ = nullptr;
  std::vector<TReference> references_;
};

}  // namespace hy
