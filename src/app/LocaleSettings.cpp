#include "app/LocaleSettings.h"

#include <QLocale>

#include "common/FormatSettings.h"

namespace hy {

namespace {

// The system's date and time patterns use Qt's letters; ours differ in
// "M" (month: "m", with "n" for minutes after an hour) and "AP" (am/pm).
std::string FromQtPattern(const QString& pattern) {
  std::string out;
  bool quoted = false;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c == '\'') {
      quoted = !quoted;
      out += '"';
      continue;
    }
    if (quoted) {
      out += QString(c).toStdString();
      continue;
    }
    if (c == 'A' || c == 'a') {
      if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) ++i;
      out += "ampm";
    } else if (c == 'M') {
      out += 'm';
    } else if (c == 'm') {
      out += 'n';
    } else if (c == 't') {
      // time zone: not part of our language
    } else {
      out += QString(c).toStdString();
    }
  }
  return out;
}

char FirstChar(const QString& s, char fallback) {
  const std::string text = s.toStdString();
  return text.size() == 1 ? text[0] : fallback;
}

}  // namespace

void LoadSystemFormatSettings() {
  const QLocale locale = QLocale::system();
  TFormatSettings fs;
  fs.DecimalSeparator = FirstChar(locale.decimalPoint(), '.');
  fs.ThousandSeparator = FirstChar(locale.groupSeparator(), ',');
  fs.ShortDateFormat = FromQtPattern(locale.dateFormat(QLocale::ShortFormat));
  fs.LongDateFormat = FromQtPattern(locale.dateFormat(QLocale::LongFormat));
  fs.ShortTimeFormat = FromQtPattern(locale.timeFormat(QLocale::ShortFormat));
  fs.LongTimeFormat = FromQtPattern(locale.timeFormat(QLocale::LongFormat));
  fs.TimeAMString = locale.amText().toStdString();
  fs.TimePMString = locale.pmText().toStdString();
  fs.CurrencyString = locale.currencySymbol().toStdString();
  for (int m = 0; m < 12; ++m) {
    fs.ShortMonthNames[m] = locale.monthName(m + 1, QLocale::ShortFormat).toStdString();
    fs.LongMonthNames[m] = locale.monthName(m + 1, QLocale::LongFormat).toStdString();
  }
  for (int d = 0; d < 7; ++d) {
    const int qtDay = d == 0 ? 7 : d;  // Qt counts Monday 1 .. Sunday 7
    fs.ShortDayNames[d] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
    fs.LongDayNames[d] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
  }
  FormatSettings() = fs;
}

}  // namespace hy
