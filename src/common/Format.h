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
// "m" right after "h" or "hh" means minutes. Case-insensitive.
std::string FormatDateTime(std::string_view format, TDateTime value,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());
// Date and long time; the time is left out when it is midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs = FormatSettings());

// Float format specifiers: 0 # . , E+ E- e+ e- "literal" 'literal' and up to
// three sections separated by ";" (positive;negative;zero).
std::string FormatFloat(std::string_view format, double value,
                        const TFormatSettings& fs = FormatSettings());
std::string FormatCurr(std::string_view format, Currency value,
                       const TFormatSettings& fs = FormatSettings());

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// precision: significant digits (max 18); digits: meaning depends on format.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings());
std::string FloatToStr(double value, const TFormatSettings& fs = FormatSettings());
std::string CurrToStr(Currency value, const TFormatSettings& fs = FormatSettings());
std::string CurrToStrF(Currency value, TFloatFormat format, int digits,
                       const TFormatSettings& fs = FormatSettings());

// Parsers raise EConvertError "'text' is not a valid floating point value" and
// the like; the Try forms return false instead.
bool TryStrToFloat(std::string_view text, double& out, const TFormatSettings& fs = FormatSettings());
double StrToFloat(std::string_view text, const TFormatSettings& fs = FormatSettings());
bool TryStrToInt64(std::string_view text, int64_t& out);
int32_t StrToInt(std::string_view text);
// ISO 8601 text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with "T"),
// or "HH:MM[:SS[.fff]]" alone.
bool TryISOStrToDateTime(std::string_view text, TDateTime& out);
// Text in the settings' short date format, optionally followed by a time.
bool TryStrToDate(std::string_view text, TDateTime& out, const TFormatSettings& fs = FormatSettings());

}  // namespace hy
