#include <gtest/gtest.h>

#include <functional>

#include "DbTestUtil.h"
#include "platform/db/Table.h"

namespace hy {
namespace {

using test::ExecSql;
using test::TempDir;

class DataSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    file_ = dir_.File("people.db");
    ExecSql(file_,
            "CREATE TABLE people (Id INTEGER PRIMARY KEY, Name VARCHAR(20), Age SMALLINT);"
            "INSERT INTO people VALUES (1, 'Ann', 31), (2, 'Bob', 45), (3, 'Cy', 27);"
            "CREATE TABLE nobody (Id INTEGER);");
  }
  void Configure(TTable& table, const char* tableName = "people.db") {
    table.SetDatabaseName(dir_.Path().string());
    table.SetTableName(tableName);
  }
  static std::string Error(const std::function<void()>& action) {
    try {
      action();
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "(no error)";
  }

  TempDir dir_;
  std::string file_;
};

constexpr const char* kClosed = "Cannot perform this operation on a closed dataset";

TEST_F(DataSetTest, ClosedDatasetRefusesWork) {
  TTable table;
  Configure(table);
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(Error([&] { table.First(); }), kClosed);
  EXPECT_EQ(Error([&] { table.Next(); }), kClosed);
  EXPECT_EQ(Error([&] { table.IsEmpty(); }), kClosed);
  table.Open();
  TField* name = table.FieldByName("Name");
  EXPECT_EQ(name->AsString(), "Ann");
  table.Close();
  EXPECT_EQ(table.FieldCount(), 0);  // fields go with the open
  EXPECT_EQ(table.FindField("Name"), nullptr);
}

TEST_F(DataSetTest, ForwardScanCountsRowsAndRestartsAtFirst) {
  TTable table;
  Configure(table);
  table.Open();
  EXPECT_FALSE(table.IsEmpty());
  std::string names;
  int64_t lastRecNo = 0;
  for (; !table.Eof(); table.Next()) {
    names += table.FieldByName("name")->AsString() + ",";
    lastRecNo = table.RecNo();
    EXPECT_FALSE(table.IsEmpty());  // asking does not move the cursor
  }
  EXPECT_EQ(names, "Ann,Bob,Cy,");
  EXPECT_EQ(lastRecNo, 3);
  table.Next();  // at the end, Next stays there
  EXPECT_TRUE(table.Eof());
  table.First();
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.FieldByName("Age")->AsInteger(), 31);

  TTable empty;
  Configure(empty, "people.db:nobody");
  empty.Open();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.RecNo(), 0);
}

TEST_F(DataSetTest, FieldLookupIgnoresCaseAndNamesTheDataset) {
  TTable table;
  table.SetName("tblPeople");
  Configure(table);
  table.Open();
  EXPECT_EQ(table.FindField("NAME"), table.Fields(1));
  EXPECT_EQ(table.FindField("Nickname"), nullptr);
  EXPECT_EQ(Error([&] { table.FieldByName("Nickname"); }), "tblPeople: Field 'Nickname' not found");
  std::vector<TField*> list = table.GetFieldList("age; ID;name;");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]->FieldName(), "Age");
  EXPECT_EQ(list[1]->FieldName(), "Id");
  EXPECT_EQ(list[2]->FieldName(), "Name");
  EXPECT_EQ(Error([&] { table.GetFieldList("Id;Zip"); }), "tblPeople: Field 'Zip' not found");

  TTable unnamed;  // without a component name, the table name identifies it
  Configure(unnamed);
  unnamed.Open();
  EXPECT_EQ(Error([&] { unnamed.FieldByName("x"); }), "people.db: Field 'x' not found");
}

TEST_F(DataSetTest, ActiveWhileLoadingIsRememberedUntilLoaded) {
  TComponent form;
  auto* table = new TTable(&form);
  auto* other = new TTable(&form);
  table->BeginLoading();
  other->BeginLoading();
  table->SetActive(true);
  Configure(*table);  // properties may come in any order
  other->SetActive(true);
  other->SetActive(false);
  Configure(*other);
  EXPECT_FALSE(table->Active());
  TComponent::FinishLoading(&form);
  EXPECT_TRUE(table->Active());
  EXPECT_FALSE(other->Active());
  EXPECT_EQ(table->RecNo(), 1);
}

TEST_F(DataSetTest, OpenDuringLoadingActsAtOnceAndIsNotRepeated) {
  // A component told Loaded before the table opens it; the table's own
  // Loaded must not reopen (which would rewind the cursor).
  TTable table;
  table.BeginLoading();
  Configure(table);
  table.SetActive(true);
  table.Open();
  ASSERT_TRUE(table.Active());
  table.Next();
  table.SetActive(true);  // opening an open dataset does nothing
  table.Loaded();
  EXPECT_EQ(table.RecNo(), 2);
  table.Open();
  EXPECT_EQ(table.RecNo(), 2);

  TTable closed;
  closed.BeginLoading();
  Configure(closed);
  closed.SetActive(true);
  closed.Close();  // forgets the remembered Active
  closed.Loaded();
  EXPECT_FALSE(closed.Active());
}

TEST_F(DataSetTest, ControlsStayDisabledUntilEveryDisableIsMatched) {
  TTable table;
  table.DisableControls();
  table.DisableControls();
  table.EnableControls();
  EXPECT_TRUE(table.ControlsDisabled());
  table.EnableControls();
  EXPECT_FALSE(table.ControlsDisabled());
  table.EnableControls();  // an extra enable does not bank credit
  table.DisableControls();
  EXPECT_TRUE(table.ControlsDisabled());
}

class Holder : public TComponent {
public:
  using TComponent::TComponent;
  ~Holder() override { Destroying(); }
  void SetDataSet(TDataSet* dataSet) {
    dataSet_ = dataSet;
    if (dataSet) dataSet->FreeNotification(this);
  }
  TDataSet* DataSet() const { return dataSet_; }
  int Removals() const { return removals_; }

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == dataSet_) {
      // Still a whole dataset when told: it may be asked about itself.
      EXPECT_TRUE(dataSet_->Active());
      dataSet_ = nullptr;
      ++removals_;
    }
  }

private:
  TDataSet* dataSet_ = nullptr;
  int removals_ = 0;
};

TEST_F(DataSetTest, HolderIsToldWhenTheTableGoes) {
  Holder holder;
  auto* table = new TTable();
  Configure(*table);
  table->Open();
  holder.SetDataSet(table);
  delete table;
  EXPECT_EQ(holder.DataSet(), nullptr);
  EXPECT_EQ(holder.Removals(), 1);

  // Freed through its owner.
  auto* owner = new TComponent();
  auto* owned = new TTable(owner);
  Configure(*owned);
  owned->Open();
  holder.SetDataSet(owned);
  delete owner;
  EXPECT_EQ(holder.DataSet(), nullptr);
  EXPECT_EQ(holder.Removals(), 2);
}

}  // namespace
}  // namespace hy
