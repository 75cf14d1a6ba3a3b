// Number and date-time formatting with the format-string language of the
// system ("0.00", "#,##0.00;(#,##0.00)", "mmm, yyyy", "\"Q.\"m, yyyy",
// "ddd dd.mm.yy"), and the matching parsers.
#pragma once

#include <string>
#include <string_view>

#include "common/Currency.h"
#include "common/DateUtils.h"
#include "common/FormatSettings.h"

namespace hy {

// Date-time format specifiers: c d dd ddd dddd ddddd dddddd m mm mmm mmmm
// yy yyyy h hh n nn s ss z zzz t tt am/pm a/p ampm / : and quoted literals;
// "m" right after "h" or "hh" means minutes. Case-insensitive. An empty
// format means "c". Raises EConvertError for a value that is not a date.
std::string FormatDateTime(std::string_view format, TDateTime value,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());
// Date and long time; the time is left out when hours, minutes and seconds are 0.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());

// Float format specifiers: 0 # . , E+ E- e+ e- "literal" 'literal' and up to
// three sections separated by ";" (positive;negative;zero). Doubles are
// taken to 15 significant digits, then rounded half away from zero to the
// section's decimals; the decimal point shows only when a fraction digit
// follows it. A value that rounds to zero uses the zero section (or
// the first) and never shows "-". Values with more than 18 integer digits
// (unless the section is scientific), NaN and infinities fall back to
// FloatToStr; an empty format gives FloatToStr too.
std::string FormatFloat(std::string_view format, double value,
                        const TFormatSettings& fs = FormatSettings());
std::string FormatCurr(std::string_view format, Currency value,
                       const TFormatSettings& fs = FormatSettings());

// A number as decimal digits: value = 0.Digits × 10^Exponent, with Count
// significant digits and no trailing zeros (Count 0 is zero). Doubles are
// first taken to a fixed number of significant digits from their exact
// binary value (half away from zero); later rounding works on these decimal
// digits, so 1.005 shown with two decimals is "1.01" and 0.125 is "0.13".
struct TFloatRec {
  static constexpr int kMaxDigits = 40;
  int Exponent = 0;
  bool Negative = false;
  int Count = 0;
  char Digits[kMaxDigits] = {};
  bool IsZero() const { return Count == 0; }
};
// precision: significant digits kept (1 .. 40).
TFloatRec FloatToDecimal(double value, int precision);
TFloatRec CurrToDecimal(Currency value);  // exact
// Round half away from zero to `decimals` places after the point / to
// `digits` significant digits. A value that rounds to zero keeps its sign flag.
void RoundDecimals(TFloatRec& rec, int decimals);
void RoundSignificant(TFloatRec& rec, int digits);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// precision: significant digits (max 18; 0 or less means 15); digits: the
// minimum exponent digits for ffGeneral and ffExponent (0..4), the decimals
// for the others (0..18). ffFixed, ffNumber and ffCurrency fall back to the
// general form when the integer part has more than `precision` digits.
// NaN and infinities give "NAN", "INF" and "-INF".
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings());
std::string FloatToStr(double value, const TFormatSettings& fs = FormatSettings());
std::string CurrToStr(Currency value, const TFormatSettings& fs = FormatSettings());
std::string CurrToStrF(Currency value, TFloatFormat format, int digits,
                       const TFormatSettings& fs = FormatSettings());

// Parsers raise EConvertError "'text' is not a valid floating point value" and
// the like; the Try forms return false instead.
bool TryStrToFloat(std::string_view text, double& out,
                   const TFormatSettings& fs = FormatSettings());
double StrToFloat(std::string_view text, const TFormatSettings& fs = FormatSettings());
bool TryStrToInt64(std::string_view text, int64_t& out);
int32_t StrToInt(std::string_view text);
// ISO 8601 text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with "T"),
// or "HH:MM[:SS[.fff]]" alone. Fraction digits beyond milliseconds are dropped.
bool TryISOStrToDateTime(std::string_view text, TDateTime& out);
// Text in the settings' short date format (numbers in its order of day,
// month and year, separated by DateSeparator; the year may be left out or
// given with two digits, which then lie within 50 years of this year),
// optionally followed by a time "h:mm[:ss[.zzz]]" with an optional AM/PM mark.
bool TryStrToDate(std::string_view text, TDateTime& out,
                  const TFormatSettings& fs = FormatSettings());

}  // namespace hy
