// The exception family shared by every unit. Each unit declares its own
// classes (EHyMapError, EArrayError, ...) derived from Exception; this file
// holds the runtime's general ones and the assertion helper.
#pragma once

#include <exception>
#include <string>

namespace hy {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

#define HY_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
  public:                                \
    using Base::Base;                    \
  }

// Text that does not convert to a number, date or other value.
HY_DECLARE_EXCEPTION(EConvertError, Exception);
// A Variant asked for a type it cannot become ("Could not convert variant ...").
HY_DECLARE_EXCEPTION(EVariantError, Exception);
HY_DECLARE_EXCEPTION(EMathError, Exception);
HY_DECLARE_EXCEPTION(EZeroDivide, EMathError);  // floating-point division by zero
HY_DECLARE_EXCEPTION(EDivByZero, EMathError);   // integer division by zero
HY_DECLARE_EXCEPTION(EIntOverflow, EMathError);
HY_DECLARE_EXCEPTION(EOverflow, EMathError);       // floating-point result beyond the double range
HY_DECLARE_EXCEPTION(EListError, Exception);       // index out of bounds in a list
HY_DECLARE_EXCEPTION(EComponentError, Exception);  // duplicate or invalid component names

// An internal consistency check failed. The message always starts with
// "Assertion failure" and ends with the unit's name in brackets.
class EAssertionFailed : public Exception {
public:
  EAssertionFailed(const std::string& unit, const std::string& detail);
  const std::string& Unit() const noexcept { return unit_; }

private:
  std::string unit_;
};

// The one way units check their invariants: HyAssert(ok, "HyMap", "DataSet not assigned").
inline void HyAssert(bool condition, const char* unit, const char* detail = "") {
  if (!condition) throw EAssertionFailed(unit, detail);
}

}  // namespace hy
