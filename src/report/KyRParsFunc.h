// The function library of the report's expression language (internal to
// KyRPars): names, argument counts and evaluation.
#pragma once

#include <functional>
#include <string_view>

#include "common/Variant.h"

namespace hy {

struct TKyRExprNode;

struct TKyRFunctionInfo {
  const char* Name;
  int MinArgs;
  int MaxArgs;     // -1: no limit
  bool Aggregate;  // SUM, AVG, COUNT, MIN, MAX
};

// The function's number, or -1 for a name that is none (case-insensitive).
int FindKyRFunction(std::string_view name);
const TKyRFunctionInfo& KyRFunctionInfo(int number);

using TKyRNodeEvaluator = Variant (*)(const TKyRExprNode& node);
// The value of a function node; arguments are evaluated through `eval` as
// needed (IIF evaluates only its chosen branch).
Variant CallKyRFunction(const TKyRExprNode& call, TKyRNodeEvaluator eval);

}  // namespace hy
