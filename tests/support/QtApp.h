// The application object made by the widget tests' main (QtTestMain.cpp).
#pragma once

#include <QApplication>

namespace hy::test {

inline QApplication& App() { return *static_cast<QApplication*>(QCoreApplication::instance()); }

}  // namespace hy::test
