#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Component.h"
#include "common/Exceptions.h"

namespace hy {
namespace {

using Log = std::vector<std::string>;

// A component that records what happens to it and may refer to another one.
class Probe : public TComponent {
public:
  Probe(TComponent* owner, Log& log, const std::string& name) : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~Probe() override {
    Destroying();
    log_.push_back("free " + Name());
  }

  void SetRef(TComponent* c) {
    if (ref_) ref_->RemoveFreeNotification(this);
    ref_ = c;
    if (c) c->FreeNotification(this);
  }
  TComponent* Ref() const { return ref_; }

  void Loaded() override {
    TComponent::Loaded();
    log_.push_back("loaded " + Name());
    if (failOnLoad) throw Exception("load failed");
  }
  bool failOnLoad = false;

protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op != opRemove) return;
    log_.push_back(Name() + " told " + c->Name() + (c->IsDestroying() ? "" : " (alive?)"));
    if (c == ref_) ref_ = nullptr;
  }

private:
  Log& log_;
  TComponent* ref_ = nullptr;
};

TEST(Component, OwnerFreesChildrenLastCreatedFirst) {
  Log log;
  auto* owner = new Probe(nullptr, log, "owner");
  new Probe(owner, log, "c1");
  new Probe(owner, log, "c2");
  new Probe(owner, log, "c3");
  ASSERT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->Components(0)->Name(), "c1");
  delete owner;
  EXPECT_EQ(log, (Log{"free owner", "free c3", "free c2", "free c1"}));
}

TEST(Component, ChildFreedAloneLeavesItsOwner) {
  Log log;
  Probe owner(nullptr, log, "owner");
  new Probe(&owner, log, "c1");
  auto* c2 = new Probe(&owner, log, "c2");
  new Probe(&owner, log, "c3");
  delete c2;
  EXPECT_EQ(log, (Log{"owner told c2", "free c2"}));
  ASSERT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.Components(1)->Name(), "c3");
  EXPECT_EQ(owner.FindComponent("c2"), nullptr);
}

TEST(Component, FreeNotificationClearsReference) {
  Log log;
  auto* a = new Probe(nullptr, log, "a");
  auto b = std::make_unique<Probe>(nullptr, log, "b");
  b->SetRef(a);
  delete a;
  EXPECT_EQ(log, (Log{"b told a", "free a"}));
  EXPECT_EQ(b->Ref(), nullptr);
}

TEST(Component, ReceiverFreedFirstIsForgotten) {
  Log log;
  auto a = std::make_unique<Probe>(nullptr, log, "a");
  auto* b = new Probe(nullptr, log, "b");
  b->SetRef(a.get());
  delete b;  // the referenced one hears of it too: notification works both ways
  EXPECT_EQ(log, (Log{"a told b", "free b"}));
  log.clear();
  a.reset();  // must not tell the freed b
  EXPECT_EQ(log, (Log{"free a"}));
}

TEST(Component, RemovedFreeNotificationIsSilent) {
  Log log;
  auto* a = new Probe(nullptr, log, "a");
  Probe b(nullptr, log, "b");
  b.SetRef(a);
  b.SetRef(nullptr);
  delete a;
  EXPECT_EQ(log, (Log{"free a"}));
}

TEST(Component, SiblingReferencesDuringOwnerFree) {
  Log log;
  auto* owner = new Probe(nullptr, log, "owner");
  auto* x = new Probe(owner, log, "x");
  auto* y = new Probe(owner, log, "y");
  auto* z = new Probe(owner, log, "z");
  x->SetRef(z);  // z goes first and x hears of it
  z->SetRef(y);
  y->SetRef(x);
  delete owner;
  EXPECT_EQ(log,
            (Log{"free owner", "y told z", "x told z", "free z", "x told y", "free y", "free x"}));
}

TEST(Component, FinishLoadingInCreationOrder) {
  Log log;
  Probe root(nullptr, log, "root");
  std::vector<Probe*> kids;
  for (const char* name : {"c1", "c2", "c3"}) kids.push_back(new Probe(&root, log, name));
  root.BeginLoading();
  for (Probe* k : kids) k->BeginLoading();
  EXPECT_TRUE(kids[1]->IsLoading());
  TComponent::FinishLoading(&root);
  EXPECT_EQ(log, (Log{"loaded c1", "loaded c2", "loaded c3", "loaded root"}));
  EXPECT_FALSE(root.IsLoading());
  for (Probe* k : kids) EXPECT_FALSE(k->IsLoading());
}

TEST(Component, FinishLoadingStopsAtFirstFailure) {
  Log log;
  Probe root(nullptr, log, "root");
  std::vector<Probe*> kids;
  for (const char* name : {"c1", "c2", "c3"}) kids.push_back(new Probe(&root, log, name));
  for (Probe* k : kids) k->BeginLoading();
  kids[1]->failOnLoad = true;
  EXPECT_THROW(TComponent::FinishLoading(&root), Exception);
  EXPECT_EQ(log, (Log{"loaded c1", "loaded c2"}));
  EXPECT_TRUE(kids[2]->IsLoading());
}

TEST(Component, NamesAreUniqueAmongSiblings) {
  Log log;
  Probe owner(nullptr, log, "owner");
  auto* a = new Probe(&owner, log, "Grid");
  auto* b = new Probe(&owner, log, "");
  try {
    b->SetName("grid");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named grid already exists");
  }
  EXPECT_EQ(b->Name(), "");
  EXPECT_NO_THROW(a->SetName("GRID"));  // its own name in another case
  EXPECT_EQ(owner.FindComponent("gRiD"), a);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  EXPECT_NO_THROW(b->SetName("Source"));
  Probe loose1(nullptr, log, "Same"), loose2(nullptr, log, "Same");  // no owner, no clash
  EXPECT_EQ(loose2.Name(), "Same");
  EXPECT_EQ(
      [&] {
        try {
          owner.Components(2);
        } catch (const EListError& e) {
          return e.Message();
        }
        return std::string();
      }(),
      "List index out of bounds (2)");
  EXPECT_THROW(owner.Components(-1), EListError);
}

}  // namespace
}  // namespace hy
