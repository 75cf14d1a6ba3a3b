// The report's expression language: SQL-like conditions over the report's
// datasets and variables, used by highlights. An expression is parsed into a
// tree for one evaluation and evaluated into a Variant. Every failure, of
// the parser and of the evaluation, raises EDatabaseError.
//
// Names: "Dataset.Field" (split at the first ".") is a field of the first
// listed dataset whose component name or caption is "Dataset"
// (case-insensitively); a bare name is a field of the first dataset. A name
// that is no field goes to the variable lookup, whose value is taken while
// parsing; a field's value is read at each evaluation.
//
// Type rules ("Type mismatch in expression" otherwise):
// - Null (and an unassigned value) goes with anything in =, <>, IN and IS
//   [NOT] NULL; "=" with a Null operand is true only when both are Null.
//   Ordering (<, >, <=, >=) with a Null operand is false; LIKE with a Null
//   operand is false; arithmetic with a Null operand gives Null.
// - Comparisons: numbers with numbers, strings with strings (case-sensitive),
//   dates with dates and numbers, Booleans with Booleans. A text constant
//   compared with a date or time field is read as a date while parsing
//   ("Constant is not correct type Date" when it is none).
// - LIKE: strings only; "%" matches any run of characters, "_" one
//   character, everything else itself, case-sensitively; no escape character.
// - IN: true when the value equals one of the list's values by the "=" rule.
// - +: numbers, strings (joined), a date and a number or another date (a
//   date: day plus time); -: numbers, a date minus a number (a date), a date
//   minus a date (days); * and /: numbers only; unary -: numbers.
// - NOT, AND, OR: Booleans, numbers (non-zero is true), the texts "True" and
//   "False"; Null counts as false. AND and OR skip their right operand when
//   the left decides.
// - Numeric functions take numbers (text is a mismatch: STRTOFLOAT reads
//   it), date functions dates or numbers, text functions the text of any
//   value; Null in an argument gives Null.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Variant.h"
#include "platform/db/DataSet.h"

namespace hy {

class TKyPrintBaseComponent;
class TKyRDataManager;

// Deeper nesting (parentheses, operands, arguments) is refused with
// "Expression is nested too deeply (more than 200 levels)".
constexpr int kKyRMaxExprDepth = 200;

// Answers a name that is no field: whether it is known and, if so, its type
// and value. Date and time types make a number a date.
using TKyRVariableLookup =
    std::function<bool(const std::string& name, TFieldType& type, Variant& value)>;

// The report component's GetVariable (system variables, user variables,
// OnGetVariable) as a variable lookup; the report must outlive it.
TKyRVariableLookup KyRReportVariables(TKyPrintBaseComponent& report);

struct TKyRExprSource {
  TDataSet* Dataset = nullptr;
  std::string Caption;
};

// What names are resolved against: datasets in order, then the variables.
struct TKyRExprContext {
  std::vector<TKyRExprSource> Sources;
  TKyRVariableLookup Variables;  // may be empty

  TKyRExprContext() = default;
  TKyRExprContext(const TKyRDataManager* manager, TKyRVariableLookup variables);
};

enum TKyRNodeKind : uint8_t { nkField, nkConst, nkOperator, nkFunction };
// Whether a subtree reads fields (record-varying), calls an aggregate
// function, or neither.
enum TKyRNodeScope : uint8_t { nsConstant, nsRecord, nsAggregate };

enum TKyROperator : uint8_t {
  roNone,
  roOr,
  roAnd,
  roNot,
  roEQ,
  roNE,
  roGT,
  roLT,
  roGE,
  roLE,
  roLike,
  roIn,  // Left IN (Args)
  roIsNull,
  roIsNotNull,
  roNegate,
  roAdd,
  roSub,
  roMul,
  roDiv,
};

struct TKyRExprNode {
  TKyRNodeKind Kind = nkConst;
  TKyROperator Operator = roNone;
  std::unique_ptr<TKyRExprNode> Left, Right;
  std::string Name;       // function name in upper case, or the field's name as written
  int Function = -1;      // the function's number (see KyRParsFunc)
  bool CountAll = false;  // COUNT(*)
  std::vector<std::unique_ptr<TKyRExprNode>> Args;  // function arguments, IN list
  Variant Value;                                    // constant
  TField* Field = nullptr;
  // Set by the parser: levels of the subtree (1 for a leaf) and its scope.
  int Depth = 1;
  TKyRNodeScope Scope = nsConstant;
};

// The tree of `text`; raises EDatabaseError with the parser's messages.
std::unique_ptr<TKyRExprNode> ParseKyRExpression(std::string_view text,
                                                 const TKyRExprContext& context);
// The value of a parsed tree (reads the fields' current values).
Variant EvaluateKyRNode(const TKyRExprNode& node);
// Parse and evaluate in one go; the raw value.
Variant CalculateKyRExpression(std::string_view text, const TKyRExprContext& context);

// The value as text: Null is "", a number or date with a non-empty
// `numberFormat` its general floating-point text, anything else its plain
// text (Booleans "True" / "False") in the current format settings.
std::string KyRValueText(const Variant& value, std::string_view numberFormat);
// Parse, evaluate and convert to text: the result is always a string.
Variant Evaluate(const TKyRExprContext& context, std::string_view text,
                 std::string_view numberFormat);
Variant Evaluate(const TKyRDataManager* manager, std::string_view text,
                 std::string_view numberFormat, TKyRVariableLookup variables);

// Whether a value counts as a holding condition: True, a non-zero number,
// the text "True". Anything else (Null, other texts, dates) does not.
bool KyRConditionHolds(const Variant& value);

}  // namespace hy
