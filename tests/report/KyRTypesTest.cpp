// Highlights, report variables and the highlight check of the grid report.
#include <gtest/gtest.h>

#include "platform/gdi/Fonts.h"
#include "platform/gdi/MetafileCanvas.h"
#include "report/KyRParsTestSupport.h"
#include "report/KyRTypes.h"
#include "report/PrintKy.h"

namespace hy {
namespace {

TEST(KyRTypes, HighLightDefaultsAndAssignmentInOneUpdate) {
  TKyRHighLights list(nullptr);
  int changes = 0;
  list.SetOnChange([&] { ++changes; });
  TKyRHighLight* a = list.Add();
  EXPECT_EQ(a->Expression(), "");
  EXPECT_EQ(a->Font().Name(), "Arial");
  EXPECT_EQ(a->Color(), clWhite);

  TKyRHighLight* b = list.Add();
  b->SetExpression("Qty > 1");
  TFont bold("Courier New", -13, fsBold, clRed);
  b->SetFont(bold);
  bold.SetName("Changed later");  // the highlight holds a copy
  b->SetColor(clYellow);
  changes = 0;
  a->Assign(*b);
  EXPECT_EQ(changes, 1) << "one notification for the whole copy";
  EXPECT_EQ(a->Expression(), "Qty > 1");
  EXPECT_EQ(a->Font().Name(), "Courier New");
  EXPECT_TRUE(a->Font().HasStyle(fsBold));
  EXPECT_EQ(a->Font().Color(), clRed);
  EXPECT_EQ(a->Color(), clYellow);

  TKyRHighLights copy(nullptr);
  copy.Add()->SetExpression("stale");
  copy.Assign(list);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Items(1)->Expression(), "Qty > 1");
  EXPECT_EQ(&copy.Items(1)->Collection(), &copy);
  EXPECT_THROW(copy.Items(2), EListError);
  copy.Delete(0);
  EXPECT_EQ(copy.Count(), 1);
}

TEST(KyRTypes, VariableAssignmentLeavesTheValues) {
  TComponent report;
  TKyRVariables vars(&report);
  EXPECT_EQ(vars.Owner(), &report);
  TKyRVariable* a = vars.Add();
  EXPECT_TRUE(a->CurValue().IsNull());
  EXPECT_FALSE(a->CurValueStored());
  EXPECT_FALSE(a->PrevValueStored());
  EXPECT_EQ(a->Calculation().Calculate(), rcOnEveryRow);

  TKyRVariable* b = vars.Add();
  TKyRCalculation calc;
  calc.SetResetGroup("G");
  calc.SetResetType(rtEndPage);
  calc.SetCalcType(ctAverage);
  calc.SetCalculate(rcVariableChange);
  calc.SetGroupChange("GC");
  calc.SetVariableChange("VC");
  b->SetCalculation(calc);
  b->SetName("Total");
  b->SetExpression("Amount");
  b->SetCurValue(Variant(int32_t{5}));
  EXPECT_TRUE(b->CurValueStored());
  a->SetPrevValue(Variant("old"));

  int changes = 0;
  vars.SetOnChange([&] { ++changes; });
  a->Assign(*b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(a->Name(), "Total");
  EXPECT_EQ(a->Expression(), "Amount");
  EXPECT_EQ(a->Calculation(), calc);
  EXPECT_TRUE(a->CurValue().IsNull()) << "values are not copied";
  EXPECT_EQ(a->PrevValue().ToText(), "old");
  EXPECT_EQ(vars.Find("total"), a) << "the first of that name, any case";
  EXPECT_EQ(vars.Find("none"), nullptr);
}

class HighLightCheck : public ::testing::Test {
protected:
  void Add(const std::string& expression, TColor color, const std::string& face) {
    TKyRHighLight* h = list.Add();
    h->SetExpression(expression);
    h->SetColor(color);
    TFont font(face, -11);
    h->SetFont(font);
  }
  const TKyRHighLight* Holding() { return FindHoldingHighLight(list, t.Context()); }

  test::ReportTables t;
  TKyRHighLights list{nullptr};
};

TEST_F(HighLightCheck, FirstHoldingHighLightWins) {
  Add("Qty > 100", clRed, "A");
  Add("Qty > 1", clBlue, "B");
  Add("Amount > 1", clGreen, "C");  // holds too, but comes later
  ASSERT_NE(Holding(), nullptr);
  EXPECT_EQ(Holding()->Font().Name(), "B");
  t.Sales().Next();  // the row of Nulls: nothing holds
  EXPECT_EQ(Holding(), nullptr);
}

TEST_F(HighLightCheck, FailingExpressionsAreSkippedSilently) {
  Add("NoSuchField > 1", clRed, "unknown field");
  Add("Qty >", clRed, "bad syntax");
  Add("Region > 1", clRed, "type mismatch");
  Add("1 / 0 > 1", clRed, "evaluation error");
  Add("", clRed, "empty");
  Add("'maybe'", clRed, "text that is no Boolean");
  Add("Region LIKE 'N%'", clBlue, "holds");
  ASSERT_NE(Holding(), nullptr);
  EXPECT_EQ(Holding()->Font().Name(), "holds");
}

TEST_F(HighLightCheck, WhiteChangesOnlyTheFontOtherColoursFillTheCell) {
  TMetafile picture;
  picture.SetWidth(200);
  picture.SetHeight(100);
  TMetafileCanvas canvas(picture);
  const TRect cell{10, 20, 60, 40};

  Add("Qty = 3", clWhite, "Plain");
  const uint32_t before = canvas.RecordCount();
  EXPECT_TRUE(ApplyHighLights(canvas, cell, list, t.Context()));
  EXPECT_EQ(canvas.Font().Name(), "Plain");
  EXPECT_EQ(canvas.RecordCount(), before) << "nothing drawn for white";
  EXPECT_EQ(canvas.Brush().Style(), bsSolid);

  list.Items(0)->SetColor(clYellow);
  EXPECT_TRUE(ApplyHighLights(canvas, cell, list, t.Context()));
  EXPECT_GT(canvas.RecordCount(), before);
  EXPECT_EQ(canvas.DrawnBounds().Left, cell.Left);
  EXPECT_EQ(canvas.DrawnBounds().Top, cell.Top);
  EXPECT_EQ(canvas.Brush().Style(), bsClear) << "text goes over the fill";

  list.Items(0)->SetExpression("Qty = 4");
  const uint32_t after = canvas.RecordCount();
  canvas.SetFont(TFont("Untouched", -11));
  EXPECT_FALSE(ApplyHighLights(canvas, cell, list, t.Context()));
  EXPECT_EQ(canvas.Font().Name(), "Untouched");
  EXPECT_EQ(canvas.RecordCount(), after);
}

TEST(KyRTypes, ReportVariablesReachTheExpressions) {
  TKyPrintComponent report;
  TKyRVariable* total = report.Variables().Add();
  total->SetName("Total");
  total->SetCurValue(Variant(int32_t{41}));
  TKyRVariable* unset = report.Variables().Add();
  unset->SetName("Unset");
  TKyRVariable* shadowed = report.Variables().Add();
  shadowed->SetName("pageno");  // a system variable's name: never reached
  shadowed->SetCurValue(Variant(int32_t{999}));
  report.SetOnGetVariable([](TKyPrintBaseComponent&, const std::string& name, bool& accept,
                             TFieldType& type, Variant& value) {
    if (name != "Late") return;
    accept = true;
    type = ftInteger;
    value = Variant(int32_t{7});
  });

  TKyRExprContext context(nullptr, KyRReportVariables(report));
  EXPECT_EQ(CalculateKyRExpression("total + 1", context).AsInteger(), 42);
  EXPECT_EQ(CalculateKyRExpression("Unset", context).ToText(), "")
      << "a Null value reads as empty text";
  EXPECT_EQ(CalculateKyRExpression("PageNo", context).AsInteger(), 0) << "before any page";
  EXPECT_EQ(CalculateKyRExpression("Late * 2", context).AsInteger(), 14);
  EXPECT_EQ(CalculateKyRExpression("Date", context).VarType(), varDate)
      << "its type makes the day a date";
  EXPECT_THROW(CalculateKyRExpression("Nobody", context), EDatabaseError);

  TKyPrintComponent copy;
  copy.SetVariables(report.Variables());
  ASSERT_EQ(copy.Variables().Count(), 3);
  EXPECT_EQ(copy.Variables().Items(0)->Name(), "Total");
  EXPECT_EQ(copy.Variables().Owner(), &copy);
}

}  // namespace
}  // namespace hy
