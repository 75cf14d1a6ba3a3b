// TKyNumberEdit: a right-aligned edit for numbers. It refuses (with a beep)
// every typed character that cannot belong to a number, takes "," and "."
// as the locale's decimal separator, lets Enter move to the next control,
// and on leaving checks the value against MinValue..MaxValue.
#pragma once

#include <QLineEdit>

#include <functional>
#include <string>

#include "common/Exceptions.h"

namespace hy {

// "Value %n out of range %n..%n".
HY_DECLARE_EXCEPTION(EKyNumberRange, Exception);

class TKyNumberEdit : public QLineEdit {
public:
  explicit TKyNumberEdit(QWidget* parent = nullptr);

  bool IntegerOnly() const { return integerOnly_; }
  void SetIntegerOnly(bool value) { integerOnly_ = value; }
  // 0 for an empty text; EConvertError for text that is not a number.
  double Value() const;
  // Writes the value in the general number format, unless it is the value
  // already shown.
  void SetValue(double value);
  double MinValue() const { return minValue_; }
  void SetMinValue(double value) { minValue_ = value; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double value) { maxValue_ = value; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }

  // EKyNumberRange when Value lies outside MinValue..MaxValue (the bounds
  // are allowed); EConvertError when the text is not a number.
  void CheckRange() const;
  // CheckRange as leaving the edit does it: a bad value is reported through
  // the range-error handler and the focus comes back. False then.
  bool ValidateOnLeave();

  // What a refused key does (the system's beep by default).
  void SetOnBeep(std::function<void()> handler) { onBeep_ = std::move(handler); }
  // What leaving with a bad value does (a message box by default); the
  // focus then comes back to the edit.
  void SetOnRangeError(std::function<void(const std::string&)> handler) {
    onRangeError_ = std::move(handler);
  }

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  void Refuse();

  bool integerOnly_ = false;
  double minValue_ = -999999999;
  double maxValue_ = 999999999;
  bool autoSelect_ = true;
  std::function<void()> onBeep_;
  std::function<void(const std::string&)> onRangeError_;
};

}  // namespace hy
