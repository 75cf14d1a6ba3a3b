#include "common/Exceptions.h"

namespace hy {

static std::string AssertionText(const std::string& unit, const std::string& detail) {
  std::string text = "Assertion failure";
  if (!detail.empty()) text += ": " + detail;
  return text + " (" + unit + ")";
}

EAssertionFailed::EAssertionFailed(const std::string& unit, const std::string& detail)
    : Exception(AssertionText(unit, detail)), unit_(unit) {}

}  // namespace hy
