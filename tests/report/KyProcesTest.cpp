#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "report/KyProcesTerm.h"
#include "support/ScriptedProcess.h"

namespace hy {
namespace {

TEST(KyProcess, UpdateAndHideWithoutAnOpenStatusAnswerFalse) {
  test::TScriptedProcess p;
  EXPECT_FALSE(p.UpdateProcess("x", 3));
  EXPECT_FALSE(p.HideProcess());
  p.Cancel();  // nothing open: no flag
  EXPECT_FALSE(p.ProcessCancelled());
  EXPECT_TRUE(p.Log.empty());
}

TEST(KyProcess, ASecondShowReplacesTheFirstAndClearsCancel) {
  test::TScriptedProcess p;
  EXPECT_TRUE(p.ShowProcess(0, "Report", "Preparing...", 100, 0, 0, "&Cancel"));
  EXPECT_FALSE(p.View().BarVisible());
  p.Cancel();
  EXPECT_TRUE(p.ProcessCancelled());
  EXPECT_TRUE(p.ShowProcess(0, "Report", "Again", 0, 10, 0, "&Cancel"));
  EXPECT_FALSE(p.ProcessCancelled());
  EXPECT_TRUE(p.View().BarVisible());
  EXPECT_TRUE(p.UpdateProcess("Page 2", 2));
  EXPECT_EQ(p.View().Text, "Page 2");
  EXPECT_TRUE(p.HideProcess());
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.Log, (std::vector<std::string>{"show Preparing...", "hide", "show Again",
                                             "update Page 2 @2", "hide"}));
}

TEST(KyProcess, RunInProcessRunsInsideTheOpenStatusAndPassesFailuresOn) {
  test::TScriptedProcess p;
  int ran = 0;
  p.RunInProcess([&] { ++ran; });  // nothing open: runs directly
  EXPECT_EQ(p.Runs, 0);
  p.ShowProcess(0, "c", "t", 0, 0, 0, "x");
  p.RunInProcess([&] { ++ran; });
  EXPECT_EQ(p.Runs, 1);
  EXPECT_EQ(ran, 2);
  EXPECT_THROW(p.RunInProcess([] { throw std::runtime_error("broken"); }), std::runtime_error);
  EXPECT_TRUE(p.IsOpen());
}

std::string TerminalOutput(TKyTerminalProcess::TMode mode) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  {
    TKyTerminalProcess p(out, mode);
    p.ShowProcess(0, "Sales", "Preparing...", 0, 4, 0, "&Cancel");
    p.UpdateProcess("Page 1", 1);
    p.UpdateProcess("Page 1", 1);  // unchanged: not written again
    p.UpdateProcess("Page 2", 3);
    p.HideProcess();
  }
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(KyTerminalProcess, WritesCaptionAndStatusWithPercentage) {
  EXPECT_EQ(TerminalOutput(TKyTerminalProcess::TMode::Plain),
            "Sales\nPreparing... 0%\nPage 1 25%\nPage 2 75%\n");
  EXPECT_EQ(TerminalOutput(TKyTerminalProcess::TMode::Line),
            "Sales\n\rPreparing... 0%\033[K\rPage 1 25%\033[K\rPage 2 75%\033[K\n");
}

}  // namespace
}  // namespace hy
