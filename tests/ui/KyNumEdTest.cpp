#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "common/FormatSettings.h"
#include "common/ScopeGuard.h"
#include "ui/KyNumEd.h"

namespace hy {
namespace {

struct NumberEditFixture : ::testing::Test {
  NumberEditFixture() {
    edit.SetOnBeep([this] { ++beeps; });
    edit.SetOnRangeError([this](const std::string& m) { messages.push_back(m); });
  }
  void Type(const char* keys) {
    for (const char* k = keys; *k; ++k) QTest::keyClick(&edit, *k);
  }
  TKyNumberEdit edit;
  int beeps = 0;
  std::vector<std::string> messages;
};

TEST_F(NumberEditFixture, StartsAtZeroRightAligned) {
  EXPECT_EQ(edit.text(), "0");
  EXPECT_EQ(edit.Value(), 0);
  EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
  EXPECT_EQ(edit.MinValue(), -999999999);
  EXPECT_EQ(edit.MaxValue(), 999999999);
  edit.setText("");
  EXPECT_EQ(edit.Value(), 0);  // an empty text reads as 0
  edit.SetValue(2.5);
  EXPECT_EQ(edit.text(), "2.5");
}

TEST_F(NumberEditFixture, ASecondDecimalSeparatorIsRefusedWithABeep) {
  TValueScope<char> keep(FormatSettings().DecimalSeparator, ',');
  edit.setText("");
  Type("1,5,");
  EXPECT_EQ(edit.text(), "1,5");
  EXPECT_EQ(beeps, 1);
  Type(".");  // "." stands for the separator too, and there is one already
  EXPECT_EQ(beeps, 2);
  edit.setText("");
  Type("2.75e3");
  EXPECT_EQ(edit.text(), "2,75e3");
  EXPECT_DOUBLE_EQ(edit.Value(), 2750);
  Type("x ");
  EXPECT_EQ(beeps, 4);
  EXPECT_EQ(edit.text(), "2,75e3");
}

TEST_F(NumberEditFixture, IntegerOnlyTakesSignsAndDigitsOnly) {
  edit.SetIntegerOnly(true);
  edit.setText("");
  Type("-12a.3e");
  EXPECT_EQ(edit.text(), "-123");
  EXPECT_EQ(beeps, 3);
  EXPECT_EQ(edit.Value(), -123);
  edit.setText("+");
  EXPECT_THROW(edit.Value(), EConvertError);
}

TEST_F(NumberEditFixture, LeavingOutOfRangeNamesValueAndBoundsAndTheBoundsThemselvesPass) {
  edit.SetIntegerOnly(true);
  edit.SetMinValue(1);
  edit.SetMaxValue(999999999);
  edit.setText("");
  EXPECT_FALSE(edit.ValidateOnLeave());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Value 0.00 out of range 1.00..999,999,999.00");
  edit.setText("1000000000");
  EXPECT_THROW(edit.CheckRange(), EKyNumberRange);
  edit.setText("1");
  EXPECT_NO_THROW(edit.CheckRange());
  edit.setText("999999999");
  EXPECT_NO_THROW(edit.CheckRange());
}

TEST(NumberEdit, EnterMovesOnAndLeavingWithABadValueComesBack) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new TKyNumberEdit;
  auto* next = new QLineEdit;
  layout->addWidget(edit);
  layout->addWidget(next);
  std::vector<std::string> messages;
  edit->SetOnRangeError([&](const std::string& m) { messages.push_back(m); });
  edit->SetMinValue(1);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(next->hasFocus());
  EXPECT_TRUE(messages.empty() == false);  // the edit held 0, below 1
  QTest::qWait(10);
  EXPECT_TRUE(edit->hasFocus());  // and took the focus back
  edit->setText("5");
  next->setFocus();
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
}  // namespace hy
