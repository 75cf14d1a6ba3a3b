#include "common/Currency.h"

#include <cmath>

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"

namespace hy {

namespace {

[[noreturn]] void InvalidCurrency(double value) {
  throw EConvertError(Format("'%s' is not a valid currency value", FloatToStr(value).c_str()));
}

}  // namespace

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value)) InvalidCurrency(value);
  const double scaled = value * kScale;
  const double magnitude = std::fabs(scaled);
  // Below 1e13 the product differs from the value's 15-digit decimal form by
  // far less than 0.02, so it rounds the same unless it lies near a half.
  if (magnitude < 1e13) {
    double frac = magnitude - std::floor(magnitude);
    if (std::fabs(frac - 0.5) > 0.02) return FromRaw(std::llround(scaled));
  }
  TFloatRec rec = FloatToDecimal(value, 15);
  RoundDecimals(rec, 4);
  const int places = rec.Exponent + 4;  // digits before the currency's last place
  if (places > 19) InvalidCurrency(value);
  unsigned __int128 mag = 0;
  for (int i = 0; i < places; ++i)
    mag = mag * 10 + static_cast<unsigned>(i < rec.Count ? rec.Digits[i] - '0' : 0);
  const unsigned __int128 limit =
      static_cast<unsigned __int128>(INT64_MAX) + (rec.Negative ? 1 : 0);
  if (mag > limit) InvalidCurrency(value);
  int64_t raw = rec.Negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(mag))
                             : static_cast<int64_t>(mag);
  return FromRaw(raw);
}

}  // namespace hy
