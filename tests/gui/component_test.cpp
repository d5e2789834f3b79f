#include "platform/gui/component.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

// Counts its own destruction and keeps a reference to another component that it clears on notice.
class Probe : public TComponent {
public:
  Probe(TComponent* owner, std::vector<std::string>* log, const std::string& name) : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~Probe() override {
    BeginDestroy();
    log_->push_back("freed " + Name());
  }
  void Watch(TComponent* c) {
    watched = c;
    FreeNotification(c);
  }
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove && c == watched) watched = nullptr;
  }
  TComponent* watched = nullptr;

private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerFreesItsComponentsAndFindsThemByName) {
  std::vector<std::string> log;
  auto* owner = new Probe(nullptr, &log, "Owner");
  new Probe(owner, &log, "First");
  auto* second = new Probe(owner, &log, "Second");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->FindComponent("SECOND"), second);
  EXPECT_EQ(owner->FindComponent("Third"), nullptr);
  EXPECT_THROW(new Probe(owner, &log, "first"), EComponentError);
  delete owner;
  // The failed construction above also freed nothing twice; owned ones go last first.
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "freed Second");
  EXPECT_EQ(log[log.size() - 2], "freed First");
  EXPECT_EQ(log.back(), "freed Owner");
}

TEST(Component, FreedComponentLeavesOwnerAndTellsWatchers) {
  std::vector<std::string> log;
  TComponent owner(nullptr);
  auto* a = new Probe(&owner, &log, "A");
  auto* watcher = new Probe(nullptr, &log, "W");
  watcher->Watch(a);
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(watcher->watched, nullptr);
  // A sibling under the same owner is told without asking.
  auto* b = new Probe(&owner, &log, "B");
  auto* c = new Probe(&owner, &log, "C");
  c->watched = b;
  delete b;
  EXPECT_EQ(c->watched, nullptr);
  delete watcher;
}

}  // namespace
}  // namespace qv
