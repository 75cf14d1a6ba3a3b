// Fixed-point currency: a 64-bit integer counting ten-thousandths.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace hy {

struct Currency {
  static constexpr int64_t kScale = 10000;
  int64_t raw = 0;  // value × 10000

  static constexpr Currency FromRaw(int64_t r) { return Currency{r}; }
  // Rounds half away from zero to four decimals; raises EConvertError when
  // the value is out of the currency range or not finite.
  static Currency FromDouble(double value);
  static constexpr Currency FromInt(int64_t value) { return Currency{value * kScale}; }
  double ToDouble() const { return static_cast<double>(raw) / kScale; }

  friend constexpr auto operator<=>(Currency, Currency) = default;
  friend constexpr bool operator==(Currency, Currency) = default;
};

}  // namespace hy
