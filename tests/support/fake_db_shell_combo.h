#pragma once
// A stand-in for the device shell's combo box: keeps its entries and selection; Pick is the
// user choosing an entry.
#include <string>
#include <utility>
#include <vector>

#include "devices/db_shell.h"

namespace qv::test {

class FakeCombo : public TDbShellCombo {
public:
  int ItemCount() const override { return static_cast<int>(items.size()); }
  void* ItemObject(int index) const override { return items.at(static_cast<size_t>(index)).second; }
  int ItemIndex() const override { return index; }
  void SetItemIndex(int i) override { index = i; }
  void ClearItems() override {
    items.clear();
    index = -1;
  }
  void AddItem(const std::string& text, void* object) override { items.emplace_back(text, object); }
  int TextWidth(const std::string& text) const override { return 7 * static_cast<int>(text.size()); }
  void SetWidth(int w) override { width = w; }
  void SetEnabled(bool e) override { enabled = e; }
  // The user picks an entry.
  void Pick(int i) {
    index = i;
    if (OnChange) OnChange();
  }
  std::vector<std::pair<std::string, void*>> items;
  int index = -1;
  int width = 0;
  bool enabled = true;
};

}  // namespace qv::test
