#include <charconv>
#include <cmath>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "report/KyRPars.h"
#include "report/KyRParsFunc.h"
#include "report/KyRParsLex.h"

namespace hy {

namespace {

using TNode = std::unique_ptr<TKyRExprNode>;

bool IsDateField(const TKyRExprNode& n) {
  if (n.Kind != nkField) return false;
  const TFieldType t = n.Field->DataType();
  return t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp;
}

// A text compared with a date field stands for a date.
void CoerceDateConstant(const TKyRExprNode& field, TKyRExprNode& constant) {
  if (!IsDateField(field) || constant.Kind != nkConst || constant.Value.VarType() != varString)
    return;
  const std::string text = constant.Value.ToText();
  TDateTime d;
  if (!TryISOStrToDateTime(text, d) && !TryStrToDate(text, d))
    throw EDatabaseError(Format("Constant is not correct type %s", field.Field->TypeName()));
  constant.Value = Variant::Date(d);
}

class TParser {
public:
  TParser(std::string_view text, const TKyRExprContext& context) : lexer_(text), context_(context) {
    Advance();
  }

  TNode Run() {
    TNode tree = ParseOr();
    if (token_.Kind != ktEnd) throw EDatabaseError("Expression incorrectly terminated");
    return tree;
  }

private:
  // Counts the nesting of the recursive descent, so that deep input is
  // refused before it can exhaust the stack.
  class TNesting {
  public:
    explicit TNesting(int& depth) : depth_(depth) {
      if (++depth_ > kKyRMaxExprDepth) TooDeep();
    }
    ~TNesting() { --depth_; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;

  private:
    int& depth_;
  };

  [[noreturn]] static void TooDeep() {
    throw EDatabaseError(
        Format("Expression is nested too deeply (more than %d levels)", kKyRMaxExprDepth));
  }

  void Advance() { token_ = lexer_.Next(); }

  [[noreturn]] void Expected(const char* what) const {
    throw EDatabaseError(Format("%s expected but %s found", what, token_.Display().c_str()));
  }

  // Depth and scope from the children; a tree deeper than the limit is
  // refused (its evaluation would recurse as deep).
  static TNode Finish(TNode node, bool aggregate = false) {
    int depth = 0;
    bool record = false, aggregates = false;
    auto take = [&](const TNode& child) {
      if (!child) return;
      depth = std::max(depth, child->Depth);
      record |= child->Scope == nsRecord;
      aggregates |= child->Scope == nsAggregate;
    };
    take(node->Left);
    take(node->Right);
    for (const TNode& arg : node->Args) take(arg);
    node->Depth = depth + 1;
    if (node->Depth > kKyRMaxExprDepth) TooDeep();
    if (aggregate) {
      node->Scope = nsAggregate;
    } else {
      if (record && aggregates)
        throw EDatabaseError("Operation cannot mix aggregate value with record-varying value");
      node->Scope = aggregates ? nsAggregate : record ? nsRecord : nsConstant;
    }
    return node;
  }

  static TNode Operator(TKyROperator op, TNode left, TNode right = nullptr) {
    auto node = std::make_unique<TKyRExprNode>();
    node->Kind = nkOperator;
    node->Operator = op;
    node->Left = std::move(left);
    node->Right = std::move(right);
    return Finish(std::move(node));
  }

  static TNode Constant(Variant value) {
    auto node = std::make_unique<TKyRExprNode>();
    node->Value = std::move(value);
    return node;
  }

  using TParse = TNode (TParser::*)();
  using TRecognise = TKyROperator (*)(const TKyRToken&);

  // Operands joined left to right by the operators `recognise` knows.
  TNode Chain(TParse operand, TRecognise recognise) {
    TNode left = (this->*operand)();
    for (TKyROperator op = recognise(token_); op != roNone; op = recognise(token_)) {
      Advance();
      left = Operator(op, std::move(left), (this->*operand)());
    }
    return left;
  }

  static TKyROperator OrOperator(const TKyRToken& t) { return t.IsKeyword("OR") ? roOr : roNone; }
  static TKyROperator AndOperator(const TKyRToken& t) {
    return t.IsKeyword("AND") ? roAnd : roNone;
  }
  static TKyROperator AddOperator(const TKyRToken& t) {
    return t.Kind == ktPlus ? roAdd : t.Kind == ktMinus ? roSub : roNone;
  }
  static TKyROperator MulOperator(const TKyRToken& t) {
    return t.Kind == ktStar ? roMul : t.Kind == ktSlash ? roDiv : roNone;
  }

  TNode ParseOr() { return Chain(&TParser::ParseAnd, OrOperator); }
  TNode ParseAnd() { return Chain(&TParser::ParseNot, AndOperator); }

  TNode ParseNot() {
    if (!token_.IsKeyword("NOT")) return ParseComparison();
    TNesting nesting(depth_);
    Advance();
    return Operator(roNot, ParseNot());
  }

  // An additive term, telling whether it was the keyword NULL alone.
  TNode ParseOperand(bool& isNull) {
    const bool startsNull = token_.IsKeyword("NULL");
    TNode node = ParseAdditive();
    isNull = startsNull && node->Kind == nkConst && node->Value.IsNull();
    return node;
  }

  TNode ParseComparison() {
    bool leftNull = false;
    TNode left = ParseOperand(leftNull);
    TKyROperator op = roNone;
    switch (token_.Kind) {
      case ktEQ: op = roEQ; break;
      case ktNE: op = roNE; break;
      case ktGT: op = roGT; break;
      case ktLT: op = roLT; break;
      case ktGE: op = roGE; break;
      case ktLE: op = roLE; break;
      default:
        if (token_.IsKeyword("LIKE")) op = roLike;
        break;
    }
    if (op != roNone) {
      Advance();
      bool rightNull = false;
      TNode right = ParseOperand(rightNull);
      if (leftNull || rightNull) {
        if (op != roEQ && op != roNE) throw EDatabaseError("NULL only allowed with '=' and '<>'");
        TNode operand = leftNull ? std::move(right) : std::move(left);
        return Operator(op == roEQ ? roIsNull : roIsNotNull, std::move(operand));
      }
      CoerceDateConstant(*left, *right);
      CoerceDateConstant(*right, *left);
      return Operator(op, std::move(left), std::move(right));
    }
    if (token_.IsKeyword("NOT")) {
      Advance();
      if (token_.IsKeyword("LIKE")) {
        Advance();
        bool rightNull = false;
        TNode right = ParseOperand(rightNull);
        if (leftNull || rightNull) throw EDatabaseError("NULL only allowed with '=' and '<>'");
        return Operator(roNot, Operator(roLike, std::move(left), std::move(right)));
      }
      if (!token_.IsKeyword("IN")) Expected("LIKE or IN");
      return Operator(roNot, ParseIn(std::move(left)));
    }
    if (token_.IsKeyword("IN")) return ParseIn(std::move(left));
    if (token_.IsKeyword("IS")) {
      Advance();
      bool negated = false;
      if (token_.IsKeyword("NOT")) {
        negated = true;
        Advance();
      }
      if (!token_.IsKeyword("NULL")) Expected("NULL");
      Advance();
      return Operator(negated ? roIsNotNull : roIsNull, std::move(left));
    }
    return left;
  }

  // After the operand and "IN": the parenthesised list.
  TNode ParseIn(TNode left) {
    Advance();
    if (token_.Kind != ktLParen) Expected("'('");
    Advance();
    if (token_.Kind == ktRParen) throw EDatabaseError("IN predicate list may not be empty");
    auto node = std::make_unique<TKyRExprNode>();
    node->Kind = nkOperator;
    node->Operator = roIn;
    for (;;) {
      TNode item = ParseAdditive();
      CoerceDateConstant(*left, *item);
      node->Args.push_back(std::move(item));
      if (token_.Kind == ktComma) {
        Advance();
        continue;
      }
      if (token_.Kind != ktRParen) Expected("')' or ','");
      Advance();
      break;
    }
    node->Left = std::move(left);
    return Finish(std::move(node));
  }

  TNode ParseAdditive() { return Chain(&TParser::ParseMultiplicative, AddOperator); }
  TNode ParseMultiplicative() { return Chain(&TParser::ParseFactor, MulOperator); }

  TNode ParseFactor() {
    switch (token_.Kind) {
      case ktLParen: {
        TNesting nesting(depth_);
        Advance();
        TNode inner = ParseOr();
        if (token_.Kind != ktRParen) Expected("')'");
        Advance();
        return inner;
      }
      case ktString: {
        TNode node = Constant(Variant(token_.Text));
        Advance();
        return node;
      }
      case ktNumber: {
        TNode node = Constant(NumberValue(token_.Text));
        Advance();
        return node;
      }
      case ktMinus: {
        TNesting nesting(depth_);
        Advance();
        return Operator(roNegate, ParseFactor());
      }
      case ktName: return ParseName();
      default: Expected("Expression");
    }
  }

  static Variant NumberValue(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.find('.') == std::string::npos) {
      int64_t i = 0;
      if (std::from_chars(first, last, i).ec == std::errc()) {
        if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<int32_t>(i));
        return Variant(i);
      }
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(first, last, d);
    if (ec != std::errc() || end != last || !std::isfinite(d))
      throw EDatabaseError("Constant out of range");
    return Variant(d);
  }

  TNode ParseName() {
    if (!token_.Bracketed) {
      if (token_.IsKeyword("NULL") || token_.IsKeyword("TRUE") || token_.IsKeyword("FALSE")) {
        TNode node = Constant(token_.IsKeyword("NULL") ? Variant::Null()
                                                       : Variant(token_.IsKeyword("TRUE")));
        Advance();
        return node;
      }
      for (const char* keyword : {"AND", "OR", "NOT", "LIKE", "IN", "IS"})
        if (token_.IsKeyword(keyword)) Expected("Expression");
    }
    const std::string name = token_.Text;
    Advance();
    if (token_.Kind == ktLParen) return ParseCall(name);
    return ResolveName(name);
  }

  TNode ParseCall(const std::string& name) {
    const int number = FindKyRFunction(name);
    if (number < 0) throw EDatabaseError(Format("Unknown function '%s'", name.c_str()));
    const TKyRFunctionInfo& info = KyRFunctionInfo(number);
    TNesting nesting(depth_);
    auto node = std::make_unique<TKyRExprNode>();
    node->Kind = nkFunction;
    node->Name = info.Name;
    node->Function = number;
    Advance();  // "("
    if (SameText(name, "COUNT") && token_.Kind == ktStar) {
      Advance();
      if (token_.Kind != ktRParen) Expected("')'");
      Advance();
      node->CountAll = true;
      return Finish(std::move(node), true);
    }
    if (token_.Kind == ktRParen) {
      Advance();
    } else {
      for (;;) {
        node->Args.push_back(ParseOr());
        if (token_.Kind == ktComma) {
          Advance();
          continue;
        }
        if (token_.Kind != ktRParen) Expected("')' or ','");
        Advance();
        break;
      }
    }
    const int count = static_cast<int>(node->Args.size());
    if (count < info.MinArgs || (info.MaxArgs >= 0 && count > info.MaxArgs)) {
      if (info.MinArgs == info.MaxArgs)
        throw EDatabaseError(Format("Function %s needs %d argument%s, not %d", info.Name,
                                    info.MinArgs, info.MinArgs == 1 ? "" : "s", count));
      throw EDatabaseError(Format("Function %s needs at least %d argument%s, not %d", info.Name,
                                  info.MinArgs, info.MinArgs == 1 ? "" : "s", count));
    }
    return Finish(std::move(node), info.Aggregate);
  }

  TField* FindField(const std::string& name) const {
    const size_t dot = name.find('.');
    if (dot == std::string::npos) {
      if (context_.Sources.empty() || !context_.Sources[0].Dataset) return nullptr;
      return context_.Sources[0].Dataset->FindField(name);
    }
    const std::string_view owner = std::string_view(name).substr(0, dot);
    for (const TKyRExprSource& source : context_.Sources) {
      if (!source.Dataset) continue;
      if (SameText(source.Dataset->Name(), owner) || SameText(source.Caption, owner))
        return source.Dataset->FindField(std::string_view(name).substr(dot + 1));
    }
    return nullptr;
  }

  TNode ResolveName(const std::string& name) {
    if (TField* field = FindField(name)) {
      if (field->DataType() == ftBlob || field->DataType() == ftBytes)
        throw EDatabaseError(Format("Field '%s' cannot be used in an expression", name.c_str()));
      auto node = std::make_unique<TKyRExprNode>();
      node->Kind = nkField;
      node->Field = field;
      node->Name = name;
      node->Scope = nsRecord;
      return node;
    }
    TFieldType type = ftUnknown;
    Variant value;
    if (context_.Variables && context_.Variables(name, type, value)) {
      const bool date =
          type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
      if (date && (value.IsNumeric() || value.VarType() == varDate))
        value = Variant::Date(value.AsDouble());
      return Constant(std::move(value));
    }
    throw EDatabaseError(Format("Field '%s' not found", name.c_str()));
  }

  TKyRLexer lexer_;
  const TKyRExprContext& context_;
  TKyRToken token_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<TKyRExprNode> ParseKyRExpression(std::string_view text,
                                                 const TKyRExprContext& context) {
  try {
    return TParser(text, context).Run();
  } catch (const EDatabaseError&) {
    throw;
  } catch (const std::exception& e) {
    // A variable lookup or a dataset that failed in its own way.
    throw EDatabaseError(e.what());
  }
}

}  // namespace hy
