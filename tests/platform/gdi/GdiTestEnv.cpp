// Fonts and painting need a graphical application object before any test.
#include <gtest/gtest.h>

#include "SamplePage.h"

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
  void SetUp() override { hy::test::EnsureApp(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
