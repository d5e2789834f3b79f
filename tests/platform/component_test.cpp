#include "platform/rtl/component.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

// Records its own deletion and the removals it is told of.
class Probe : public TComponent {
public:
  Probe(TComponent* owner, std::vector<std::string>* log, std::string name) : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_->push_back("delete " + Name()); }
  TComponent* watched = nullptr;

protected:
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove && c == watched) {
      log_->push_back(Name() + " drops watched");
      watched = nullptr;
    }
  }

private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerDeletesOwnedAndFreeNotificationClearsPointers) {
  std::vector<std::string> log;
  auto* observer = new Probe(nullptr, &log, "observer");
  auto* owner = new Probe(nullptr, &log, "owner");
  auto* a = new Probe(owner, &log, "a");
  new Probe(owner, &log, "b");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(a->Owner(), owner);
  observer->watched = a;
  a->FreeNotification(observer);

  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"delete owner", "delete b", "delete a", "observer drops watched"}));
  EXPECT_EQ(observer->watched, nullptr);

  // A component deleted alone leaves its owner's list.
  auto* owner2 = new Probe(nullptr, &log, "owner2");
  delete new Probe(owner2, &log, "c");
  EXPECT_EQ(owner2->ComponentCount(), 0);
  delete owner2;
  delete observer;  // its notification partner is gone: nothing dangles
}

TEST(Component, NamesAreUniqueIgnoringCaseAndSiblingsHearOfRemovals) {
  std::vector<std::string> log;
  TComponent owner(nullptr);
  auto* first = new Probe(&owner, &log, "First");
  EXPECT_EQ(owner.FindComponent("FIRST"), first);
  EXPECT_EQ(owner.FindComponent("Third"), nullptr);
  EXPECT_THROW(new Probe(&owner, &log, "first"), EComponentError);
  EXPECT_EQ(owner.ComponentCount(), 1);
  // A sibling under the same owner is told without asking.
  auto* b = new Probe(&owner, &log, "b");
  first->watched = b;
  delete b;
  EXPECT_EQ(first->watched, nullptr);
}

}  // namespace
}  // namespace qv
