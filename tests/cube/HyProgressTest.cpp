#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cube/HyProgressTerm.h"
#include "cube/ScriptedProgress.h"

namespace hy {
namespace {

using Kind = ScriptedProgress::Kind;

HY_DECLARE_EXCEPTION(EHyTestError, Exception);

TEST(ProgressStepper, IntervalRules) {
  const struct {
    int32_t max, interval;
  } cases[] = {{-5, 1},       {0, 1},
               {1, 1},        {100, 1},
               {101, 10},     {104, 10},
               {105, 11},     {2000, 200},
               {10000, 1000}, {10001, 500},
               {10009, 500},  {10010, 501},
               {50000, 2500}, {2000000000, 100000000}};
  for (const auto& c : cases) {
    EXPECT_EQ(TProgressStepper::IntervalFor(c.max), c.interval) << "max " << c.max;
  }
}

TEST(ProgressStepper, AdvancesEveryIntervalAndStopsAtTheEnd) {
  TProgressStepper stepper;
  stepper.SetMax(2000);
  EXPECT_EQ(stepper.Position(), 1);
  EXPECT_EQ(stepper.StepCounter(), 1);
  std::vector<int> advancedAt;
  for (int call = 1; call <= 2000; ++call) {
    if (stepper.StepCheck()) advancedAt.push_back(call);
  }
  ASSERT_EQ(advancedAt.size(), 10u);
  for (size_t i = 0; i < advancedAt.size(); ++i) EXPECT_EQ(advancedAt[i], 200 * (int(i) + 1));
  EXPECT_EQ(stepper.Position(), 2000);  // 1 + 10 * 200 does not run past the end

  stepper.SetMax(3);
  int advances = 0;
  for (int call = 0; call < 10; ++call) advances += stepper.StepCheck();
  EXPECT_EQ(advances, 10);
  EXPECT_EQ(stepper.Position(), 3);
}

TEST(ProgressStepper, EmptyStageNeverAdvancesAndEveryStageRestarts) {
  TProgressStepper stepper;
  for (int call = 0; call < 5; ++call) EXPECT_FALSE(stepper.StepCheck());  // before any stage
  stepper.SetMax(0);
  for (int call = 0; call < 5; ++call) EXPECT_FALSE(stepper.StepCheck());
  EXPECT_EQ(stepper.Position(), 0);

  // A second stage of the same size starts from the beginning again.
  stepper.SetMax(500);
  for (int call = 0; call < 120; ++call) stepper.StepCheck();
  EXPECT_EQ(stepper.Position(), 1 + 2 * 50);
  stepper.SetMax(500);
  EXPECT_EQ(stepper.Position(), 1);
  EXPECT_EQ(stepper.StepCounter(), 1);
  EXPECT_EQ(stepper.StepInterval(), 50);
}

// The record scan as the bin table does it: the counter every 4096 rows.
void ScanRows(TCubeProgress& progress, int64_t rows) {
  progress.ProgressStatus("Scanning data set values...");
  for (int64_t row = 1; row <= rows; ++row) {
    if (row % 4096 == 0) progress.ProgressCount(row);
  }
}

TEST(CubeProgress, EachRunHandsTheWorkItsOwnProgressAlsoWhenNested) {
  ScriptedProgress outer, inner;
  outer.RunWithProgress([&](TCubeProgress& reportTo) {
    EXPECT_EQ(&reportTo, &outer);
    EXPECT_THROW(inner.RunWithProgress([&](TCubeProgress& nested) {
      EXPECT_EQ(&nested, &inner);
      nested.ProgressStep();
      throw EConvertError("bad");
    }),
                 EConvertError);
    reportTo.ProgressStep();
  });
  EXPECT_EQ(inner.CountOf(Kind::Step), 1);
  EXPECT_EQ(outer.CountOf(Kind::Step), 1);
  EXPECT_EQ(outer.Runs(), 1);
}

TEST(CubeProgress, ScriptedCancelStopsTheScanAtTheNextReport) {
  ScriptedProgress progress;
  progress.CancelAtCount(10000);
  try {
    progress.RunWithProgress([](TCubeProgress& p) { ScanRows(p, 100000); });
    FAIL() << "the scan was not cancelled";
  } catch (const EUserCanceled& e) {
    EXPECT_STREQ(e.what(), "User canceled DecisionCube population.");
  }
  ASSERT_EQ(progress.Calls().size(), 4u);
  EXPECT_EQ(progress.Calls()[0].kind, Kind::Status);
  EXPECT_EQ(progress.Calls()[0].text, "Scanning data set values...");
  EXPECT_EQ(progress.Calls()[1].n, 4096);
  EXPECT_EQ(progress.Calls()[3].n, 12288);
}

TEST(CubeProgress, ScriptedCancelAtACallNumberAndAfterwards) {
  ScriptedProgress progress;
  progress.CancelAtCall(3);
  EXPECT_THROW(progress.RunWithProgress([](TCubeProgress& p) {
    p.ProgressStage("Compress Dimensions...", 5);
    for (int i = 0; i < 5; ++i) p.ProgressStep();
  }),
               EUserCanceled);
  EXPECT_EQ(progress.Calls().size(), 3u);
  // Once cancelled, every later count or step raises again.
  EXPECT_THROW(progress.ProgressStep(), EUserCanceled);
  EXPECT_THROW(progress.ProgressCount(1), EUserCanceled);
  EXPECT_NO_THROW(progress.ProgressStage("Sort Dimensions with lookups...", 2));
}

TEST(CubeProgress, RunWithProgressPassesOnTheWorksException) {
  TSilentProgress silent;
  EXPECT_THROW(silent.RunWithProgress([](TCubeProgress&) { throw EHyTestError("broken"); }),
               EHyTestError);
  bool ran = false;
  silent.RunWithProgress([&](TCubeProgress& p) {
    ran = true;
    EXPECT_EQ(&p, &silent);
    ScanRows(p, 50000);  // a silent progress never cancels
  });
  EXPECT_TRUE(ran);
}

TEST(CubeProgress, BuildProgressComesFromTheInstalledFactory) {
  EXPECT_NE(dynamic_cast<TSilentProgress*>(NewBuildProgress(true).get()), nullptr);

  std::vector<bool> asked;
  SetProgressFactory([&](bool showDialog) -> std::unique_ptr<TCubeProgress> {
    asked.push_back(showDialog);
    if (!showDialog) return nullptr;
    return std::make_unique<ScriptedProgress>();
  });
  EXPECT_NE(dynamic_cast<ScriptedProgress*>(NewBuildProgress(true).get()), nullptr);
  EXPECT_NE(dynamic_cast<TSilentProgress*>(NewBuildProgress(false).get()), nullptr);
  SetProgressFactory(nullptr);
  EXPECT_EQ(asked, (std::vector<bool>{true, false}));
}

// Runs a small build on a terminal progress writing into memory.
std::string TerminalOutput(TTerminalProgress::TMode mode, bool fail) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  {
    TTerminalProgress progress(out, mode);
    try {
      progress.RunWithProgress([&](TCubeProgress& p) {
        ScanRows(p, 8192);
        p.ProgressStage("Compress Dimensions...", 4);
        for (int i = 0; i < 4; ++i) p.ProgressStep();
        if (fail) throw EConvertError("broken");
      });
    } catch (const EConvertError&) {
      std::fputs("<raised>", out);
    }
  }
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(TerminalProgress, PlainLinesCarryTextsAndCounts) {
  EXPECT_EQ(TerminalOutput(TTerminalProgress::TMode::Plain, false),
            "Scanning data set values... 0\n"
            "Scanning data set values... 4096\n"
            "Scanning data set values... 8192\n"
            "Compress Dimensions...\n");
}

TEST(TerminalProgress, OneLineRewrittenInPlaceAndEndedAlsoOnFailure) {
  const std::string text = TerminalOutput(TTerminalProgress::TMode::Line, true);
  EXPECT_EQ(text.find('\n'), text.size() - std::string("\n<raised>").size());
  EXPECT_NE(text.find("\rScanning data set values... 8192\x1b[K"), std::string::npos);
  EXPECT_NE(text.find("\rCompress Dimensions... 100%\x1b[K\n<raised>"), std::string::npos);
}

}  // namespace
}  // namespace hy
