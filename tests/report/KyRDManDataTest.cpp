#include <gtest/gtest.h>

#include "platform/db/MemDataSet.h"
#include "report/KyRDMan.h"

namespace hy {
namespace {

TMemDataSet* NewDataSet(TComponent* owner, const char* name) {
  auto* dataset = new TMemDataSet(owner);
  dataset->SetName(name);
  return dataset;
}

std::vector<std::string> Captions(const TKyRDataManager& manager) {
  std::vector<std::string> captions;
  for (int i = 0; i < manager.Datasets().Count(); ++i)
    captions.push_back(manager.Datasets().Items(i)->Caption());
  return captions;
}

using L = std::vector<std::string>;

TEST(CollectDatasets, ListsMainFirstAndItsOwnDatasetsInItsPlace) {
  TComponent root;
  NewDataSet(&root, "Customers");
  TMemDataSet* main = NewDataSet(&root, "Orders");
  NewDataSet(main, "Items");
  new TComponent(main);  // not a dataset
  NewDataSet(main, "Parts");
  TMemDataSet* vendors = NewDataSet(&root, "Vendors");
  NewDataSet(vendors, "Contacts");  // owned by a dataset that is not main
  new TComponent(&root);
  auto* manager = new TKyRDataManager(&root);

  manager->CollectDatasets(main, &root);
  EXPECT_EQ(Captions(*manager), (L{"Orders", "Customers", "Items", "Parts", "Vendors"}));
  EXPECT_EQ(manager->Datasets().Items(0)->Dataset(), main);

  // A second collection starts afresh.
  manager->CollectDatasets(nullptr, &root);
  EXPECT_EQ(Captions(*manager), (L{"Customers", "Orders", "Vendors"}));
  manager->CollectDatasets(main, nullptr);
  EXPECT_EQ(Captions(*manager), (L{"Orders"}));
}

TEST(CollectDatasets, MainOwnedElsewhereStillComesFirst) {
  TComponent root;
  TComponent elsewhere;
  TMemDataSet* main = NewDataSet(&elsewhere, "Main");
  NewDataSet(main, "Detail");
  NewDataSet(&root, "Other");
  TKyRDataManager manager;
  manager.CollectDatasets(main, &root);
  EXPECT_EQ(Captions(manager), (L{"Main", "Other"}));
}

TEST(KyRDataset, CaptionFollowsTheDatasetOnlyWhileEmpty) {
  TComponent root;
  TMemDataSet* orders = NewDataSet(&root, "Orders");
  TMemDataSet* parts = NewDataSet(&root, "Parts");
  TKyRDataManager manager;
  TKyRDataset* item = manager.Datasets().Add();
  EXPECT_EQ(item->Dataset(), nullptr);
  EXPECT_EQ(item->Caption(), "");
  EXPECT_EQ(&item->Collection().Owner(), &manager);

  item->SetDataset(orders);
  EXPECT_EQ(item->Caption(), "Orders");
  item->SetDataset(parts);  // a caption once set stays
  EXPECT_EQ(item->Caption(), "Orders");
  item->SetDataset(nullptr);
  EXPECT_EQ(item->Caption(), "");

  item->SetCaption("Sales");
  item->SetDataset(parts);
  EXPECT_EQ(item->Caption(), "Sales");
  EXPECT_THROW(manager.Datasets().Items(1), EListError);
}

TEST(KyRDataset, AssignCopiesCaptionThenDatasetInOneUpdate) {
  TComponent root;
  TMemDataSet* orders = NewDataSet(&root, "Orders");
  TKyRDataManager manager;
  TKyRDataset* source = manager.Datasets().Add();
  TKyRDataset* target = manager.Datasets().Add();
  target->SetCaption("Old");
  source->SetDataset(orders);
  source->SetCaption("");
  int changes = 0;
  manager.Datasets().SetOnChange([&] { ++changes; });

  // The caption is copied first (empty), so the dataset names the target.
  target->Assign(*source);
  EXPECT_EQ(target->Dataset(), orders);
  EXPECT_EQ(target->Caption(), "Orders");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(manager.Datasets().UpdateCount(), 0);
}

TEST(KyRDataset, AFreedDatasetIsClearedFromEveryItem) {
  TComponent root;
  TMemDataSet* orders = NewDataSet(&root, "Orders");
  TMemDataSet* parts = NewDataSet(&root, "Parts");
  TKyRDataManager manager;
  TKyRDataset* first = manager.Datasets().Add();
  TKyRDataset* second = manager.Datasets().Add();
  TKyRDataset* third = manager.Datasets().Add();
  first->SetDataset(orders);
  second->SetDataset(orders);
  third->SetDataset(parts);
  // One of two references goes: the other must still be told.
  first->SetDataset(parts);

  delete orders;
  EXPECT_EQ(second->Dataset(), nullptr);
  EXPECT_EQ(second->Caption(), "");
  EXPECT_EQ(first->Dataset(), parts);
  EXPECT_EQ(third->Dataset(), parts);

  delete parts;
  EXPECT_EQ(first->Dataset(), nullptr);
  EXPECT_EQ(third->Dataset(), nullptr);
}

TEST(KyRDataset, ADatasetOutlivingItsManagerIsFreedSafely) {
  TComponent root;
  TMemDataSet* orders = NewDataSet(&root, "Orders");
  {
    TKyRDataManager manager;
    manager.Datasets().Add()->SetDataset(orders);
  }
  delete orders;  // must not tell the manager that is gone
  EXPECT_EQ(root.ComponentCount(), 0);
}

}  // namespace
}  // namespace hy
