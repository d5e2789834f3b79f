#include "visual/vis_obj.h"

#include <gtest/gtest.h>

#include "base/ini_file2.h"
#include "comm/process_window_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

class VisObjTest : public ::testing::Test, public test::VisFixture {
protected:
  VisObjTest() {
    Selector = &selector_;
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      questions.push_back(msg);
      return answer;
    });
  }
  ~VisObjTest() override {
    SetMessageDlgAnswerer(nullptr);
    form.reset();
    Selector = nullptr;
  }
  // A sizable object on the form, registered with the selector; a delete request is carried out
  // as a monitor page does it.
  template <class T = TSizeVisObj>
  T* NewObj(int id) {
    T* vo = CreateVisObj<T>(form.get());
    vo->SetParent(form.get());
    vo->SetBounds(10, 10, 200, 120);
    vo->SetvobId(id);
    selector_.RegisterVisObj(vo);
    vo->OnDelete = [](TComponent* s) { static_cast<TVisObj*>(s)->Delete(true); };
    return vo;
  }

  TSelector selector_;
  std::vector<std::string> questions;
  int answer = mrOk;
};

TEST_F(VisObjTest, StoredOptionTexts) {
  struct Case {
    const char* text;
    bool readable;
    TVOOptions options;
  } cases[] = {
      {"", true, 0},
      {"DelEnabled-Expandable-", true, voDelEnabled | voExpandable},
      {"Expandable-Maskable-MaximEnabled-MaskEnabled-DelEnabled-EditTitleEnab-", true,
       voExpandable | voMaskable | voMaximEnabled | voMaskEnabled | voDelEnabled | voEditTitleEnab},
      {"$$Invalid$$", false, 0},
      {"DelEnabled-Flying-", false, 0},
      {"DelEnabled", false, 0},
  };
  for (const Case& c : cases) {
    TVOOptions o = 0xFF;
    EXPECT_EQ(StrToVOOptions(c.text, o), c.readable) << c.text;
    if (c.readable) {
      EXPECT_EQ(o, c.options) << c.text;
    }
  }
  EXPECT_EQ(VOOptionsToStr(voPrintEnabled | voExpandable), "Expandable-PrintEnabled-");
  EXPECT_EQ(CntrVisibToStr(cvEditChanVis | cvMaxNormBtnVisible), "MaxNormBtnVisible-EditChanVis-");
}

TEST_F(VisObjTest, NewSizableObjectStoresItsDefaultsAndTitleBarLayout) {
  TSizeVisObj* vo = NewObj(3);
  EXPECT_EQ(VOOptionsToStr(vo->VOOptions()), "Expandable-Maskable-MaximEnabled-MaskEnabled-DelEnabled-EditTitleEnab-");
  EXPECT_EQ(CntrVisibToStr(vo->CntrVisib()),
            "MaxNormBtnVisible-MaskBtnVisible-DelBtnVisible-DelMenVisible-EditTitleVis-EditChanVis-");
  EXPECT_EQ(vo->BorderColor(), TColor(0x808080));
  const int w = vo->TitleBar()->Width();
  EXPECT_EQ(vo->DelButton()->Left(), w - 25);
  EXPECT_EQ(vo->MaxNormButton()->Left(), w - 44);
  EXPECT_EQ(vo->MaskButton()->Left(), w - 61);
  EXPECT_EQ(vo->DelButton()->Top(), 8);
  EXPECT_EQ(vo->TitleLabel()->Left(), 8);
  EXPECT_EQ(vo->TitleLabel()->Width(), w - 71);
  EXPECT_EQ(vo->TitleBar()->Height(), 25);
  EXPECT_EQ(vo->TitleLabel()->Caption(), vo->GetAutoTitle());
}

TEST_F(VisObjTest, StateChangesFollowThePermissions) {
  TSizeVisObj* vo = NewObj(1);
  struct Step {
    uint8_t to;
    uint8_t expected;
  } steps[] = {{1, 1}, {2, 2}, {1, 2}, {0, 0}, {2, 2}, {0, 0}};
  for (const Step& s : steps) {
    vo->SetState(s.to);
    EXPECT_EQ(vo->State(), s.expected) << int(s.to);
  }
  // Back from maximised: NormalEnabled stays and is stored.
  vo->SetState(1);
  vo->SetState(0);
  EXPECT_TRUE(vo->VOOptions() & voNormalEnabled);
  EXPECT_TRUE(vo->VOOptions() & voMaximEnabled);
  // Without Expandable a maximised object returns to normal and cannot be maximised again.
  vo->SetState(1);
  vo->SetVOOptions(static_cast<TVOOptions>(vo->VOOptions() & ~voExpandable));
  EXPECT_EQ(vo->State(), 0);
  vo->SetState(1);
  EXPECT_EQ(vo->State(), 0);
}

TEST_F(VisObjTest, SelectionMovesAndMaskingGivesItUp) {
  TSizeVisObj* a = NewObj(1);
  TSizeVisObj* b = NewObj(2);
  int changes = 0;
  selector_.OnChange = [&](TComponent*) { ++changes; };
  TMenuItem* edit_menu = new TMenuItem(form.get());
  a->DoStartSelect();
  a->SetEditMenu(edit_menu);
  EXPECT_EQ(selector_.SelObj(), a);
  EXPECT_EQ(a->BorderColor(), TColor(0xFF0000));
  EXPECT_GT(edit_menu->Count(), 0);
  form->Show();  // a click selects through the keyboard focus, which a hidden form cannot take
  Application->ProcessMessages();
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(50, 60));
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(50, 60));
  EXPECT_EQ(selector_.SelObj(), b);
  EXPECT_FALSE(a->vobSelected());
  EXPECT_EQ(a->BorderColor(), TColor(0x808080));
  EXPECT_FALSE(edit_menu->Enabled());  // released by the deselected object
  EXPECT_EQ(changes, 2);
  b->SetState(2);
  EXPECT_EQ(selector_.SelObj(), nullptr);
  b->SetState(0);
  EXPECT_EQ(selector_.SelObj(), b);
  selector_.OnChange = nullptr;
}

TEST_F(VisObjTest, DeletingFromItsOwnPopupFreesAfterTheHandler) {
  TSizeVisObj* vo = NewObj(1);
  vo->DoStartSelect();
  bool destroyed = false;
  vo->OnDestroy = [&](TComponent*) { destroyed = true; };
  TMenuItem* del = vo->Popup()->Items()->Items(1);
  del->Click();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Delete " + vo->GetvobTitle() + "?") << "check the text of vob_ConfDelVObj";
  EXPECT_FALSE(destroyed);  // the click handler is still on the stack of a live object
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(selector_.SelObj(), nullptr);
  EXPECT_EQ(form->ComponentCount(), 0);
}

TEST_F(VisObjTest, RefusedDeletionKeepsTheObject) {
  TSizeVisObj* vo = NewObj(1);
  answer = mrCancel;
  vo->DelButton()->Click();
  Application->ProcessMessages();
  EXPECT_FALSE(vo->PendingRelease);
  EXPECT_EQ(form->ComponentCount(), 1);
}

// The delete question's loop runs the program's other work; a device change that rebuilds the
// page frees the object while the question is open. Answering it then leaves the freed object
// and its button alone.
TEST_F(VisObjTest, AnObjectFreedWhileItsDeleteQuestionIsOpenIsLeftAlone) {
  TSizeVisObj* vo = NewObj(1);
  form->SetBounds(0, 0, 300, 200);
  form->Show();
  bool destroyed = false;
  vo->OnDestroy = [&](TComponent*) { destroyed = true; };
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
    questions.push_back(msg);
    delete vo;  // the page rebuilt meanwhile
    return static_cast<int>(mrOk);
  });
  UserClick(vo->DelButton());
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_TRUE(destroyed);
  Application->ProcessMessages();
  EXPECT_EQ(form->ComponentCount(), 0);
}

TEST_F(VisObjTest, KeysRoundTripThroughTheMonitorFile) {
  TDiagramVO* vo = NewObj<TDiagramVO>(4);
  vo->SetvobTitle("Hall");
  vo->SetCntrVisib(static_cast<TCntrVisib>(vo->CntrVisib() | cvAddDelChanVis));
  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(5)));
  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(2)));
  TIniFile2 ini(dir.File("Monitors.ini"));
  vo->StoreIniSection(&ini, "M/Diagram0");
  EXPECT_EQ(ini.ReadString("M/Diagram0", "ClassName", ""), "TDiagramVO");
  EXPECT_EQ(ini.ReadString("M/Diagram0", "VOOptions", ""),
            "Expandable-Maskable-MaximEnabled-MaskEnabled-DelEnabled-EditTitleEnab-");
  EXPECT_EQ(ini.ReadInteger("M/Diagram0", "ChanCount", 0), 2);
  EXPECT_TRUE(ini.ValueExists("M/Diagram0", "Tag"));
  // A third stored channel of a data set that is not open adds nothing.
  ini.WriteInteger("M/Diagram0", "ChanCount", 3);
  ini.WriteString("M/Diagram0/GlobChan2", "DataIdent", "DL099/");
  ini.WriteInteger("M/Diagram0/GlobChan2", "ChanKey", 2);

  TDiagramVO* back = NewObj<TDiagramVO>(5);
  back->LoadIniSection(&ini, "M/Diagram0");
  EXPECT_EQ(back->GetvobTitle(), "Hall");
  EXPECT_EQ(back->VOOptions(), vo->VOOptions());
  EXPECT_EQ(back->CntrVisib(), vo->CntrVisib());
  ASSERT_EQ(back->GetGlobChanCount(), 2);
  EXPECT_EQ(back->vobGlobChanList()->GetGlobChan_I(0)->Channel(), Chan(5));
  EXPECT_EQ(back->vobGlobChanList()->GetGlobChan_I(1)->Channel(), Chan(2));
}

TEST_F(VisObjTest, LoadingFallsBackAndSurvivesCorruptCounts) {
  TIniFile2 ini(dir.File("Monitors.ini"));
  ini.WriteString("S", "VOOptions", "Expandable-Teleport-");
  ini.WriteString("S", "CntrVisib", "");
  ini.WriteInteger("S", "ChanCount", 2147483647);
  ini.WriteString("S/GlobChan0", "DataIdent", data->GetDataIdent());  // no ChanKey: skipped
  ini.WriteString("S/GlobChan1", "DataIdent", data->GetDataIdent());
  ini.WriteInteger("S/GlobChan1", "ChanKey", 2);
  TSizeVisObj* vo = NewObj(1);
  vo->LoadIniSection(&ini, "S");
  EXPECT_EQ(vo->VOOptions(), vo->DefaultVOOptions);
  EXPECT_EQ(vo->CntrVisib(), 0);
  ASSERT_EQ(vo->GetGlobChanCount(), 1);
  EXPECT_EQ(vo->vobGlobChanList()->GetGlobChan_I(0)->Channel(), Chan(2));
  EXPECT_THROW(vo->LoadIniSection(nullptr, "S"), Exception);
  try {
    vo->StoreIniSection(nullptr, "S");
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error in TVisObj.StoreIniSection: IniFile not assigned!");
  }
}

TEST_F(VisObjTest, DataSetNotificationsReachTheObjectUntilItDetaches) {
  TSizeVisObj* vo = NewObj(1);
  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(2)));
  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(5)));
  EXPECT_GE(data->IndexOfClient(vo), 0);
  vo->DeleteGlobChan(0);
  EXPECT_GE(data->IndexOfClient(vo), 0);  // one channel of the data set is left
  vo->DeleteGlobChan(0);
  EXPECT_LT(data->IndexOfClient(vo), 0);

  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(2)));
  ASSERT_TRUE(vo->AddGlobChan(data.get(), Chan(5)));
  data.reset();  // the data set goes away: both channels go in one update
  EXPECT_EQ(vo->GetGlobChanCount(), 0);
  EXPECT_FALSE(vo->Popup()->Items()->Items(5)->Enabled());  // edit channel needs a channel
}

TEST_F(VisObjTest, PopupEntriesFollowOptionsAndTheMainWindowMenusGetCopies) {
  TSizeVisObj* vo = NewObj(1);
  TMenuItem* items = vo->Popup()->Items();
  ASSERT_EQ(items->Count(), 8);
  EXPECT_FALSE(items->Items(3)->Visible());  // add channel needs AddDelChanVis
  EXPECT_TRUE(items->Items(2)->Visible());   // edit channel is visible
  vo->SetCntrVisib(static_cast<TCntrVisib>(vo->CntrVisib() & ~cvEditChanVis));
  EXPECT_FALSE(items->Items(2)->Visible());
  EXPECT_FALSE(items->Items(7)->Enabled());  // printing is not enabled
  vo->DoStartSelect();
  TMenuItem* edit = new TMenuItem(form.get());
  TMenuItem* view = new TMenuItem(form.get());
  vo->SetEditMenu(edit);
  vo->SetViewMenu(view);
  // No class separator: the Edit menu gets the entries before the print separator.
  ASSERT_EQ(edit->Count(), 6);
  EXPECT_EQ(edit->Items(1)->Caption(), items->Items(1)->Caption());
  EXPECT_FALSE(view->Visible());
  uint16_t key = 'P';
  EXPECT_FALSE(vo->HandleKey(key, ssCtrl));
  key = VK_ADD;
  EXPECT_TRUE(vo->HandleKey(key, ssCtrl));
  EXPECT_EQ(vo->State(), 1);
  key = VK_OEM_MINUS;
  EXPECT_FALSE(vo->HandleKey(key, ssCtrl | ssShift));
  EXPECT_TRUE(vo->HandleKey(key, ssCtrl));
  EXPECT_EQ(vo->State(), 0);
}

TEST_F(VisObjTest, FailedPrintStartDoesNotBlockTheNextPrint) {
  TSizeVisObj* vo = NewObj(1);
  vo->SetVOOptions(static_cast<TVOOptions>(vo->VOOptions() | voPrintEnabled));
  auto saved = ProcessWindowFactory;
  ProcessWindowFactory = []() -> TProcessWindowService* { throw Exception("no window"); };
  EXPECT_THROW(vo->PrintBtnMenuClick(nullptr), Exception);
  EXPECT_FALSE(vo->Printing);
  ProcessWindowFactory = saved;
}

}  // namespace
}  // namespace qv
