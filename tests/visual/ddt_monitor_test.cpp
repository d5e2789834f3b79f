#include "visual/ddt_monitor.h"

#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "base/res_string.h"
#include "controls/sty_splitter.h"
#include "platform/gui/forms.h"
#include "visual/d40_retrieve_obj.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

// A notebook page of 600 x 400 on the fixture's form with a diagram-and-table monitor on it.
class DDTMonitorTest : public ::testing::Test, public test::VisFixture {
protected:
  DDTMonitorTest() {
    Selector = &selector_;
    VOClassRegistry = &registry_;
    registry_.RegisterClass(&DtPlotVOClass);
    notebook_ = new TNotebook(form.get());
    notebook_->SetParent(form.get());
    notebook_->SetBounds(0, 0, 600, 400);
    notebook_->AddPage("one");
    monitor_ = CreateMonitor<TDDTMonitor>(notebook_);
  }
  ~DDTMonitorTest() override {
    delete monitor_;
    form.reset();
    VOClassRegistry = nullptr;
    Selector = nullptr;
  }
  TVisObj* Add(TDDTMonitor* m = nullptr) {
    TVisObj* vo = nullptr;
    (m ? m : monitor_)->InsertVisObj(100, &DtPlotVOClass, vo);
    return vo;
  }
  struct Box {
    int Left, Top, Width, Height;
  };
  static Box Bounds(const TVisObj* vo) { return Box{vo->Left(), vo->Top(), vo->Width(), vo->Height()}; }
  TStySplitterPane* Pane() const { return monitor_->Splitter()->UpperLeft().Pane(); }

  TSelector selector_;
  TVOClassRegistry registry_;
  TNotebook* notebook_ = nullptr;
  TDDTMonitor* monitor_ = nullptr;
};

TEST_F(DDTMonitorTest, OnlyANotebookHoldsAMonitor) {
  try {
    CreateMonitor<TDDTMonitor>(form.get());
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TMonitorMan.Create: Host is not valid! Must be TNotebook");
  }
}

// Each cell as (left, top, width, height) with W and H the pane's inner size; the second list is
// orientation 1.
TEST_F(DDTMonitorTest, TilesOneToNineDiagrams) {
  std::vector<TVisObj*> diagrams;
  for (int n = 1; n <= 9; ++n) {
    diagrams.push_back(Add());
    ASSERT_NE(diagrams.back(), nullptr);
    const int w = Pane()->Width() - 2, h = Pane()->Height() - 2;
    for (uint8_t orient : {0, 1}) {
      monitor_->SetOrientation(orient);
      // Cells of one size that do not overlap and stay in the pane.
      for (int i = 0; i < n; ++i) {
        const Box a = Bounds(diagrams[static_cast<size_t>(i)]);
        EXPECT_EQ(a.Width, Bounds(diagrams[0]).Width);
        EXPECT_LE(a.Left + a.Width, w);
        EXPECT_LE(a.Top + a.Height, h);
        for (int k = 0; k < i; ++k) {
          const Box b = Bounds(diagrams[static_cast<size_t>(k)]);
          EXPECT_TRUE(a.Left >= b.Left + b.Width || b.Left >= a.Left + a.Width || a.Top >= b.Top + b.Height ||
                      b.Top >= a.Top + a.Height)
              << n << " diagrams, orientation " << int(orient) << ": " << i << " overlaps " << k;
        }
      }
    }
  }
  const int w = Pane()->Width() - 2, h = Pane()->Height() - 2;
  struct Case {
    int n, i;
    uint8_t orient;
    Box cell;
  } cases[] = {
      {1, 0, 0, {0, 0, w, h}},
      {2, 1, 0, {0, h / 2, w, h / 2}},      // stacked
      {2, 1, 1, {w / 2, 0, w / 2, h}},      // side by side
      {5, 1, 0, {w / 2, 0, w / 2, h / 3}},  // 2 columns by 3 rows, row by row
      {5, 4, 0, {0, static_cast<int>(h * (2.0 / 3)), w / 2, h / 3}},
      {5, 4, 1, {static_cast<int>(w * (2.0 / 3)), 0, w / 3, h / 2}},
      {9, 8, 0, {static_cast<int>(w * (2.0 / 3)), static_cast<int>(h * (2.0 / 3)), w / 3, h / 3}},
  };
  for (const Case& c : cases) {
    monitor_->SetOrientation(c.orient);
    monitor_->PlaceDiagram(c.n, c.i, diagrams[0]);
    const Box r = Bounds(diagrams[0]);
    EXPECT_EQ(r.Left, c.cell.Left) << c.n << "/" << c.i << "/" << int(c.orient);
    EXPECT_EQ(r.Top, c.cell.Top) << c.n << "/" << c.i << "/" << int(c.orient);
    EXPECT_EQ(r.Width, c.cell.Width) << c.n << "/" << c.i << "/" << int(c.orient);
    EXPECT_EQ(r.Height, c.cell.Height) << c.n << "/" << c.i << "/" << int(c.orient);
  }
  // A pane smaller than its frame gives empty cells, never negative ones.
  Pane()->SetBounds(0, 0, 0, 0);
  monitor_->PlaceDiagram(4, 3, diagrams[0]);
  EXPECT_GE(Bounds(diagrams[0]).Width, 0);
  EXPECT_GE(Bounds(diagrams[0]).Height, 0);
  EXPECT_GE(Bounds(diagrams[0]).Left, 0);
  // A tenth diagram has no room.
  EXPECT_FALSE(monitor_->CanAcceptClass(&DtPlotVOClass));
  EXPECT_FALSE(monitor_->AddDiagramItem()->Enabled());
  EXPECT_EQ(Add(), nullptr);
  EXPECT_EQ(monitor_->CountOfClass(&DtPlotVOClass), 9);
}

TEST_F(DDTMonitorTest, MaximiseMaskAndBringBack) {
  TVisObj* a = Add();
  TVisObj* b = Add();
  TVisObj* c = Add();
  EXPECT_EQ(b->vobId(), 2);
  b->SetState(1);
  EXPECT_EQ(monitor_->MaximDiagram(), b);
  EXPECT_FALSE(a->Visible());
  EXPECT_FALSE(c->Visible());
  EXPECT_EQ(b->Align(), TAlign::alClient);
  // Masking the maximised diagram first gives the others their places back.
  b->SetState(2);
  EXPECT_EQ(monitor_->MaximDiagram(), nullptr);
  EXPECT_TRUE(a->Visible());
  EXPECT_TRUE(c->Visible());
  EXPECT_FALSE(b->Visible());
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{a, c}));
  EXPECT_EQ(monitor_->MaskedDiagrams(), (std::vector<TVisObj*>{b}));
  EXPECT_EQ(monitor_->IndexOfVisObj(b), -1);
  EXPECT_EQ(c->Top(), Pane()->Height() / 2 - 1);
  // Normal again: back at its former place.
  b->SetState(0);
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{a, b, c}));
  EXPECT_TRUE(monitor_->MaskedDiagrams().empty());
  EXPECT_TRUE(b->Visible());
  // Masking everything hides the pane and the splitter; the monitor is not empty.
  for (TVisObj* vo : {a, b, c}) vo->SetState(2);
  EXPECT_FALSE(monitor_->Splitter()->Visible());
  EXPECT_FALSE(monitor_->IsEmpty());
  // A masked diagram that comes back when the others are gone is appended.
  c->SetState(0);
  EXPECT_TRUE(monitor_->Splitter()->Visible());
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{c}));
}

TEST_F(DDTMonitorTest, DeletingObjectsAndTheMonitor) {
  TVisObj* a = Add();
  TVisObj* b = Add();
  b->SetState(1);
  monitor_->DeleteVisObj(b, false);
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{a}));
  EXPECT_EQ(monitor_->MaximDiagram(), nullptr);
  EXPECT_TRUE(a->Visible());
  auto* stray = CreateVisObj<TDtPlotVO>(form.get());
  EXPECT_THROW(monitor_->DeleteVisObj(stray, false), Exception);
  delete stray;
  Add()->SetState(2);
  // Freeing the monitor frees its objects, masked ones too.
  int destroyed = 0;
  for (TVisObj* vo : monitor_->MaskedDiagrams())
    vo->OnDestroy = [&, m = monitor_](TComponent* s) {
      ++destroyed;
      m->VODestroy(s);
    };
  delete monitor_;
  monitor_ = nullptr;
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(selector_.SelObj(), nullptr);
}

TEST_F(DDTMonitorTest, IdsCountUpThenReuseTheLowestFree) {
  std::vector<TVisObj*> list;
  int32_t last = 0;
  EXPECT_EQ(TMonitorMan::GetNextId(last, &list), 1);
  last = 99;
  EXPECT_EQ(TMonitorMan::GetNextId(last, &list), 1);
  TVisObj* a = Add();
  a->SetvobId(1);
  list.push_back(a);
  EXPECT_EQ(TMonitorMan::GetNextId(last, &list), 2);
  EXPECT_THROW(TMonitorMan::GetNextId(last, nullptr), Exception);
}

TEST_F(DDTMonitorTest, StoredPageComesBackAndSkipsDamagedObjects) {
  TIniFile2 ini(dir.File("Monitors.ini"));
  Add()->SetvobTitle("first");
  Add()->SetvobTitle("second");
  TVisObj* masked = Add();
  masked->SetvobTitle("masked");
  masked->SetState(2);
  monitor_->SetOrientation(1);
  monitor_->SetCustomTitle("Hall");
  monitor_->Splitter()->SetPercent(80);
  monitor_->StoreIniSection(&ini, "Monitor1");
  EXPECT_EQ(ini.ReadString("Monitor1", "MonOptions", ""), "DelEnabled-AddVOEnabled-EditTitleEnab-StoreLoadEnab-");
  EXPECT_EQ(ini.ReadInteger("Monitor1", "DiagramCount", 0), 3);
  EXPECT_EQ(ini.ReadString("Monitor1/Diagram2", "CustomTitle", ""), "masked");
  // The second object's class is unknown: it is skipped, the others come back.
  ini.WriteString("Monitor1/Diagram1", "ClassName", "TNoSuchVO");
  ini.WriteString("Monitor1", "MonOptions", "DelEnabled-Flying-");

  notebook_->AddPage("two");
  notebook_->SetPageIndex(1);
  auto* back = CreateMonitor<TDDTMonitor>(notebook_);
  EXPECT_EQ(back->PageIndex, 1);
  back->LoadIniSection(&ini, "Monitor1");
  EXPECT_EQ(back->GetTitle(), "Hall");
  EXPECT_EQ(back->MonOptions(), back->DefaultMonOptions);
  EXPECT_EQ(back->DiagramOrient(), 1);
  EXPECT_EQ(back->Splitter()->Percent(), 80);
  ASSERT_EQ(back->DiagramList().size(), 1u);
  EXPECT_EQ(back->DiagramList()[0]->GetvobTitle(), "first");
  ASSERT_EQ(back->MaskedDiagrams().size(), 1u);
  EXPECT_EQ(back->MaskedDiagrams()[0]->GetvobTitle(), "masked");
  EXPECT_TRUE(back->LoadIncomplete);
  delete back;
  EXPECT_THROW(monitor_->LoadIniSection(nullptr, "x"), Exception);

  // A damaged share is held to the splitter's range.
  ini.WriteInteger("Monitor1", "SplitterPercent", 250);
  auto* again = CreateMonitor<TDDTMonitor>(notebook_);
  again->LoadIniSection(&ini, "Monitor1");
  EXPECT_EQ(again->Splitter()->Percent(), 100);
  delete again;
}

TEST_F(DDTMonitorTest, MenusFollowTheSelectionAndTheDiagrams) {
  TVisObj* a = Add();
  EXPECT_FALSE(monitor_->HorzItem()->Enabled());
  EXPECT_FALSE(monitor_->VertItem()->Checked());
  Add();
  monitor_->UpdateMenus();
  EXPECT_TRUE(monitor_->VertItem()->Checked());
  EXPECT_TRUE(monitor_->HorzItem()->Enabled());
  monitor_->HorzItem()->Click();
  EXPECT_EQ(monitor_->DiagramOrient(), 1);
  selector_.SetSelObj(a);
  monitor_->UpdateMenus();
  EXPECT_TRUE(monitor_->MaxNormItem()->Enabled());
  EXPECT_TRUE(monitor_->MaskItem()->Enabled());
  monitor_->MaxNormItem()->Click();
  EXPECT_EQ(a->State(), 1);
  monitor_->UpdateMenus();
  EXPECT_EQ(monitor_->MaxNormItem()->Caption(), LoadResString("dmo_EMMenObjNormal"));
  monitor_->MaskItem()->Click();
  EXPECT_EQ(a->State(), 2);
  EXPECT_EQ(monitor_->MaskedDiagrams(), (std::vector<TVisObj*>{a}));
}

// Retrieving to a visible diagram's title puts the masked one before it; the end entry appends.
TEST_F(DDTMonitorTest, RetrieveToAChosenPlace) {
  TVisObj* a = Add();
  TVisObj* b = Add();
  TVisObj* c = Add();
  EXPECT_FALSE(monitor_->RetrieveItem()->Enabled());
  a->SetState(2);
  b->SetState(2);
  EXPECT_TRUE(monitor_->RetrieveItem()->Enabled());
  auto retrieve = [&](int obj, int dest, std::vector<std::string>* offered) {
    PostDeferredCall([=] {
      if (!D40_RetrieveObj) return;
      if (offered) {
        const int preselected = D40_RetrieveObj->GetDestIndex();
        for (int i = 0; i < D40_RetrieveObj->MaskObjCombo->Items().Count(); ++i)
          offered->push_back(D40_RetrieveObj->MaskObjCombo->Items()[i]);
        for (int i = 0; i < D40_RetrieveObj->DestDiagrCombo->Items().Count(); ++i)
          offered->push_back(D40_RetrieveObj->DestDiagrCombo->Items()[i]);
        offered->push_back(std::to_string(preselected));
      }
      D40_RetrieveObj->SetObjIndex(obj);
      D40_RetrieveObj->SetDestIndex(dest);
      D40_RetrieveObj->OKBtn->Click();
    });
    monitor_->RetrieveObject();
  };
  std::vector<std::string> offered;
  retrieve(1, 0, &offered);
  EXPECT_EQ(offered, (std::vector<std::string>{a->GetvobTitle(), b->GetvobTitle(), c->GetvobTitle(),
                                               "<" + LoadResString("tvo_AddToEnd") + ">", "1"}));
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{b, c}));
  retrieve(0, 2, nullptr);
  EXPECT_EQ(monitor_->DiagramList(), (std::vector<TVisObj*>{b, c, a}));
  EXPECT_TRUE(monitor_->MaskedDiagrams().empty());
  EXPECT_EQ(D40_RetrieveObj, nullptr);
}

}  // namespace
}  // namespace qv
