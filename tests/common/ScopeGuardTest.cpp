// The scope guards restore state on every way out of a block, and never hide
// the failure that caused the unwinding.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/ScopeGuard.h"

namespace hy {
namespace {

struct Boom : std::runtime_error {
  using std::runtime_error::runtime_error;
};

TEST(ScopeExit, RunsOnEveryExitUnlessDismissed) {
  int runs = 0;
  {
    auto guard = ScopeExit([&] { ++runs; });
  }
  EXPECT_EQ(runs, 1);
  try {
    auto guard = ScopeExit([&] { ++runs; });
    throw Boom("work");
  } catch (const Boom&) {
  }
  EXPECT_EQ(runs, 2);
  {
    auto guard = ScopeExit([&] { ++runs; });
    guard.Dismiss();
  }
  EXPECT_EQ(runs, 2);
}

TEST(ScopeExit, TheWorksFailureWinsOverTheRestoringOne) {
  try {
    auto guard = ScopeExit([] { throw Boom("restore"); });
    throw Boom("work");
  } catch (const Boom& e) {
    EXPECT_STREQ(e.what(), "work");
  }
  // With no failure to hide, a failing restore is reported.
  try {
    auto guard = ScopeExit([] { throw Boom("restore"); });
  } catch (const Boom& e) {
    EXPECT_STREQ(e.what(), "restore");
  }
}

// A guard made while another exception unwinds, and left normally, is a
// normal exit: its failure reaches its own caller.
struct CleansUpWithAGuard {
  std::string* seen;
  ~CleansUpWithAGuard() {
    try {
      auto guard = ScopeExit([] { throw Boom("inner"); });
    } catch (const Boom& e) {
      *seen = e.what();
    }
  }
};

TEST(ScopeExit, GuardsInsideAnUnwindingDestructorCountTheirOwnExit) {
  std::string seen;
  try {
    CleansUpWithAGuard cleanup{&seen};
    throw Boom("outer");
  } catch (const Boom& e) {
    EXPECT_STREQ(e.what(), "outer");
  }
  EXPECT_EQ(seen, "inner");
}

struct Updatable {
  std::vector<std::string> calls;
  int depth = 0;
  void BeginUpdate() {
    ++depth;
    calls.push_back("begin");
  }
  void EndUpdate() {
    --depth;
    calls.push_back("end");
  }
  void EndUpdate(int event, const std::string& why) {
    --depth;
    calls.push_back("end " + std::to_string(event) + " " + why);
  }
};

TEST(UpdateScope, BracketsTheBlockAndPassesTheEndArguments) {
  Updatable target;
  {
    TUpdateScope outer(target);
    EXPECT_EQ(target.depth, 1);
    {
      TUpdateScope inner(target, 2, std::string("pivot"));
      EXPECT_EQ(target.depth, 2);
    }
  }
  EXPECT_EQ(target.depth, 0);
  EXPECT_EQ(target.calls, (std::vector<std::string>{"begin", "begin", "end 2 pivot", "end"}));
}

TEST(UpdateScope, EndsTheUpdateWhenTheWorkFails) {
  Updatable target;
  EXPECT_THROW(
      {
        TUpdateScope scope(target, 1, std::string("x"));
        throw Boom("work");
      },
      Boom);
  EXPECT_EQ(target.depth, 0);
}

TEST(ValueScope, SetsForTheBlockAndPutsTheOldValueBack) {
  bool busy = false;
  std::string mode = "idle";
  try {
    TValueScope<bool> flag(busy, true);
    TValueScope<std::string> text(mode, "loading");
    EXPECT_TRUE(busy);
    EXPECT_EQ(mode, "loading");
    throw Boom("work");
  } catch (const Boom&) {
  }
  EXPECT_FALSE(busy);
  EXPECT_EQ(mode, "idle");
  int level = 3;
  {
    TValueScope<int> outer(level, level + 1);
    TValueScope<int> inner(level, level + 1);
    EXPECT_EQ(level, 5);
  }
  EXPECT_EQ(level, 3);
}

}  // namespace
}  // namespace hy
