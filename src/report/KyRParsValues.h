// The type rules of the report's expression language (internal to
// KyRPars; the rules themselves are described in KyRPars.h).
#pragma once

#include "common/Variant.h"

namespace hy {

enum TKyRValueClass : uint8_t { vcNull, vcNumber, vcString, vcDate, vcBoolean, vcOther };

// Null and an unassigned value are both vcNull.
TKyRValueClass KyRValueClass(const Variant& v);
[[noreturn]] void KyRTypeMismatch();

// Comparison of two values by the rules of =, <>, <, > ...; raises the type
// mismatch for values that do not compare.
TVariantRelationship KyRCompare(const Variant& a, const Variant& b);
bool KyREquals(const Variant& a, const Variant& b);
Variant KyRArithmetic(char op, const Variant& a, const Variant& b);  // op: + - * /
bool KyRToBoolean(const Variant& v);
// SQL LIKE with % and _ over characters (not bytes), case-sensitive.
bool KyRLikeMatch(std::string_view text, std::string_view pattern);

}  // namespace hy
