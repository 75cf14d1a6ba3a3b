// A test suite that runs `hycube` on the demo database, written once per
// suite by `hycube demo-db` into a temporary folder of its own, beside a
// database file the suite may fill itself.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy::test {

class DemoCliSuite : public ::testing::Test {
protected:
  // Suites that add tables to `fileName` call this first in their own
  // SetUpTestSuite.
  static void SetUpDemo(const std::string& fileName = "unused.db") {
    folder_ = new TestDatabase(fileName);
    const CliResult demo = Hycube("demo-db " + folder_->Folder() + "/demo");
    ASSERT_EQ(demo.status, 0) << demo.err;
  }
  static void SetUpTestSuite() { SetUpDemo(); }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  static std::string DemoFile() { return folder_->Folder() + "/demo/orders.db"; }
  // The demo table as source flags of a command.
  static std::string Demo() { return "--db " + DemoFile() + " --table orders "; }
  static std::string Dir(const std::string& name) { return folder_->Folder() + "/" + name; }

  static inline TestDatabase* folder_ = nullptr;
};

}  // namespace hy::test
