#include "platform/gui/outline.h"

#include <gtest/gtest.h>

#include "platform/gui/forms.h"

namespace qv {
namespace {

// root
//   a
//     a1
//   b
// second
struct OutlineFixture : ::testing::Test {
  OutlineFixture() : form(nullptr) {
    form.SetBounds(0, 0, 300, 300);
    o = new TOutline(&form);
    o->SetParent(&form);
    o->SetBounds(0, 0, 200, 200);
    o->BeginUpdate();
    root = o->AddChildObject(0, "root", &objects[0]);
    a = o->AddChildObject(root, "a", &objects[1]);
    second = o->AddChildObject(0, "second", &objects[4]);
    b = o->AddChildObject(root, "b", &objects[3]);  // after a's subtree, before "second"
    a1 = o->AddChildObject(2, "a1", &objects[2]);
    o->EndUpdate();
  }
  std::vector<std::string> Rows() const { return o->ItemTexts(); }
  void Key(uint16_t key) { o->Perform(WM_KEYDOWN, key, 0); }

  TForm form;
  TOutline* o;
  int objects[5] = {};
  int root, a, second, b, a1;
};

TEST_F(OutlineFixture, NodesAreNumberedInTreeOrder) {
  EXPECT_EQ(o->ItemCount(), 5);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(o->NodeData(i), &objects[i - 1]) << i;  // later inserts renumber
  EXPECT_EQ(o->NodeParent(3), 2);
  EXPECT_EQ(o->NodeParent(4), 1);
  EXPECT_EQ(o->NodeParent(5), 0);
  EXPECT_EQ(o->NodeLevel(3), 3);
  EXPECT_TRUE(o->HasChildren(2));
  EXPECT_FALSE(o->HasChildren(3));
  EXPECT_EQ(o->GetDataItem(&objects[3]), 4);
  EXPECT_EQ(o->GetDataItem(nullptr), 0);
  EXPECT_THROW(o->NodeText(6), EListError);
  EXPECT_THROW(o->AddChildObject(9, "x", nullptr), EListError);
  // New nodes start closed; the top level shows.
  EXPECT_EQ(Rows(), (std::vector<std::string>{"root", "second"}));
  o->FullExpand();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"root", "a", "a1", "b", "second"}));
  o->SetNodeText(3, "a-one");
  EXPECT_EQ(o->Item(2), "a-one");
  o->Clear();
  EXPECT_EQ(o->ItemCount(), 0);
  EXPECT_EQ(o->Count(), 0);
  EXPECT_EQ(o->SelectedItem(), 0);
}

TEST_F(OutlineFixture, SelectionOpensAndFollowsClosingParents) {
  int clicks = 0;
  o->OnClick = [&](TComponent*) { ++clicks; };
  o->SetSelectedItem(3);  // inside two closed nodes: both open
  EXPECT_EQ(o->SelectedItem(), 3);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"root", "a", "a1", "b", "second"}));
  EXPECT_EQ(clicks, 0);      // the program's selection is no click
  o->SetExpanded(1, false);  // hides the selected node: its shown parent takes the selection
  EXPECT_EQ(Rows(), (std::vector<std::string>{"root", "second"}));
  EXPECT_EQ(o->SelectedItem(), 1);
  o->SetSelectedItem(0);
  EXPECT_EQ(o->SelectedItem(), 0);

  // The selection stays with its node while nodes are added before it, also inside a bracket;
  // a clear drops it.
  o->SetSelectedItem(4);
  o->AddChildObject(2, "a2", nullptr);
  EXPECT_EQ(o->NodeText(o->SelectedItem()), "b");
  o->BeginUpdate();
  o->AddChildObject(2, "a3", nullptr);
  o->AddChildObject(1, "c", nullptr);
  o->EndUpdate();
  EXPECT_EQ(o->NodeText(o->SelectedItem()), "b");
  o->BeginUpdate();
  o->Clear();
  o->AddChildObject(0, "new", nullptr);
  o->EndUpdate();
  EXPECT_EQ(o->SelectedItem(), 0);
}

TEST_F(OutlineFixture, MouseAndKeysSelectOpenAndClose) {
  int clicks = 0;
  o->OnClick = [&](TComponent*) { ++clicks; };
  const int h = o->ItemHeight();
  // The box of "root" opens it without selecting; a click on the text selects.
  o->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(6, h / 2));
  o->Perform(WM_LBUTTONUP, 0, MakeLParam(6, h / 2));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"root", "a", "b", "second"}));
  EXPECT_EQ(clicks, 0);
  o->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(60, h + h / 2));
  o->Perform(WM_LBUTTONUP, 0, MakeLParam(60, h + h / 2));
  EXPECT_EQ(o->SelectedItem(), 2);
  EXPECT_EQ(clicks, 1);
  Key(VK_RIGHT);  // opens "a"
  EXPECT_EQ(Rows().size(), 5u);
  Key(VK_DOWN);
  EXPECT_EQ(o->SelectedItem(), 3);
  EXPECT_EQ(clicks, 2);
  Key(VK_LEFT);  // a leaf: to its parent
  EXPECT_EQ(o->SelectedItem(), 2);
  Key(VK_LEFT);  // an open node: closes
  EXPECT_EQ(Rows().size(), 4u);
  EXPECT_EQ(o->SelectedItem(), 2);
}

}  // namespace
}  // namespace qv
