#include "ui/KyNumEd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include "common/Format.h"
#include "common/FormatSettings.h"
#include "common/StrUtils.h"

namespace hy {

TKyNumberEdit::TKyNumberEdit(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetValue(0);
}

double TKyNumberEdit::Value() const {
  const std::string t = Trim(text().toStdString());
  if (t.empty()) return 0;
  if (integerOnly_) {
    int64_t v = 0;
    if (!TryStrToInt64(t, v))
      throw EConvertError(Format("'%s' is not a valid integer value", t.c_str()));
    return double(v);
  }
  return StrToFloat(t);
}

void TKyNumberEdit::SetValue(double value) {
  if (!text().isEmpty()) {
    try {
      if (Value() == value) return;
    } catch (const Exception&) {
    }
  }
  setText(QString::fromStdString(FloatToStr(value)));
}

void TKyNumberEdit::CheckRange() const {
  const double v = Value();
  if (v < minValue_ || v > maxValue_) {
    auto n = [](double x) { return FloatToStrF(x, ffNumber, 15, 2); };
    throw EKyNumberRange(Format("Value %s out of range %s..%s", n(v).c_str(), n(minValue_).c_str(),
                                n(maxValue_).c_str()));
  }
}

void TKyNumberEdit::Refuse() {
  if (onBeep_) onBeep_();
  else QApplication::beep();
}

void TKyNumberEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    focusNextChild();
    return;
  }
  // Editing keys, shortcuts and keys without a character go to the edit.
  if (typed.size() != 1 || typed[0].unicode() < 0x20 ||
      (event->modifiers() & Qt::ControlModifier)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  QChar c = typed[0];
  const QChar sep = QChar(FormatSettings().DecimalSeparator);
  bool pass = c.isDigit() && c.unicode() < 0x80;
  pass = pass || c == '+' || c == '-';
  if (!integerOnly_) {
    if (c == ',' || c == '.') {
      c = sep;
      // Typing over a selection that holds the separator may bring a new one.
      QString rest = text();
      if (hasSelectedText()) rest.remove(selectionStart(), selectedText().size());
      if (rest.contains(sep)) {
        event->accept();
        Refuse();
        return;
      }
      insert(QString(c));
      event->accept();
      return;
    }
    pass = pass || c == 'E' || c == 'e';
  }
  if (!pass) {
    event->accept();
    Refuse();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TKyNumberEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (autoSelect_) QTimer::singleShot(0, this, [this] { selectAll(); });
}

void TKyNumberEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Losing the focus to another window (a message box) is not leaving.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    return;
  ValidateOnLeave();
}

bool TKyNumberEdit::ValidateOnLeave() {
  try {
    CheckRange();
    return true;
  } catch (const Exception& e) {
    QTimer::singleShot(0, this, [this] { setFocus(); });
    if (onRangeError_) onRangeError_(e.what());
    else
      QMessageBox::warning(window(), QApplication::applicationName(),
                           QString::fromStdString(e.what()));
    return false;
  }
}

}  // namespace hy
