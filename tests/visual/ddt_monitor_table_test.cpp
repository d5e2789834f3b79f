#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "base/res_string.h"
#include "controls/sty_splitter.h"
#include "platform/gui/forms.h"
#include "visual/d40_retrieve_obj.h"
#include "visual/ddt_monitor.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/val_table.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

// A monitor page of 600 x 400 with diagrams and a table.
class DDTMonitorTableTest : public ::testing::Test, public test::VisFixture {
protected:
  DDTMonitorTableTest() {
    Selector = &selector_;
    VOClassRegistry = &registry_;
    registry_.RegisterClass(&DtPlotVOClass);
    registry_.RegisterClass(&ValTableClass);
    notebook_ = new TNotebook(form.get());
    notebook_->SetParent(form.get());
    notebook_->SetBounds(0, 0, 600, 400);
    notebook_->AddPage("one");
    monitor_ = CreateMonitor<TDDTMonitor>(notebook_);
  }
  ~DDTMonitorTableTest() override {
    delete monitor_;
    form.reset();
    VOClassRegistry = nullptr;
    Selector = nullptr;
  }
  TVisObj* AddDiagram() {
    TVisObj* vo = nullptr;
    monitor_->InsertVisObj(100, &DtPlotVOClass, vo);
    return vo;
  }
  TVisObj* AddTable() {
    monitor_->AddTable();
    return monitor_->TableVO();
  }
  TStySplitter* Split() const { return monitor_->Splitter(); }

  TSelector selector_;
  TVOClassRegistry registry_;
  TNotebook* notebook_ = nullptr;
  TDDTMonitor* monitor_ = nullptr;
};

// One table fills the lower-right pane beside the diagrams; a second one is refused.
TEST_F(DDTMonitorTableTest, OneTableBesideTheDiagrams) {
  auto button = std::make_unique<TButton>(form.get());
  monitor_->SetMonButton2(button.get());
  monitor_->UpdateButtons();
  EXPECT_EQ(button->Hint(), LoadResString("b_hint_AddTable"));
  EXPECT_TRUE(button->Enabled());
  TVisObj* d = AddDiagram();
  button->Click();
  TVisObj* t = monitor_->TableVO();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Parent(), Split()->LowerRight().Pane());
  EXPECT_EQ(t->Align(), TAlign::alClient);
  EXPECT_EQ(t->vobId(), 1);
  EXPECT_EQ(monitor_->IndexOfVisObj(t), 0);
  EXPECT_EQ(monitor_->CountOfClass(&TableVOClass), 1);
  EXPECT_EQ(monitor_->CountOfClass(&DiagramVOClass), 1);
  EXPECT_TRUE(Split()->LowerRight().Visible());
  EXPECT_TRUE(Split()->UpperLeft().Visible());
  EXPECT_FALSE(monitor_->CanAcceptClass(&TableVOClass));
  EXPECT_FALSE(button->Enabled());
  monitor_->UpdateMenus();
  EXPECT_FALSE(monitor_->AddTableItem()->Enabled());
  monitor_->AddTable();
  EXPECT_EQ(monitor_->TableVO(), t);
  // Deleting the diagram leaves the table alone on a visible splitter; then the table goes too.
  monitor_->DeleteVisObj(d, false);
  EXPECT_TRUE(Split()->Visible());
  EXPECT_FALSE(Split()->UpperLeft().Visible());
  monitor_->DeleteVisObj(t, false);
  EXPECT_EQ(monitor_->TableVO(), nullptr);
  EXPECT_FALSE(Split()->Visible());
  EXPECT_TRUE(monitor_->IsEmpty());
  monitor_->UpdateMenus();
  EXPECT_TRUE(monitor_->AddTableItem()->Enabled());
  monitor_->SetMonButton2(nullptr);
}

// Maximising one object hides the other pane; masking the maximised table gives the diagrams
// their pane back.
TEST_F(DDTMonitorTableTest, MaximiseAndMaskTheTable) {
  TVisObj* d = AddDiagram();
  TVisObj* t = AddTable();
  t->SetState(1);
  EXPECT_EQ(monitor_->MaximTable(), t);
  EXPECT_FALSE(Split()->UpperLeft().Visible());
  d->SetState(1);  // one object at a time
  EXPECT_EQ(monitor_->MaximDiagram(), nullptr);
  d->SetState(0);
  t->SetState(2);
  EXPECT_EQ(monitor_->MaximTable(), nullptr);
  EXPECT_EQ(monitor_->MaskedTable(), t);
  EXPECT_EQ(monitor_->TableVO(), nullptr);
  EXPECT_EQ(monitor_->IndexOfVisObj(t), -1);
  EXPECT_TRUE(Split()->UpperLeft().Visible());
  EXPECT_FALSE(Split()->LowerRight().Visible());
  EXPECT_FALSE(t->Visible());
  EXPECT_FALSE(monitor_->CanAcceptClass(&TableVOClass));  // the masked one still counts
  d->SetState(1);
  EXPECT_EQ(monitor_->MaximDiagram(), d);
  t->SetState(0);  // coming back first returns the maximised diagram
  EXPECT_EQ(monitor_->MaximDiagram(), nullptr);
  EXPECT_EQ(monitor_->TableVO(), t);
  EXPECT_TRUE(t->Visible());
  EXPECT_TRUE(Split()->LowerRight().Visible());
  EXPECT_TRUE(Split()->UpperLeft().Visible());
  // Alone, a masked table hides the splitter.
  monitor_->DeleteVisObj(d, false);
  t->SetState(2);
  EXPECT_FALSE(Split()->Visible());
  EXPECT_FALSE(monitor_->IsEmpty());
}

// The masked table is the last entry of the retrieve dialog; choosing it leaves no destination.
TEST_F(DDTMonitorTableTest, RetrieveTheMaskedTable) {
  TVisObj* d = AddDiagram();
  TVisObj* t = AddTable();
  t->SetvobTitle("Values");
  d->SetState(2);
  t->SetState(2);
  EXPECT_TRUE(monitor_->RetrieveItem()->Enabled());
  std::vector<std::string> offered;
  bool dest_enabled = true;
  PostDeferredCall([&] {
    if (!D40_RetrieveObj) return;
    for (int i = 0; i < D40_RetrieveObj->MaskObjCombo->Items().Count(); ++i)
      offered.push_back(D40_RetrieveObj->MaskObjCombo->Items()[i]);
    D40_RetrieveObj->SetObjIndex(1);
    dest_enabled = D40_RetrieveObj->DestDiagrCombo->Enabled();
    D40_RetrieveObj->OKBtn->Click();
  });
  monitor_->RetrieveObject();
  EXPECT_EQ(offered, (std::vector<std::string>{d->GetvobTitle(), "Values"}));
  EXPECT_FALSE(dest_enabled);
  EXPECT_EQ(monitor_->TableVO(), t);
  EXPECT_EQ(monitor_->MaskedTable(), nullptr);
  EXPECT_EQ(monitor_->MaskedDiagrams(), (std::vector<TVisObj*>{d}));
}

// The table is stored as "Table0", masked or not, and comes back in its state.
TEST_F(DDTMonitorTableTest, StoredTableComesBack) {
  TIniFile2 ini(dir.File("Monitors.ini"));
  AddDiagram();
  TVisObj* t = AddTable();
  t->SetvobTitle("Values");
  t->SetState(2);
  monitor_->StoreIniSection(&ini, "Monitor1");
  EXPECT_EQ(ini.ReadInteger("Monitor1", "TableCount", -1), 1);
  EXPECT_EQ(ini.ReadString("Monitor1/Table0", "ClassName", ""), "TValTable");
  EXPECT_EQ(ini.ReadString("Monitor1/Table0", "CustomTitle", ""), "Values");

  notebook_->AddPage("two");
  notebook_->SetPageIndex(1);
  auto* back = CreateMonitor<TDDTMonitor>(notebook_);
  back->LoadIniSection(&ini, "Monitor1");
  ASSERT_NE(back->MaskedTable(), nullptr);
  EXPECT_EQ(back->MaskedTable()->GetvobTitle(), "Values");
  EXPECT_EQ(back->TableVO(), nullptr);
  EXPECT_EQ(back->DiagramList().size(), 1u);
  // Freeing the monitor frees the masked table too.
  bool destroyed = false;
  back->MaskedTable()->OnDestroy = [&, back](TComponent* s) {
    destroyed = true;
    back->VODestroy(s);
  };
  delete back;
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace qv
