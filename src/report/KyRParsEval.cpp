#include <QList>
#include <QString>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "report/KyRDMan.h"
#include "report/KyRPars.h"
#include "report/KyRParsFunc.h"
#include "report/KyRParsValues.h"

namespace hy {

// ---- type rules ----

TKyRValueClass KyRValueClass(const Variant& v) {
  switch (v.VarType()) {
    case varEmpty:
    case varNull: return vcNull;
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
    case varInt64: return vcNumber;
    case varDate: return vcDate;
    case varBoolean: return vcBoolean;
    case varString: return vcString;
    default: return vcOther;
  }
}

void KyRTypeMismatch() { throw EDatabaseError("Type mismatch in expression"); }

namespace {

bool Comparable(TKyRValueClass a, TKyRValueClass b) {
  if (a == vcNull || b == vcNull) return true;
  if (a == vcOther || b == vcOther) return false;
  if (a == b) return true;
  return (a == vcDate && b == vcNumber) || (a == vcNumber && b == vcDate);
}

}  // namespace

TVariantRelationship KyRCompare(const Variant& a, const Variant& b) {
  const TKyRValueClass ca = KyRValueClass(a), cb = KyRValueClass(b);
  if (!Comparable(ca, cb)) KyRTypeMismatch();
  if (ca == vcNull || cb == vcNull) return ca == cb ? crEqual : crNotEqual;
  return VarCompare(a, b);
}

bool KyREquals(const Variant& a, const Variant& b) { return KyRCompare(a, b) == crEqual; }

Variant KyRArithmetic(char op, const Variant& a, const Variant& b) {
  const TKyRValueClass ca = KyRValueClass(a), cb = KyRValueClass(b);
  const bool numbers = ca == vcNumber && cb == vcNumber;
  bool ok = false;
  switch (op) {
    case '+':
      ok = numbers || (ca == vcString && cb == vcString) ||
           (ca == vcDate && (cb == vcNumber || cb == vcDate)) || (ca == vcNumber && cb == vcDate);
      break;
    case '-': ok = numbers || (ca == vcDate && (cb == vcNumber || cb == vcDate)); break;
    default: ok = numbers; break;
  }
  // Null joins any operand that could stand there: the result is Null.
  if (ca == vcNull || cb == vcNull) {
    if (ca == vcOther || cb == vcOther) KyRTypeMismatch();
    return Variant::Null();
  }
  if (!ok) KyRTypeMismatch();
  switch (op) {
    case '+': return VarAdd(a, b);
    case '-': return VarSub(a, b);
    case '*': return VarMul(a, b);
    default: return VarDiv(a, b);
  }
}

bool KyRToBoolean(const Variant& v) {
  switch (KyRValueClass(v)) {
    case vcNull: return false;
    case vcBoolean:
    case vcNumber: return v.AsBoolean();
    case vcString:
      if (SameText(v.ToText(), "True")) return true;
      if (SameText(v.ToText(), "False")) return false;
      break;
    default: break;
  }
  KyRTypeMismatch();
}

bool KyRLikeMatch(std::string_view text, std::string_view pattern) {
  const QList<uint> s = QString::fromUtf8(text.data(), qsizetype(text.size())).toUcs4();
  const QList<uint> p = QString::fromUtf8(pattern.data(), qsizetype(pattern.size())).toUcs4();
  // Greedy scan with one remembered "%": linear in practice, never exponential.
  qsizetype i = 0, j = 0, star = -1, mark = 0;
  while (i < s.size()) {
    if (j < p.size() && p[j] == '%') {
      star = j++;
      mark = i;
    } else if (j < p.size() && (p[j] == '_' || p[j] == s[i])) {
      ++i;
      ++j;
    } else if (star >= 0) {
      j = star + 1;
      i = ++mark;
    } else {
      return false;
    }
  }
  while (j < p.size() && p[j] == '%') ++j;
  return j == p.size();
}

// ---- evaluation ----

namespace {

Variant Eval(const TKyRExprNode& node);

Variant EvaluateOperator(const TKyRExprNode& node) {
  switch (node.Operator) {
    case roOr:
      if (KyRToBoolean(Eval(*node.Left))) return Variant(true);
      return Variant(KyRToBoolean(Eval(*node.Right)));
    case roAnd:
      if (!KyRToBoolean(Eval(*node.Left))) return Variant(false);
      return Variant(KyRToBoolean(Eval(*node.Right)));
    case roNot: return Variant(!KyRToBoolean(Eval(*node.Left)));
    case roIsNull:
    case roIsNotNull: {
      const bool null = KyRValueClass(Eval(*node.Left)) == vcNull;
      return Variant(node.Operator == roIsNull ? null : !null);
    }
    case roEQ:
    case roNE:
    case roGT:
    case roLT:
    case roGE:
    case roLE: {
      const TVariantRelationship r = KyRCompare(Eval(*node.Left), Eval(*node.Right));
      switch (node.Operator) {
        case roEQ: return Variant(r == crEqual);
        case roNE: return Variant(r != crEqual);
        case roGT: return Variant(r == crGreaterThan);
        case roLT: return Variant(r == crLessThan);
        case roGE: return Variant(r == crGreaterThan || r == crEqual);
        default: return Variant(r == crLessThan || r == crEqual);
      }
    }
    case roLike: {
      const Variant text = Eval(*node.Left), pattern = Eval(*node.Right);
      const TKyRValueClass ct = KyRValueClass(text), cp = KyRValueClass(pattern);
      if ((ct != vcString && ct != vcNull) || (cp != vcString && cp != vcNull)) KyRTypeMismatch();
      if (ct == vcNull || cp == vcNull) return Variant(false);
      return Variant(KyRLikeMatch(text.ToText(), pattern.ToText()));
    }
    case roIn: {
      const Variant value = Eval(*node.Left);
      for (const auto& item : node.Args)
        if (KyREquals(value, Eval(*item))) return Variant(true);
      return Variant(false);
    }
    case roNegate: {
      const Variant v = Eval(*node.Left);
      const TKyRValueClass c = KyRValueClass(v);
      if (c == vcNull) return Variant::Null();
      if (c != vcNumber) KyRTypeMismatch();
      return VarNeg(v);
    }
    case roAdd: return KyRArithmetic('+', Eval(*node.Left), Eval(*node.Right));
    case roSub: return KyRArithmetic('-', Eval(*node.Left), Eval(*node.Right));
    case roMul: return KyRArithmetic('*', Eval(*node.Left), Eval(*node.Right));
    case roDiv: return KyRArithmetic('/', Eval(*node.Left), Eval(*node.Right));
    case roNone: break;
  }
  throw EDatabaseError("Invalid expression node");
}

Variant Eval(const TKyRExprNode& node) {
  switch (node.Kind) {
    case nkConst: return node.Value;
    case nkField: return node.Field->Value();
    case nkOperator: return EvaluateOperator(node);
    case nkFunction: return CallKyRFunction(node, Eval);
  }
  throw EDatabaseError("Invalid expression node");
}

}  // namespace

Variant EvaluateKyRNode(const TKyRExprNode& node) {
  try {
    return Eval(node);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const std::exception& e) {
    // Conversions, overflows and divisions by zero of the values themselves.
    throw EDatabaseError(e.what());
  }
}

Variant CalculateKyRExpression(std::string_view text, const TKyRExprContext& context) {
  const std::unique_ptr<TKyRExprNode> tree = ParseKyRExpression(text, context);
  return EvaluateKyRNode(*tree);
}

// ---- results ----

std::string KyRValueText(const Variant& value, std::string_view numberFormat) {
  const TKyRValueClass c = KyRValueClass(value);
  if (c == vcNull) return {};
  if (!numberFormat.empty() && (c == vcNumber || c == vcDate)) return FloatToStr(value.AsDouble());
  return value.AsString();
}

Variant Evaluate(const TKyRExprContext& context, std::string_view text,
                 std::string_view numberFormat) {
  const Variant value = CalculateKyRExpression(text, context);
  try {
    return Variant(KyRValueText(value, numberFormat));
  } catch (const std::exception& e) {
    throw EDatabaseError(e.what());  // a date outside the calendar
  }
}

Variant Evaluate(const TKyRDataManager* manager, std::string_view text,
                 std::string_view numberFormat, TKyRVariableLookup variables) {
  return Evaluate(TKyRExprContext(manager, std::move(variables)), text, numberFormat);
}

bool KyRConditionHolds(const Variant& value) {
  try {
    return KyRToBoolean(value);
  } catch (const EDatabaseError&) {
    return false;
  }
}

TKyRExprContext::TKyRExprContext(const TKyRDataManager* manager, TKyRVariableLookup variables)
    : Variables(std::move(variables)) {
  if (!manager) return;
  const TKyRDatasets& list = manager->Datasets();
  for (int i = 0; i < list.Count(); ++i)
    Sources.push_back({list.Items(i)->Dataset(), list.Items(i)->Caption()});
}

}  // namespace hy
