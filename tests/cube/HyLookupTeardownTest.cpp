// A cube with a lookup dimension torn down by its owner: the components go
// newest first, so the lookup table may go before or after the cube. Neither
// order may raise or rebuild the cube.
#include <gtest/gtest.h>

#include <memory>

#include "common/Component.h"
#include "cube/CubeTestSupport.h"

namespace hy::test {
namespace {

struct LookupCube {
  TMemDataSet* facts = nullptr;
  TMemDataSet* lookup = nullptr;
  TestStore* cube = nullptr;
};

TMemDataSet* MakeLookup(TComponent* owner) {
  auto* lookup = new TMemDataSet(owner);
  lookup->AddColumn("Code", ftInteger);
  lookup->AddColumn("Name", ftString, 20);
  lookup->AppendRow({1, "One"});
  lookup->AppendRow({2, "Two"});
  return lookup;
}

// The cube over `facts` with a lookup dimension, opened; `lookupFirst`
// decides whether the lookup table is created before the cube or after it.
LookupCube MakeLookupCube(TComponent* owner, bool lookupFirst) {
  LookupCube parts;
  parts.facts = new TMemDataSet(owner);
  parts.facts->AddColumn("C", ftInteger);
  parts.facts->AddColumn("A", ftInteger);
  parts.facts->AppendRow({1, 10});
  parts.facts->AppendRow({2, 20});
  if (lookupFirst) parts.lookup = MakeLookup(owner);
  parts.cube = new TestStore(owner);
  if (!lookupFirst) parts.lookup = MakeLookup(owner);
  TestStore& cube = *parts.cube;
  cube.SetShowProgressDialog(false);
  cube.SetDataSet(parts.facts);
  THyMapItem* dim = cube.DimensionMap().Add();
  dim->SetName("X");
  dim->SetFieldName("C");
  dim->SetKind(dkLookup);
  dim->SetLookupDataSet(parts.lookup);
  dim->SetKeyFields("Code");
  dim->SetLookupResultField("Name");
  THyMapItem* sum = cube.DimensionMap().Add();
  sum->SetName("S");
  sum->SetDimensionType(dimSum);
  sum->SetFieldName("A");
  cube.SetActive(true);
  return parts;
}

TEST(LookupTeardown, OwnerFreesTheComponentsInEitherOrderWithoutRebuilding) {
  for (bool lookupFirst : {false, true}) {
    SCOPED_TRACE(lookupFirst ? "lookup made before the cube" : "lookup made after the cube");
    ScriptedProgress progress;
    UseProgress use(progress);
    auto owner = std::make_unique<TComponent>();
    const LookupCube parts = MakeLookupCube(owner.get(), lookupFirst);
    ASSERT_TRUE(parts.cube->Active());
    EXPECT_EQ(parts.cube->DataCache().Dimensions(0)->GetValueCaption(1), "Two");
    const int64_t stages = progress.CountOf(ScriptedProgress::Kind::Stage);
    EXPECT_NO_THROW(owner.reset());
    EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Stage), stages) << "rebuilt while freed";
  }
}

TEST(LookupTeardown, FreeingTheLookupTableOnlyClearsTheReference) {
  TComponent owner;
  ScriptedProgress progress;
  UseProgress use(progress);
  LookupCube parts = MakeLookupCube(&owner, false);
  const size_t events = parts.cube->events.size();
  const int64_t stages = progress.CountOf(ScriptedProgress::Kind::Stage);
  EXPECT_NO_THROW(delete parts.lookup);
  THyMapItem* dim = parts.cube->DimensionMap().Items(0);
  EXPECT_EQ(dim->LookupDataSet(), nullptr);
  // The open cube keeps the captions it read and is not rebuilt.
  EXPECT_TRUE(parts.cube->Active());
  EXPECT_EQ(parts.cube->events.size(), events);
  EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Stage), stages);
  EXPECT_EQ(parts.cube->DataCache().Dimensions(0)->GetValueCaption(0), "One");
  // Opening again reports the missing table instead of guessing.
  parts.cube->SetActive(false);
  try {
    parts.cube->SetActive(true);
    FAIL() << "opened without its lookup table";
  } catch (const EHyMapError& e) {
    EXPECT_EQ(e.Message(), "C: Lookup info incomplete");
  }
}

// A receiver whose notification raises must not end the program: it runs
// inside the destructor of the component that goes.
class RaisingReceiver : public TComponent {
public:
  using TComponent::TComponent;
  int told = 0;

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove) {
      ++told;
      throw Exception("refused");
    }
  }
};

TEST(LookupTeardown, NotificationFailuresDoNotEscapeADestructor) {
  RaisingReceiver first, second;
  auto* going = new TComponent;
  going->FreeNotification(&first);
  going->FreeNotification(&second);
  EXPECT_NO_THROW(delete going);
  // The first failure does not keep the others from being told.
  EXPECT_EQ(first.told, 1);
  EXPECT_EQ(second.told, 1);
}

}  // namespace
}  // namespace hy::test
