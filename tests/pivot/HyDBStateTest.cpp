// The decision source without a cube: the stored pivot state text, the
// axis lists, the pivot requests with their update bracketing and events,
// the design-time header shape and the data links.
#include <gtest/gtest.h>

#include "pivot/HyDB.h"
#include "pivot/HyDBTestUtil.h"

namespace hy {
namespace {

using test::Describe;
using test::kDemoState;
using test::LoadState;
using test::RecordingLink;

// ---------------------------------------------------------------------------
// Stored text

TEST(PivotStateText, DemoStateReadsAndWritesBackUnchanged) {
  THySource source;
  LoadState(source, 3, kDemoState);
  EXPECT_EQ(source.DimensionInfo(), kDemoState);
  EXPECT_EQ(source.DimensionCount(), 3);
  EXPECT_EQ(Describe(source.AxisList(TDimAxis::Cols)), "Customer+");
  EXPECT_EQ(Describe(source.AxisList(TDimAxis::Rows)), "SaleDate+ Payment+");
  const TDimInfo& payment = source.DimInfo(2);
  EXPECT_EQ(payment.Axis, TDimAxis::Rows);
  EXPECT_EQ(payment.ActiveIndex, 1);
  EXPECT_EQ(payment.Position, 1);
  EXPECT_EQ(payment.Value, -1);
  EXPECT_EQ(payment.DimIndex, 2);
  EXPECT_EQ(source.AxisList(TDimAxis::Rows).ActiveCount(), 2);
}

TEST(PivotStateText, ToleratesLayoutAndQuotesNames) {
  TDimInfoArray infos = ReadPivotStateText(
      "  (\n 1 0 1 0 -1 'O''Brien'\r\n\t2 0 4 0 7 'a b'  0 -1 0 0 -1 '' ) \n", 3);
  ASSERT_EQ(infos.Count(), 3);
  EXPECT_EQ(infos[0].Name, "O'Brien");
  EXPECT_EQ(infos[1].State, TDimState::Fixed);
  EXPECT_EQ(infos[1].Value, 7);
  EXPECT_EQ(infos[2].Axis, TDimAxis::NoAxis);
  EXPECT_EQ(infos[2].State, TDimState::Unplaced);
  EXPECT_EQ(WritePivotStateText(infos), "(1 0 1 0 -1 'O''Brien' 2 0 4 0 7 'a b' 0 -1 0 0 -1 '')");
  // What was written reads back to the same records.
  EXPECT_EQ(WritePivotStateText(ReadPivotStateText(WritePivotStateText(infos), 3)),
            WritePivotStateText(infos));
}

TEST(PivotStateText, EveryStateAndAxisCodeSurvivesARoundTrip) {
  const std::string text =
      "(1 0 1 0 -1 'a' 1 -1 2 1 -1 'b' 2 -1 3 0 4 'c' 2 -1 4 1 0 'd' 0 -1 0 0 -1 'e')";
  EXPECT_EQ(WritePivotStateText(ReadPivotStateText(text, 5)), text);
  EXPECT_EQ(WritePivotStateText(ReadPivotStateText("()", 0)), "()");
}

TEST(PivotStateText, NameIsOptional) {
  TDimInfoArray infos = ReadPivotStateText("(1 0 1 0 -1 2 0 1 0 -1 'x')", 2);
  EXPECT_EQ(infos[0].Name, "");
  EXPECT_EQ(infos[1].Name, "x");
}

TEST(PivotStateText, MalformedTextIsRejectedWithAClearMessage) {
  // A state read at run time may have any number of records; a stored
  // layout must match its DimensionCount.
  const struct {
    const char* text;
    const char* message;
    bool layoutOnly = false;
  } cases[] = {
      {"(2 0 1 0 -1 'Customer')", "3 records expected, 1 found", true},
      {"(2 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C' 1 1 1 2 -1 'D')",
       "3 records expected, 4 found", true},
      {"(5 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')",
       "axis code 5 of record 1 is not 0, 1 or 2"},
      {"(2 0 1 0 -1 'A' 1 0 9 0 -1 'B' 1 1 1 1 -1 'C')", "state code 9 of record 2 is not 0 to 4"},
      {"(2 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C)", "unterminated name in record 3"},
      {"2 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C'", "'(' expected at character 1"},
      {"(2 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C'", "')' missing"},
      {"(2 0 1 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C') x", "unexpected text after ')'"},
      {"(2 0 1 0 -2 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')", "value -2 of record 1 is out of range"},
      {"(2 0 1 0 40000 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')", "value 40000 of record 1"},
      {"(2 0 x 0 -1 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')", "number expected at character 6"},
      {"(2 0 1 0 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')", "number expected"},
      {"(2 0 1 0 99999999999 'A' 1 0 1 0 -1 'B' 1 1 1 1 -1 'C')", "number too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    THySource source;
    LoadState(source, 3, kDemoState);
    // While a layout is read ...
    source.BeginLoading();
    source.SetDimensionCount(3);
    try {
      source.SetDimensionInfo(c.text);
      ADD_FAILURE() << "no error";
    } catch (const EPivotStateError& e) {
      EXPECT_NE(e.Message().find("Invalid pivot state: "), std::string::npos);
      EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
    }
    source.Loaded();
    EXPECT_EQ(source.DimensionInfo(), kDemoState);
    // ... and at run time, nothing changes.
    if (!c.layoutOnly) {
      EXPECT_THROW(source.SetDimensionInfo(c.text), EPivotStateError);
    }
    EXPECT_EQ(source.DimensionInfo(), kDemoState);
    EXPECT_EQ(Describe(source.AxisList(TDimAxis::Rows)), "SaleDate+ Payment+");
  }
}

TEST(PivotStateText, InfosOutsideTheirRangeAreOutOfBounds) {
  THySource source;
  LoadState(source, 3, kDemoState);
  try {
    source.DimInfo(3);
    FAIL() << "no error";
  } catch (const EArrayError& e) {
    EXPECT_EQ(e.Message(), "Out of Bounds");
  }
  EXPECT_THROW(source.DimInfo(-1), EArrayError);
}

TEST(PivotStateText, ListsRebuildFromBrokenPositionsInOrder) {
  // Gaps and a duplicate position: the order holds, positions are renumbered.
  THySource source;
  LoadState(source, 4, "(1 9 2 7 -1 'a' 1 9 1 3 -1 'b' 1 9 1 3 -1 'c' 2 0 1 0 -1 'd')");
  EXPECT_EQ(Describe(source.AxisList(TDimAxis::Rows)), "b+ c+ a-");
  EXPECT_EQ(source.DimInfo(0).Position, 2);
  EXPECT_EQ(source.DimInfo(0).ActiveIndex, -1);
  EXPECT_EQ(source.DimInfo(2).ActiveIndex, 1);
  EXPECT_EQ(source.DimensionInfo(),
            "(1 -1 2 2 -1 'a' 1 0 1 0 -1 'b' 1 1 1 1 -1 'c' 2 0 1 0 -1 'd')");
}

TEST(PivotStateText, SettingsReadWithoutAStateStillApply) {
  THySource source;
  source.BeginLoading();
  source.SetCurrentSummary(2);
  source.SetSparseRows(true);
  EXPECT_FALSE(source.SparseRows());  // not current before loading ends
  source.Loaded();
  EXPECT_TRUE(source.SparseRows());
  EXPECT_EQ(source.CurrentSummary(), 2);
}

// ---------------------------------------------------------------------------
// Requests and their bracketing (inactive source: nothing to compute, but
// every request still pivots and notifies exactly as on a live cube)

class SourceRequests : public ::testing::Test {
protected:
  void SetUp() override {
    // Rows: A open, B open, C open, D closed; columns: E open.
    LoadState(source, 5,
              "(1 0 1 0 -1 'A' 1 1 1 1 -1 'B' 1 2 1 2 -1 'C' 1 -1 2 3 -1 'D' 2 0 1 0 -1 'E')");
    test::RecordSourceEvents(source, log);
    link.SetSource(&source);
    log.clear();
  }
  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
  std::string Rows() const { return Describe(source.AxisList(TDimAxis::Rows)); }
  std::string Cols() const { return Describe(source.AxisList(TDimAxis::Cols)); }

  THySource source;
  std::vector<std::string> log;
  RecordingLink link{log, "link"};
};

TEST_F(SourceRequests, OneRequestPivotsOnceInEventOrder) {
  RecordingLink second(log, "second");
  second.SetSource(&source);
  log.clear();
  source.ToggleDimension(TDimAxis::Rows, 3, false);
  EXPECT_EQ(Rows(), "A+ B+ C+ D+");
  // Links from the last attached to the first, then the layout event.
  const std::vector<std::string> expected = {"BeforePivot", "second:PivotChanged",
                                             "link:PivotChanged", "OnLayoutChange", "AfterPivot"};
  EXPECT_EQ(log, expected);
}

TEST_F(SourceRequests, NestedUpdatesPivotOnceAtTheOutermostEnd) {
  for (int i = 0; i < 5; ++i) source.BeginUpdate();
  source.ToggleDimension(TDimAxis::Rows, 0, false);
  source.MoveDimension(TDimAxis::Cols, TDimAxis::Rows, false, 0, 0);
  for (int i = 0; i < 4; ++i) source.EndUpdate(TDecisionDataEvent::PivotChanged);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(source.UpdateCount(), 1);
  source.EndUpdate(TDecisionDataEvent::PivotChanged);
  EXPECT_EQ(Count("BeforePivot"), 1);
  EXPECT_EQ(Count("link:PivotChanged"), 1);
  EXPECT_EQ(Count("OnLayoutChange"), 1);
  EXPECT_EQ(Count("AfterPivot"), 1);
  EXPECT_EQ(source.UpdateCount(), 0);
  EXPECT_EQ(Rows(), "E+ A- B+ C+ D-");
}

TEST_F(SourceRequests, CloseAfterNotifiesOncePerChangeUnlessBracketed) {
  source.CloseAfter(TDimAxis::Rows, -1, true);
  EXPECT_EQ(Rows(), "A- B- C- D-");
  EXPECT_EQ(Count("link:PivotChanged"), 3);
  EXPECT_EQ(Count("AfterPivot"), 3);

  SetUp();
  source.BeginUpdate();
  source.CloseAfter(TDimAxis::Rows, 0, true);  // after A
  source.EndUpdate(TDecisionDataEvent::PivotChanged);
  EXPECT_EQ(Rows(), "A+ B- C- D-");
  EXPECT_EQ(Count("link:PivotChanged"), 1);
}

TEST_F(SourceRequests, OpenNextOpensTheFirstClosedItemAfterPos) {
  source.OpenNext(TDimAxis::Rows, -1, true);
  EXPECT_EQ(Rows(), "A+ B+ C+ D+");
  EXPECT_EQ(Count("link:PivotChanged"), 1);
  log.clear();
  // No closed item left: nothing happens, nothing is told.
  source.OpenNext(TDimAxis::Rows, -1, true);
  source.OpenNext(TDimAxis::Cols, -1, true);
  EXPECT_TRUE(log.empty());
  // Only items after the position count.
  source.ToggleDimension(TDimAxis::Rows, 0, false);
  log.clear();
  source.OpenNext(TDimAxis::Rows, 0, false);
  EXPECT_EQ(Rows(), "A- B+ C+ D+");
  EXPECT_TRUE(log.empty());
}

TEST_F(SourceRequests, FixedItemsIgnoreToggleAndTheNextRequestStillPivots) {
  LoadState(source, 3, "(1 0 4 0 2 'A' 1 -1 2 1 -1 'B' 2 0 1 0 -1 'C')");
  log.clear();
  source.ToggleDimension(TDimAxis::Rows, 0, false);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Rows(), "A#2 B-");
  EXPECT_EQ(source.UpdateCount(), 0);
  source.ToggleDimension(TDimAxis::Rows, 1, false);
  EXPECT_EQ(Rows(), "A#2 B+");
  EXPECT_EQ(Count("link:PivotChanged"), 1);
}

TEST_F(SourceRequests, ToggleOpensADrilledItemAndClearsItsValue) {
  LoadState(source, 2, "(1 -1 3 0 4 'A' 2 0 1 0 -1 'B')");
  source.ToggleDimension(TDimAxis::Rows, 0, false);
  EXPECT_EQ(Rows(), "A+");
  EXPECT_EQ(source.DimInfo(0).Value, -1);
  EXPECT_EQ(source.DimInfo(0).ActiveIndex, 0);
}

TEST_F(SourceRequests, ByActivePositionsCountOpenItemsOnly) {
  source.ToggleDimension(TDimAxis::Rows, 0, false);  // A closed: open items B, C
  source.ToggleDimension(TDimAxis::Rows, 1, true);   // the second open item: C
  EXPECT_EQ(Rows(), "A- B+ C- D-");
  EXPECT_THROW(source.ToggleDimension(TDimAxis::Rows, 1, true), EListError);
  EXPECT_THROW(source.ToggleDimension(TDimAxis::Rows, 4, false), EListError);
  EXPECT_THROW(source.ToggleDimension(TDimAxis::NoAxis, 0, false), EListError);
}

TEST_F(SourceRequests, MoveDimensionRenumbersBothLists) {
  source.MoveDimension(TDimAxis::Rows, TDimAxis::Cols, false, 0, 1);  // B before E
  EXPECT_EQ(Rows(), "A+ C+ D-");
  EXPECT_EQ(Cols(), "B+ E+");
  EXPECT_EQ(source.DimInfo(1).Axis, TDimAxis::Cols);
  EXPECT_EQ(source.DimInfo(4).Position, 1);
  EXPECT_EQ(source.DimInfo(4).ActiveIndex, 1);
  EXPECT_EQ(source.DimInfo(2).Position, 1);
  // -1 appends; within one list the position is taken after removal.
  source.MoveDimension(TDimAxis::Rows, TDimAxis::Rows, false, -1, 0);
  EXPECT_EQ(Rows(), "C+ D- A+");
  source.MoveDimension(TDimAxis::Rows, TDimAxis::Rows, false, 1, 2);
  EXPECT_EQ(Rows(), "C+ A+ D-");
  // By active: a target past the last open item appends.
  source.MoveDimension(TDimAxis::Cols, TDimAxis::Rows, true, 5, 0);
  EXPECT_EQ(Rows(), "C+ A+ D- B+");
  EXPECT_EQ(Cols(), "E+");
  EXPECT_EQ(Count("link:PivotChanged"), 4);
  log.clear();
  source.MoveDimension(TDimAxis::Rows, TDimAxis::Rows, false, 2, 2);
  EXPECT_TRUE(log.empty());
}

TEST_F(SourceRequests, SwapDimensionsExchangesAxisAndPosition) {
  source.SwapDimensions(TDimAxis::Cols, TDimAxis::Rows, true, 1, 0);  // E <-> B
  EXPECT_EQ(Rows(), "A+ E+ C+ D-");
  EXPECT_EQ(Cols(), "B+");
  EXPECT_EQ(Count("link:PivotChanged"), 1);
  source.SwapDimensions(TDimAxis::Rows, TDimAxis::Rows, false, 3, 0);  // A <-> D
  EXPECT_EQ(Rows(), "D- E+ C+ A+");
  EXPECT_EQ(source.DimInfo(0).ActiveIndex, 2);
  log.clear();
  source.SwapDimensions(TDimAxis::Rows, TDimAxis::Rows, false, 1, 1);
  EXPECT_TRUE(log.empty());
}

TEST_F(SourceRequests, BeforePivotHandlerMayChangeTheState) {
  source.SetOnBeforePivot([](THySource& s) {
    // Reaches into the state the way a handler would: close the last row.
    const_cast<TDimInfo&>(s.DimInfo(2)).State = TDimState::Closed;
  });
  source.OpenNext(TDimAxis::Rows, -1, true);
  EXPECT_EQ(Rows(), "A+ B+ C- D+");
  EXPECT_EQ(source.DimInfo(3).ActiveIndex, 2);
}

TEST_F(SourceRequests, SelectValueNeedsAValueTheDimensionHas) {
  // Without a cube no dimension has values.
  try {
    source.SelectValue(0, 0);
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("Illegal value selected"), std::string::npos);
    EXPECT_EQ(e.Unit(), "HyDB");
  }
  EXPECT_EQ(Rows(), "A+ B+ C+ D-");
  EXPECT_TRUE(log.empty());
  EXPECT_THROW(source.SelectValue(7, 0), EArrayError);
}

TEST_F(SourceRequests, InactiveSourceIgnoresSparseFlagsAndSummaryChoice) {
  source.SetSparseRows(true);
  source.SetSparseCols(true);
  source.SetCurrentSummary(0);
  EXPECT_FALSE(source.SparseRows());
  EXPECT_FALSE(source.SparseCols());
  EXPECT_TRUE(log.empty());
}

TEST_F(SourceRequests, NeighbourFlagsLookPastDrilledAndFixedItems) {
  EXPECT_EQ(source.GetNeighbourFlags(0), 1);  // B is open
  EXPECT_EQ(source.GetNeighbourFlags(2), 4);  // D is closed
  EXPECT_EQ(source.GetNeighbourFlags(3), 0);  // last item
  EXPECT_EQ(source.GetNeighbourFlags(4), 0);  // alone on the columns
  LoadState(source, 4, "(1 0 1 0 -1 'A' 1 -1 3 1 0 'B' 1 -1 4 2 0 'C' 1 1 1 3 -1 'D')");
  EXPECT_EQ(source.GetNeighbourFlags(0), 1);  // B and C skipped: D is open
}

// ---------------------------------------------------------------------------
// Header shape without data

TEST(SourcePreview, HeadersFollowTheMadeUpShape) {
  THySource source;
  // Rows: two open levels at list positions 0 and 1 (2 and 3 values).
  LoadState(source, 3, kDemoState);
  const int16_t level0[] = {0, 0, 0, 0, 1, 1, 1, 1, -1};
  const int16_t level1[] = {0, 1, 2, -1, 0, 1, 2, -1, -1};
  const bool start0[] = {true, false, false, false, true, false, false, false, true};
  const bool start1[] = {true, true, true, true, true, true, true, true, false};
  for (int pos = 0; pos < 9; ++pos) {
    SCOPED_TRACE(pos);
    bool isSum = false, isStart = false;
    EXPECT_EQ(source.GetHeaderValue(TDimAxis::Rows, 0, pos, isSum, isStart), level0[pos]);
    EXPECT_EQ(isSum, level0[pos] < 0);
    EXPECT_EQ(isStart, start0[pos]);
    EXPECT_EQ(source.GetHeaderValue(TDimAxis::Rows, 1, pos, isSum, isStart), level1[pos]);
    EXPECT_EQ(isSum, level1[pos] < 0);
    EXPECT_EQ(isStart, start1[pos]);
  }
  int32_t first = 0, last = 0;
  source.GetGroupRange(TDimAxis::Rows, 0, 2, first, last);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 3);
  source.GetGroupRange(TDimAxis::Rows, 0, 6, first, last);
  EXPECT_EQ(first, 4);
  EXPECT_EQ(last, 7);
  source.GetGroupRange(TDimAxis::Rows, 0, 8, first, last);
  EXPECT_EQ(first, 8);
  EXPECT_EQ(last, 8);
  bool isSum = false, isStart = false;
  EXPECT_THROW(source.GetHeaderValue(TDimAxis::Rows, 2, 0, isSum, isStart), EArrayError);
}

TEST(SourcePreview, InactiveQueriesAnswerEmpty) {
  THySource source;
  LoadState(source, 3, kDemoState);
  EXPECT_FALSE(source.IsActive());
  EXPECT_EQ(source.RowCount(), 1);
  EXPECT_EQ(source.ColCount(), 1);
  int32_t sums = 7;
  EXPECT_EQ(source.GetCellText(0, 0, &sums), "");
  EXPECT_EQ(sums, 0);
  Variant value = source.GetCellValue(0, 0);
  EXPECT_EQ(value.VarType(), varString);
  EXPECT_EQ(value.ToText(), "");
  EXPECT_TRUE(source.GetValueVariant(0, 0).IsEmpty());
  EXPECT_EQ(source.GetValueText(0, 0), "");
  EXPECT_EQ(source.GetDimensionCaption(0), "");
  EXPECT_EQ(source.GetSummaryCaption(0), "");
  EXPECT_EQ(source.GetDimension(0), nullptr);
  EXPECT_EQ(source.GetSummary(0), nullptr);
  TValueArray values;
  values.AddItem(9);
  EXPECT_TRUE(source.GetValueArray(0, 0, values));
  ASSERT_EQ(values.Count(), 3);
  for (int32_t d = 0; d < 3; ++d) EXPECT_EQ(values[d], -1);
}

// ---------------------------------------------------------------------------
// Links

TEST(SourceLinks, SettingASourceMovesTheLinkAndTellsIt) {
  std::vector<std::string> log;
  auto first = std::make_unique<THySource>();
  THySource second;
  RecordingLink link(log, "link");
  link.SetSource(first.get());
  EXPECT_EQ(first->Links().size(), 1u);
  link.SetSource(first.get());  // same source: nothing
  link.SetSource(&second);
  EXPECT_TRUE(first->Links().empty());
  ASSERT_EQ(second.Links().size(), 1u);
  EXPECT_EQ(link.Source(), &second);
  link.SetSource(nullptr);
  EXPECT_TRUE(second.Links().empty());
  const std::vector<std::string> expected = {"link:SourceChanged", "link:SourceChanged",
                                             "link:SourceChanged"};
  EXPECT_EQ(log, expected);

  // AddLink and RemoveLink only bind; a freed source lets its links go.
  first->AddLink(&link);
  first->AddLink(&link);
  EXPECT_EQ(first->Links().size(), 1u);
  EXPECT_EQ(link.Source(), first.get());
  first.reset();
  EXPECT_EQ(link.Source(), nullptr);
  {
    RecordingLink temporary(log, "temporary");
    second.AddLink(&temporary);
  }
  EXPECT_TRUE(second.Links().empty());
  EXPECT_EQ(log.size(), 3u);
}

}  // namespace
}  // namespace hy
