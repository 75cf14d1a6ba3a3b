#include <gtest/gtest.h>

#include <functional>

#include "DbTestUtil.h"
#include "common/DateUtils.h"
#include "platform/db/MemDataSet.h"
#include "platform/db/Table.h"

namespace hy {
namespace {

using test::ExecSql;
using test::TempDir;

std::string Describe(const Variant& v) {
  return std::string(VarTypeName(v.VarType())) + ":" + v.ToText();
}

// Both datasets open; every field and every row must agree in type and value.
void ExpectSameRows(TDataSet& expected, TDataSet& actual) {
  ASSERT_EQ(expected.FieldCount(), actual.FieldCount());
  for (int i = 0; i < expected.FieldCount(); ++i) {
    const TField* e = expected.Fields(i);
    const TField* a = actual.Fields(i);
    EXPECT_EQ(e->FieldName(), a->FieldName());
    EXPECT_EQ(e->DataType(), a->DataType()) << e->FieldName();
    EXPECT_EQ(e->Size(), a->Size()) << e->FieldName();
    EXPECT_EQ(e->Precision(), a->Precision()) << e->FieldName();
  }
  int64_t rows = 0;
  expected.First();
  actual.First();
  for (; !expected.Eof(); expected.Next(), actual.Next(), ++rows) {
    ASSERT_FALSE(actual.Eof()) << "row " << rows + 1;
    for (int i = 0; i < expected.FieldCount(); ++i) {
      Variant e = expected.Fields(i)->Value(), a = actual.Fields(i)->Value();
      EXPECT_TRUE(e.SameAs(a)) << "row " << rows + 1 << ", " << expected.Fields(i)->FieldName()
                               << ": " << Describe(e) << " vs " << Describe(a);
    }
  }
  EXPECT_TRUE(actual.Eof());
  EXPECT_EQ(expected.RecNo(), actual.RecNo());
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

class MemFromTable : public ::testing::Test {
protected:
  void SetUp() override {
    file_ = dir_.File("all.db");
    ExecSql(
        file_,
        "CREATE TABLE t (i INTEGER, s SMALLINT, w WORD, l BIGINT, f REAL, c CURRENCY,"
        " b DECIMAL(10,2), fb NUMERIC(20,6), ok BOOLEAN, d DATE, tm TIME, dt DATETIME,"
        " v VARCHAR(7), ch CHAR(3), m MEMO, u);"
        "INSERT INTO t VALUES (1, -5, 65535, 9000000000, 1.25, 12.3456, 7.25, 1.5, 'yes',"
        " '2004-01-03 10:20:00', '12:30:00', '2004-01-03T10:20:00', 'Visa', 'AB', 'long text', 7);"
        "INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
        " NULL, NULL, NULL, NULL, NULL, NULL);"
        "INSERT INTO t VALUES (-2147483648, 32767, 0, -1, -0.0, -0.0001, 0, 0, 0, 38000.75,"
        " 0.5, 38000.5, '', 'xyz', '', 'text');"
        "INSERT INTO t VALUES (2147483647, -32768, 1, 0, 1e300, 99999.9999, -1.5,"
        " 99999999999999.999999, 1, '1899-12-30', '23:59:59', '2100-02-28 23:59:59',"
        " 'Cash', 'Q', 'x', 2.5);");
    table_.SetTableName(file_ + ":t");
  }

  TempDir dir_;
  std::string file_;
  TTable table_;
};

TEST_F(MemFromTable, CopyEqualsTableRowByRowWithTypesAndNulls) {
  TMemDataSet mem;
  mem.LoadFromDataSet(table_);
  EXPECT_FALSE(table_.Active()) << "a source opened for the copy is closed again";
  EXPECT_EQ(mem.RowCount(), 4);
  EXPECT_EQ(mem.ColumnCount(), 16);
  EXPECT_FALSE(mem.Active());

  table_.Open();
  mem.Open();
  ExpectSameRows(table_, mem);

  // Closing keeps the rows: a second open reads the same again.
  mem.Close();
  mem.Open();
  ExpectSameRows(table_, mem);
}

TEST_F(MemFromTable, OpenSourceStaysOpenAndAnOpenTargetIsReopened) {
  TMemDataSet mem;
  mem.AddColumn("old", ftInteger);
  mem.Open();
  table_.Open();
  mem.LoadFromDataSet(table_);
  EXPECT_TRUE(table_.Active());
  EXPECT_TRUE(table_.Eof()) << "the copy scans the source to its end";
  EXPECT_EQ(table_.ControlsDisabled(), false);
  ASSERT_TRUE(mem.Active());
  EXPECT_EQ(mem.FieldCount(), 16);
  EXPECT_EQ(mem.FieldByName("V")->AsString(), "Visa");
}

TEST_F(MemFromTable, FailedLoadKeepsFormerContents) {
  ExecSql(file_, "INSERT INTO t (i) VALUES ('abc')");
  TMemDataSet mem;
  mem.AddColumn("n", ftInteger);
  mem.AppendRow({Variant(42)});
  mem.Open();
  std::string error = ErrorOf([&] { mem.LoadFromDataSet(table_); });
  EXPECT_NE(error.find("row 5, field 'i'"), std::string::npos) << error;
  EXPECT_FALSE(table_.Active());
  EXPECT_FALSE(table_.ControlsDisabled());
  ASSERT_TRUE(mem.Active());
  ASSERT_EQ(mem.FieldCount(), 1);
  EXPECT_EQ(mem.FieldByName("n")->AsInteger(), 42);

  TTable missing;
  missing.SetTableName(dir_.File("none.db"));
  EXPECT_THROW(mem.LoadFromDataSet(missing), EDatabaseError);
  EXPECT_EQ(mem.RowCount(), 1);
  EXPECT_THROW(mem.LoadFromDataSet(mem), EDatabaseError);
}

TEST(MemDataSet, CopyOfACopyKeepsUntypedValues) {
  TMemDataSet a;
  a.AddColumn("u", ftUnknown);
  a.AddColumn("dt", ftDateTime);
  a.AppendRow({Variant(int64_t{5}), Variant::Date(1.5)});
  a.AppendRow({Variant("x"), Variant()});
  a.AppendRow({Variant(Currency::FromRaw(12345)), Variant::Date(-700000.25)});
  TMemDataSet b;
  b.LoadFromDataSet(a);
  a.Open();
  b.Open();
  ExpectSameRows(a, b);
}

TEST(MemDataSet, BuiltInCodeConvertsToColumnTypes) {
  TMemDataSet mem;
  mem.SetName("gen");
  EXPECT_EQ(mem.AddColumn("Id", ftInteger), 0);
  mem.AddColumn("Small", ftSmallint);
  mem.AddColumn("Day", ftDate);
  mem.AddColumn("At", ftTime);
  mem.AddColumn("Price", ftCurrency);
  mem.AddColumn("Name", ftString, 20);
  mem.AddColumn("Flag", ftBoolean);
  mem.AddColumn("Ratio", ftFloat);
  EXPECT_EQ(
      mem.AppendRow({Variant("12"), Variant(7), Variant::Date(38000.75), Variant::Date(38000.75),
                     Variant(1.23456), Variant(3), Variant("True"), Variant(2)}),
      0);
  EXPECT_TRUE(mem.Value(0, 0).SameAs(Variant(12)));
  EXPECT_TRUE(mem.Value(0, 1).SameAs(Variant::Smallint(7)));
  EXPECT_TRUE(mem.Value(0, 2).SameAs(Variant::Date(38000)));
  EXPECT_TRUE(mem.Value(0, 3).SameAs(Variant::Date(0.75)));
  EXPECT_TRUE(mem.Value(0, 4).SameAs(Variant(Currency::FromRaw(12346))));
  EXPECT_TRUE(mem.Value(0, 5).SameAs(Variant("3")));
  EXPECT_TRUE(mem.Value(0, 6).SameAs(Variant(true)));
  EXPECT_TRUE(mem.Value(0, 7).SameAs(Variant(2.0)));

  mem.SetValue(0, 5, Variant("a longer name than the buffer held before"));
  mem.SetValue(0, 0, Variant());
  EXPECT_TRUE(mem.IsNull(0, 0)) << "Empty is stored as Null";
  EXPECT_EQ(mem.Value(0, 5).AsString(), "a longer name than the buffer held before");

  mem.Open();
  EXPECT_EQ(mem.FieldByName("ratio")->Precision(), 15);
  EXPECT_EQ(mem.FieldByName("name")->Size(), 20);
  EXPECT_EQ(mem.FieldByName("Small")->DataType(), ftSmallint);
  EXPECT_EQ(mem.FindField("missing"), nullptr);
  EXPECT_EQ(ErrorOf([&] { mem.FieldByName("missing"); }), "gen: Field 'missing' not found");
  EXPECT_EQ(mem.FindColumn("PRICE"), 4);
  EXPECT_EQ(mem.FindColumn("nope"), -1);
}

TEST(MemDataSet, ValuesThatDoNotFitAreRefusedAndChangeNothing) {
  TMemDataSet mem;
  mem.SetName("gen");
  mem.AddColumn("S", ftSmallint);
  mem.AddColumn("W", ftWord);
  mem.AddColumn("N", ftInteger);
  mem.AppendRow({Variant(1), Variant(2), Variant(3)});

  EXPECT_EQ(ErrorOf([&] {
              mem.AppendRow({Variant(32768), Variant(0), Variant(0)});
            }),
            "gen: Row 2, field 'S': 32768 is not a valid SmallInt value");
  EXPECT_EQ(mem.RowCount(), 1) << "a refused row is not appended";
  EXPECT_THROW(mem.AppendRow({Variant(0), Variant(-1), Variant(0)}), EDatabaseError);
  EXPECT_THROW(mem.SetValue(0, 2, Variant("abc")), EDatabaseError);
  EXPECT_THROW(mem.SetValue(0, 2, Variant(int64_t{1} << 40)), EDatabaseError);
  EXPECT_TRUE(mem.Value(0, 2).SameAs(Variant(3)));
  EXPECT_THROW(mem.AppendRow({Variant(1)}), EDatabaseError);
  EXPECT_EQ(mem.RowCount(), 1);

  EXPECT_THROW(mem.Value(1, 0), EListError);
  EXPECT_THROW(mem.Value(-1, 0), EListError);
  EXPECT_THROW(mem.SetValue(0, 3, Variant(1)), EListError);
  EXPECT_THROW(mem.ColumnName(-1), EListError);
}

TEST(MemDataSet, NullBitmapAcrossWordBoundariesAndDroppedRows) {
  TMemDataSet mem;
  mem.AddColumn("n", ftInteger);
  for (int i = 0; i < 64; ++i) mem.AppendRow({i % 2 ? Variant(i) : Variant::Null()});
  // Row 64 opens a new bitmap word; its refusal must not leave a stale bit.
  EXPECT_THROW(mem.AppendRow({Variant("x")}), EDatabaseError);
  mem.AppendRow({Variant(64)});
  for (int i = 65; i < 130; ++i) mem.AppendRow();
  mem.SetValue(129, 0, Variant(129));
  for (int i = 0; i < 130; ++i) {
    bool null = i < 64 ? i % 2 == 0 : (i != 64 && i != 129);
    EXPECT_EQ(mem.IsNull(i, 0), null) << i;
  }
  // A column added later is Null for the rows already there.
  mem.AddColumn("late", ftString);
  EXPECT_TRUE(mem.IsNull(129, 1));
  mem.SetValue(129, 1, Variant("z"));
  EXPECT_EQ(mem.Value(129, 1).AsString(), "z");
}

TEST(MemDataSet, EmptyDatasetAndOpenStateRules) {
  TMemDataSet mem;
  mem.Open();
  EXPECT_TRUE(mem.IsEmpty());
  EXPECT_TRUE(mem.Eof());
  EXPECT_EQ(mem.FieldCount(), 0);
  mem.Close();

  mem.AddColumn("a", ftInteger);
  EXPECT_EQ(ErrorOf([&] { mem.AddColumn("A", ftString); }), "Duplicate field name 'A'");
  EXPECT_THROW(mem.AddColumn(" ", ftString), EDatabaseError);
  mem.Open();
  EXPECT_TRUE(mem.IsEmpty());
  EXPECT_TRUE(mem.FieldByName("a")->IsNull());
  EXPECT_EQ(ErrorOf([&] { mem.AddColumn("b", ftInteger); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_THROW(mem.ClearRows(), EDatabaseError);
  EXPECT_THROW(mem.Clear(), EDatabaseError);

  // Rows appended while open are seen from the next First.
  mem.AppendRow({Variant(5)});
  mem.First();
  EXPECT_FALSE(mem.Eof());
  EXPECT_EQ(mem.FieldByName("a")->AsInteger(), 5);
  mem.Next();
  EXPECT_TRUE(mem.Eof());

  mem.Close();
  mem.ClearRows();
  EXPECT_EQ(mem.RowCount(), 0);
  EXPECT_EQ(mem.ColumnCount(), 1);
  mem.Clear();
  EXPECT_EQ(mem.ColumnCount(), 0);
}

}  // namespace
}  // namespace hy
