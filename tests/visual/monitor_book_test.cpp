#include "visual/monitor_book.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/ini_file2.h"
#include "base/registry.h"
#include "base/select_dlg.h"
#include "datastore/data_fixture.h"
#include "controls/sty_splitter.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/file_io.h"
#include "comm/process_window_service.h"
#include "platform/rtl/string_list.h"
#include "visual/d35_store_monitor.h"
#include "visual/ddt_monitor.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/val_table.h"
#include "visual/vis_fixture.h"
#include "visual/visual_services.h"

namespace qv {
namespace {

// A diagram whose stored keys cannot be read, and a page that fails while it is restored.
class TBrokenVO : public TDiagramVO {
public:
  using TDiagramVO::TDiagramVO;
  std::string ClassName() const override { return "TBrokenVO"; }
  void LoadIniSection(TIniFile2*, const std::string&) override { throw Exception("broken object"); }
  void LoadRegKey(TRegistry*) override { throw Exception("broken object"); }
};
const TVisObjClass BrokenVOClass{"TBrokenVO", &DiagramVOClass, [] { return std::string("broken"); },
                                 [](TComponent* owner) -> TVisObj* { return CreateVisObj<TBrokenVO>(owner); }};

class TBrokenMonitor : public TDDTMonitor {
public:
  using TDDTMonitor::TDDTMonitor;
  std::string ClassName() const override { return "TBrokenMonitor"; }
  void LoadIniSection(TIniFile2*, const std::string&) override { throw Exception("broken page"); }
};
const TMonitorClass BrokenMonitorClass{
    "TBrokenMonitor", &DDTMonitorClass, [] { return std::string("broken"); },
    [](TComponent* owner) -> TMonitorMan* { return CreateMonitor<TBrokenMonitor>(owner); }};

class MonitorBookTest : public ::testing::Test, public test::VisFixture {
protected:
  MonitorBookTest() {
    Selector = &selector_;
    VOClassRegistry = &vo_classes_;
    MonitorClassReg = &monitor_classes_;
    vo_classes_.RegisterClass(&DtPlotVOClass);
    vo_classes_.RegisterClass(&BrokenVOClass);
    monitor_classes_.RegisterClass(&DDTMonitorClass);
    monitor_classes_.RegisterClass(&BrokenMonitorClass);
    book = NewBook();
  }
  ~MonitorBookTest() override {
    delete book;
    form.reset();
    MonitorClassReg = nullptr;
    VOClassRegistry = nullptr;
    Selector = nullptr;
  }
  TMonitorBook* NewBook() {
    auto* b = new TMonitorBook(form.get());
    b->SetParent(form.get());
    return b;
  }
  static TDDTMonitor* DDT(TMonitorMan* m) { return dynamic_cast<TDDTMonitor*>(m); }
  static TVisObj* AddPlot(TMonitorMan* m) {
    TVisObj* vo = nullptr;
    m->InsertVisObj(100, &DtPlotVOClass, vo);
    return vo;
  }
  std::vector<std::string> Tabs() const {
    std::vector<std::string> out;
    for (int i = 0; i < book->TabSet()->TabCount(); ++i) out.push_back(book->TabSet()->Tab(i));
    return out;
  }

  TSelector selector_;
  TVOClassRegistry vo_classes_;
  TMonitorClassReg monitor_classes_;
  TMonitorBook* book = nullptr;
};

TEST_F(MonitorBookTest, PagesInGroupOrderWithTheUsersPageInFront) {
  ASSERT_EQ(book->GetMonitorCount(), 1);
  EXPECT_FALSE(book->TabSet()->Visible());
  TMonitorMan* first = book->GetMonitor(0);
  EXPECT_EQ(first->Id, 1);
  EXPECT_EQ(first->GroupIndex, 100);
  TMonitorMan* user = book->AddGroupMonitor(100, &DDTMonitorClass);
  TMonitorMan* tail = book->AddGroupMonitor(1100, &DDTMonitorClass);
  TMonitorMan* head = book->AddGroupMonitor(-100, &DDTMonitorClass);
  EXPECT_TRUE(book->TabSet()->Visible());
  for (TMonitorMan* m : {first, user, tail, head}) EXPECT_EQ(book->GetMonitor(m->PageIndex), m);
  EXPECT_EQ(head->PageIndex, 0);
  EXPECT_EQ(first->PageIndex, 1);
  EXPECT_EQ(user->PageIndex, 2);
  EXPECT_EQ(tail->PageIndex, 3);
  EXPECT_EQ(Tabs(),
            (std::vector<std::string>{head->GetTitle(), first->GetTitle(), user->GetTitle(), tail->GetTitle()}));
  EXPECT_EQ(user->Id, 2);
  // New pages come as tabs; the page the user had stays in front.
  EXPECT_EQ(book->GetSelMonMan(), first);
  EXPECT_EQ(book->GetTabIndex(), 1);
  EXPECT_THROW(book->AddGroupMonitor(100, nullptr), Exception);
  EXPECT_TRUE(book->SelMonInheritsFrom(&DDTMonitorClass));
  EXPECT_TRUE(book->SelMonInheritsFrom(&MonitorManClass));
  EXPECT_FALSE(book->SelMonInheritsFrom(&BrokenMonitorClass));

  // Switching pages deactivates the objects of the page left.
  TVisObj* plot = AddPlot(first);
  book->SetTabIndex(3);
  EXPECT_EQ(book->GetSelMonMan(), tail);
  EXPECT_TRUE(plot->Deactivated);
  book->SetTabIndex(1);
  EXPECT_FALSE(plot->Deactivated);

  // Deleting a page moves the later ones up.
  delete user;
  EXPECT_EQ(book->GetMonitorCount(), 3);
  EXPECT_EQ(tail->PageIndex, 2);
  EXPECT_EQ(book->GetMonitor(2), tail);
  EXPECT_EQ(book->TabSet()->TabCount(), 3);
}

TEST_F(MonitorBookTest, TheLastPageIsReplacedByAFreshOne) {
  TMonitorMan* second = book->AddGroupMonitor(100, &DDTMonitorClass);
  delete book->GetMonitor(0);
  EXPECT_EQ(book->GetMonitor(0), second);
  EXPECT_FALSE(book->TabSet()->Visible());
  delete second;
  ASSERT_EQ(book->GetMonitorCount(), 1);
  TMonitorMan* fresh = book->GetMonitor(0);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Id, 1);
  EXPECT_TRUE(fresh->IsEmpty());
  EXPECT_EQ(fresh->GetTitle(), fresh->GetAutoTitle());
}

TEST_F(MonitorBookTest, SessionPagesRoundTrip) {
  TMonitorMan* first = book->GetMonitor(0);
  AddPlot(first)->SetvobTitle("inside");
  AddPlot(first);
  TMonitorMan* second = book->AddGroupMonitor(100, &DDTMonitorClass);
  second->SetCustomTitle("Hall");
  AddPlot(second);
  // Neither a page outside the user's groups nor one without the store option is kept.
  AddPlot(book->AddGroupMonitor(1100, &DDTMonitorClass));
  TMonitorMan* locked = book->AddGroupMonitor(100, &DDTMonitorClass);
  AddPlot(locked);
  locked->SetMonOptions(moDelEnabled);
  delete book;
  book = nullptr;
  TIniFile2 ini(TMonitorBook::SessionFileName());
  EXPECT_EQ(ini.ReadInteger("SessionMonitors", "Count", 0), 2);
  EXPECT_FALSE(std::filesystem::exists(TMonitorBook::SessionFileName() + ".saving"));

  book = NewBook();
  book->LoadSessionMonitors();
  // The empty starting page went; the stored ones came back in order.
  ASSERT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(DDT(book->GetMonitor(0))->DiagramList().size(), 2u);
  EXPECT_EQ(DDT(book->GetMonitor(0))->DiagramList()[0]->GetvobTitle(), "inside");
  EXPECT_EQ(book->GetMonitor(1)->GetTitle(), "Hall");
  EXPECT_EQ(Tabs()[1], "Hall");
}

// Pages keep their ids, and with them their automatic titles, across a restart; pages added
// afterwards take ids that are not in use.
TEST_F(MonitorBookTest, SessionPagesKeepTheirIdsAndTitles) {
  TMonitorMan* first = book->GetMonitor(0);
  AddPlot(first);
  TMonitorMan* second = book->AddGroupMonitor(100, &DDTMonitorClass);
  AddPlot(second);
  TMonitorMan* third = book->AddGroupMonitor(100, &DDTMonitorClass);
  AddPlot(third);
  const std::string prefix = first->AutoTitlePrefix;
  ASSERT_EQ(third->GetTitle(), prefix + "3");
  delete second;
  delete book;
  book = nullptr;

  book = NewBook();
  book->LoadSessionMonitors();
  ASSERT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(book->GetMonitor(0)->Id, 1);
  EXPECT_EQ(book->GetMonitor(1)->Id, 3);
  EXPECT_EQ(Tabs(), (std::vector<std::string>{prefix + "1", prefix + "3"}));
  EXPECT_EQ(book->AddGroupMonitor(100, &DDTMonitorClass)->Id, 4);
}

// A page or object that cannot be restored is reported and skipped; the others come back.
TEST_F(MonitorBookTest, DamagedStoredPagesAreSkipped) {
  test::TRecordingMsgHandler log;
  {
    TIniFile2 ini(TMonitorBook::SessionFileName());
    ini.WriteInteger("SessionMonitors", "Count", 4);
    for (int i : {0, 1, 2, 3}) {
      const std::string s = "SessionMonitors/Monitor" + std::to_string(i);
      ini.WriteString(s, "ClassName", i == 1 ? "TNoSuchMonitor" : i == 2 ? "TBrokenMonitor" : "TDDTMonitor");
      ini.WriteInteger(s, "GroupIndex", 100);
      ini.WriteString(s, "CustomTitle", "page " + std::to_string(i));
      ini.WriteInteger(s, "DiagramCount", i == 3 ? 2 : 1);
      ini.WriteString(s + "/Diagram0", "ClassName", i == 3 ? "TBrokenVO" : "TDtPlotVO");
      ini.WriteString(s + "/Diagram1", "ClassName", "TDtPlotVO");
      ini.WriteString(s + "/Diagram1", "CustomTitle", "kept");
    }
  }
  book->LoadSessionMonitors();
  ASSERT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(book->GetMonitor(0)->GetTitle(), "page 0");
  EXPECT_EQ(book->GetMonitor(1)->GetTitle(), "page 3");
  ASSERT_EQ(DDT(book->GetMonitor(1))->DiagramList().size(), 1u);
  EXPECT_EQ(DDT(book->GetMonitor(1))->DiagramList()[0]->GetvobTitle(), "kept");
  EXPECT_TRUE(book->Visible());
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_NE(log.lines[0].find("TNoSuchMonitor"), std::string::npos);
  EXPECT_NE(log.lines[1].find("broken page"), std::string::npos);
  EXPECT_NE(log.lines[2].find("broken object"), std::string::npos);

  // What could not be restored stays in the file: this run's saves leave it alone, and say so.
  const std::string stored = ReadFileBytes(TMonitorBook::SessionFileName());
  EXPECT_TRUE(book->SessionLoadFailed());
  delete book;
  book = nullptr;
  EXPECT_EQ(ReadFileBytes(TMonitorBook::SessionFileName()), stored);
  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_NE(log.lines[3].find("Monitors.ini"), std::string::npos);
}

// A save that cannot be written leaves the stored pages as they were and is shown to the user
// with the file and the reason. From the destructor, where no dialog may run, it is logged; after
// the program's last save at close the book saves no more.
TEST_F(MonitorBookTest, AFailedSaveKeepsTheStoredPagesAndIsShown) {
  test::TRecordingMsgHandler log;
  const std::string file = TMonitorBook::SessionFileName();
  const std::string stored = "[SessionMonitors]\r\nCount=7\r\n";
  WriteFileAtomic(file, stored);
  std::filesystem::create_directories(file + ".saving/blocked");
  const std::string shown = "/" + std::to_string(mkError) + "/error/time";
  const std::string logged = "/" + std::to_string(mkLogOnly) + "/time";
  auto ends_with = [](const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  book->SaveSessionMonitors();
  EXPECT_EQ(ReadFileBytes(file), stored);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind("The monitors could not be saved to " + file + ": ", 0), 0u) << log.lines[0];
  EXPECT_NE(log.lines[0].find(std::strerror(EISDIR)), std::string::npos) << log.lines[0];
  EXPECT_TRUE(ends_with(log.lines[0], shown)) << log.lines[0];

  delete book;
  book = NewBook();
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_TRUE(ends_with(log.lines[1], logged)) << log.lines[1];

  book->CloseSession();
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_TRUE(ends_with(log.lines[2], shown)) << log.lines[2];
  delete book;
  book = nullptr;
  EXPECT_EQ(log.lines.size(), 3u);
  EXPECT_EQ(ReadFileBytes(file), stored);
  std::filesystem::remove_all(file + ".saving");
}

// A message handler that answers Yes to the overwrite question.
class YesHandler : public test::TRecordingMsgHandler {
public:
  uint16_t HandleMessage(const std::string& msg, const std::string& source, TMsgDlgType type, TMsgDlgButtons buttons,
                         int32_t help, uint16_t def, bool with_time, TMsgKind kind) override {
    test::TRecordingMsgHandler::HandleMessage(msg, source, type, buttons, help, def, with_time, kind);
    return mrYes;
  }
};

// Runs the store command with the store dialog answering name (and OK).
void StoreAs(TMonitorMan* m, const std::string& name, std::vector<std::string>* offered = nullptr) {
  PostDeferredCall([name, offered] {
    if (!D35_StoreMonitor) return;
    if (offered)
      for (int i = 0; i < D35_StoreMonitor->FNameList->Count(); ++i)
        offered->push_back(D35_StoreMonitor->FNameList->Items()[i]);
    D35_StoreMonitor->SetName(name);
    D35_StoreMonitor->OKBtn->Click();
  });
  m->StoreMonMenClick();
}

TEST_F(MonitorBookTest, CustomMonitorsAreStoredAndLoaded) {
  YesHandler log;
  TMonitorMan* page = book->GetMonitor(0);
  AddPlot(page)->SetvobTitle("one");
  // The first is named through the plain input query, preset with the page's title.
  std::string preset = "unset";
  SetInputQueryAnswerer([&](const std::string&, const std::string&, std::string& value) {
    preset = value;
    value = "Hall";
    return true;
  });
  page->SetCustomTitle("Hall page");
  page->StoreMonMenClick();
  SetInputQueryAnswerer(nullptr);
  EXPECT_EQ(preset, "Hall page");
  TIniFile2 ini(TMonitorMan::CustomFileName());
  EXPECT_EQ(ini.ReadString("CustomMonitors", "Name0", ""), "Hall");
  EXPECT_EQ(ini.ReadInteger("CustomMonitors", "Count", 0), 1);
  EXPECT_EQ(ini.ReadString("CustomMonitors/Monitor0/Diagram0", "CustomTitle", ""), "one");

  // Later ones through the dialog; a known name (any case) is overwritten after a question.
  AddPlot(page)->SetvobTitle("two");
  std::vector<std::string> offered;
  StoreAs(page, "Cellar", &offered);
  EXPECT_EQ(offered, (std::vector<std::string>{"Hall"}));
  EXPECT_EQ(ini.ReadInteger("CustomMonitors", "Count", 0), 2);
  DDT(page)->DiagramList()[1]->SetvobTitle("three");
  DDT(page)->DeleteVisObj(DDT(page)->DiagramList()[0], false);
  StoreAs(page, "hall");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(ini.ReadInteger("CustomMonitors", "Count", 0), 2);
  EXPECT_EQ(ini.ReadString("CustomMonitors", "Name0", ""), "hall");
  EXPECT_EQ(ini.ReadInteger("CustomMonitors/Monitor0", "DiagramCount", 0), 1);
  // The overwritten page's second object section is gone with it.
  EXPECT_FALSE(ini.SectionExists("CustomMonitors/Monitor0/Diagram1"));

  // Loading offers the names and opens the chosen page in front.
  std::vector<std::string> listed;
  SelectDlgProc = [&](const std::string&, const std::string&, const std::string&, uint8_t, TStringList& list,
                      int32_t& index) {
    for (int i = 0; i < list.Count(); ++i) listed.push_back(list[i]);
    index = 0;
    return static_cast<int>(mrOk);
  };
  book->LoadCustomMonitor();
  SelectDlgProc = nullptr;
  EXPECT_EQ(listed, (std::vector<std::string>{"hall", "Cellar"}));
  ASSERT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(book->GetTabIndex(), 1);
  ASSERT_EQ(DDT(book->GetSelMonMan())->DiagramList().size(), 1u);
  EXPECT_EQ(DDT(book->GetSelMonMan())->DiagramList()[0]->GetvobTitle(), "three");
}

// The View menu lists the pages from two on, after its own entries; an entry selects its page.
TEST_F(MonitorBookTest, ViewMenuListsThePages) {
  TMenuItem view(nullptr);
  auto* own = new TMenuItem(&view);
  own->SetCaption("Toolbar");
  view.Add(own);
  book->SetMonitorMenu(&view);
  EXPECT_EQ(view.Count(), 1);
  // The only registered page class is taken without asking.
  monitor_classes_.Clear();
  monitor_classes_.RegisterClass(&DDTMonitorClass);
  book->AddMonitorDlg();
  ASSERT_EQ(book->GetMonitorCount(), 2);
  EXPECT_EQ(book->GetMonitor(1)->GroupIndex, 100);
  ASSERT_EQ(view.Count(), 4);
  EXPECT_EQ(view.Items(1)->Tag, 999);
  EXPECT_EQ(view.Items(2)->Caption(), "&1 " + book->GetMonitor(0)->GetTitle());
  EXPECT_TRUE(view.Items(2)->Checked());
  book->GetMonitor(1)->SetCustomTitle("Cellar");
  EXPECT_EQ(view.Items(3)->Caption(), "&2 Cellar");
  view.Items(3)->Click();
  EXPECT_EQ(book->GetTabIndex(), 1);
  EXPECT_TRUE(view.Items(3)->Checked());
  EXPECT_FALSE(view.Items(2)->Checked());
  book->SetDiagramOrient(1);
  EXPECT_EQ(book->GetDiagramOrient(), 1);
  delete book->GetSelMonMan();
  EXPECT_EQ(view.Count(), 1);
  book->SetMonitorMenu(nullptr);
}

// The older registry profile of the program's key, in the home folder's "Registry.ini".
class RegistryImportTest : public MonitorBookTest {
protected:
  RegistryImportTest() : saved_key_(RegistryKey) { RegistryKey = "\\Software\\Quarvel\\Qv2"; }
  ~RegistryImportTest() override { RegistryKey = saved_key_; }
  // Keys are given below the profile, "SessionMonitors\\Monitor0" for example.
  void Key(const std::string& key, const std::string& values) {
    profile_ += "[Software\\Quarvel\\Qv2\\Profile\\" + key + "]\r\n" + values;
    dir.Write("Registry.ini", profile_);
  }

private:
  std::string saved_key_;
  std::string profile_;
};

// Good pages come in with their objects, channels and settings; an unknown class, a damaged
// page and a damaged object are reported and skipped without costing the others.
TEST_F(RegistryImportTest, SessionPagesAreImportedAndDamagedOnesSkipped) {
  test::TRecordingMsgHandler log;
  EXPECT_FALSE(book->ImportSessionMonitors());  // no profile: nothing to import
  const std::string s = "SessionMonitors";
  Key(s, "Count=4\r\n");
  Key(s + "\\Monitor0",
      "GroupIndex=100\r\nClassName=TDDTMonitor\r\nCustomTitle=Hall\r\nDiagramCount=2\r\nTableCount=0\r\n"
      "DiagramOrient=1\r\nSplitterPercent=40\r\n");
  Key(s + "\\Monitor0\\Diagram0",
      "ClassName=TDtPlotVO\r\nCustomTitle=Temperatures\r\nSelected=1\r\nChanCount=1\r\nXMargin=7\r\n"
      "LYAxGrid=0\r\nYLCustViewMin=-10\r\nYLCustViewMax=40,5\r\n");
  Key(s + "\\Monitor0\\Diagram0\\GlobChan0", "DataIdent=" + data->GetDataIdent() + "\r\nChanKey=5\r\nColor=clRed\r\n");
  Key(s + "\\Monitor0\\Diagram1", "ClassName=TDtPlotVO\r\nCustomTitle=masked\r\nState=2\r\n");
  Key(s + "\\Monitor1", "GroupIndex=100\r\nClassName=TNoSuchMonitor\r\n");
  Key(s + "\\Monitor2", "GroupIndex=one hundred\r\nClassName=TDDTMonitor\r\n");
  Key(s + "\\Monitor3", "GroupIndex=100\r\nClassName=TDDTMonitor\r\nCustomTitle=Cellar\r\nDiagramCount=2\r\n");
  Key(s + "\\Monitor3\\Diagram0", "ClassName=TBrokenVO\r\n");
  Key(s + "\\Monitor3\\Diagram1", "ClassName=TDtPlotVO\r\nCustomTitle=kept\r\n");
  const std::string profile = dir.Read("Registry.ini");

  EXPECT_TRUE(book->ImportSessionMonitors());
  EXPECT_TRUE(book->Visible());
  ASSERT_EQ(book->GetMonitorCount(), 2);  // the empty starting page went
  TDDTMonitor* hall = DDT(book->GetMonitor(0));
  EXPECT_EQ(hall->GetTitle(), "Hall");
  EXPECT_EQ(hall->DiagramOrient(), 1);
  EXPECT_EQ(hall->Splitter()->Percent(), 40);
  ASSERT_EQ(hall->DiagramList().size(), 1u);
  ASSERT_EQ(hall->MaskedDiagrams().size(), 1u);
  EXPECT_EQ(hall->MaskedDiagrams()[0]->GetvobTitle(), "masked");
  auto* plot = dynamic_cast<TPlotVO*>(hall->DiagramList()[0]);
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(plot->GetvobTitle(), "Temperatures");
  // The stored selection comes back when its page is shown again.
  book->SetTabIndex(0);
  EXPECT_TRUE(plot->vobSelected());
  EXPECT_EQ(plot->XMargin(), 7);
  EXPECT_FALSE(plot->LeftGridOn());
  EXPECT_DOUBLE_EQ(plot->YLCustViewMin(), -10);
  EXPECT_DOUBLE_EQ(plot->YLCustViewMax(), 40.5);
  ASSERT_EQ(plot->GetGlobChanCount(), 1);
  auto* curve = dynamic_cast<TPlotGlbChan*>(plot->vobGlobChanList()->GetGlobChan_I(0));
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(curve->Channel(), Chan(5));
  EXPECT_EQ(curve->Color, clRed);
  TDDTMonitor* cellar = DDT(book->GetMonitor(1));
  EXPECT_EQ(cellar->GetTitle(), "Cellar");
  ASSERT_EQ(cellar->DiagramList().size(), 1u);
  EXPECT_EQ(cellar->DiagramList()[0]->GetvobTitle(), "kept");
  ASSERT_EQ(log.lines.size(), 3u);
  EXPECT_NE(log.lines[0].find("TNoSuchMonitor"), std::string::npos);
  EXPECT_NE(log.lines[1].find("GroupIndex"), std::string::npos);
  EXPECT_NE(log.lines[2].find("broken object"), std::string::npos);

  // The imported pages go to the session file; the older profile stays as it was.
  book->SaveSessionMonitors();
  TIniFile2 ini(TMonitorBook::SessionFileName());
  EXPECT_EQ(ini.ReadInteger("SessionMonitors", "Count", 0), 2);
  EXPECT_EQ(ini.ReadString("SessionMonitors/Monitor1", "CustomTitle", ""), "Cellar");
  EXPECT_EQ(dir.Read("Registry.ini"), profile);
}

// Without "CustMon.ini" the load command offers the custom monitors of the older profile.
TEST_F(RegistryImportTest, CustomMonitorsOfTheProfileAreOffered) {
  Key("CustomMonitors", "Count=3\r\nName0=Hall\r\nName2=\r\n");
  Key("CustomMonitors\\Monitor1", "GroupIndex=100\r\nClassName=TDDTMonitor\r\nDiagramCount=1\r\n");
  Key("CustomMonitors\\Monitor1\\Diagram0", "ClassName=TDtPlotVO\r\nCustomTitle=from the profile\r\n");
  struct Case {
    int32_t choice;
    int pages;  // after the load
  };
  // An entry without a name keeps its place; one without a stored page loads nothing.
  for (const Case c : {Case{0, 1}, Case{2, 1}, Case{1, 2}}) {
    std::vector<std::string> listed;
    SelectDlgProc = [&](const std::string&, const std::string&, const std::string&, uint8_t style, TStringList& list,
                        int32_t& index) {
      EXPECT_EQ(style, 1);
      EXPECT_EQ(index, 0);
      for (int i = 0; i < list.Count(); ++i) listed.push_back(list[i]);
      index = c.choice;
      return static_cast<int>(mrOk);
    };
    book->LoadCustomMonitor();
    SelectDlgProc = nullptr;
    EXPECT_EQ(listed, (std::vector<std::string>{"Hall", "Unnamed1", ""}));
    ASSERT_EQ(book->GetMonitorCount(), c.pages) << c.choice;
  }
  ASSERT_EQ(DDT(book->GetSelMonMan())->DiagramList().size(), 1u);
  EXPECT_EQ(DDT(book->GetSelMonMan())->DiagramList()[0]->GetvobTitle(), "from the profile");
  EXPECT_FALSE(std::filesystem::exists(TMonitorMan::CustomFileName()));
}

// A table comes in with its grid lines and hidden columns; a hidden column of a data set that is
// not open, or one listed twice, is reported and dropped. The table hears of the data set that
// only its hidden columns use.
TEST_F(RegistryImportTest, TableWithGridLinesAndHiddenColumns) {
  vo_classes_.RegisterClass(&ValTableClass);
  test::TRecordingMsgHandler log;
  const std::string t = "SessionMonitors\\Monitor0\\Table0";
  const std::string ident = "DataIdent=" + data->GetDataIdent() + "\r\n";
  Key("SessionMonitors", "Count=1\r\n");
  Key("SessionMonitors\\Monitor0", "GroupIndex=100\r\nClassName=TDDTMonitor\r\nTableCount=1\r\n");
  Key(t, "ClassName=TValTable\r\nCustomTitle=Values\r\nHorzGrid=1\r\nVertGrid=0\r\nMaskChanCount=4\r\n");
  Key(t + "\\MaskGlobChan0", ident + "ChanKey=2\r\n");
  Key(t + "\\MaskGlobChan1", "DataIdent=mem:not open\r\nChanKey=1\r\n");
  Key(t + "\\MaskGlobChan2", ident + "ChanKey=2\r\n");
  Key(t + "\\MaskGlobChan3", ident + "ChanKey=5\r\n");

  ASSERT_TRUE(book->ImportSessionMonitors());
  ASSERT_EQ(book->GetMonitorCount(), 1);
  auto* table = dynamic_cast<TTableVO*>(DDT(book->GetMonitor(0))->TableVO());
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetvobTitle(), "Values");
  EXPECT_TRUE(table->GetHorzGrid());
  EXPECT_FALSE(table->GetVertGrid());
  EXPECT_EQ(table->GetGlobChanCount(), 0);
  ASSERT_EQ(table->MaskGlobChanList()->Count(), 2);
  EXPECT_EQ(table->MaskGlobChanList()->GetGlobChan_I(0)->Channel(), Chan(2));
  EXPECT_EQ(table->MaskGlobChanList()->GetGlobChan_I(1)->Channel(), Chan(5));
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_NE(log.lines[0].find("MaskGlobChan1"), std::string::npos);
  EXPECT_NE(log.lines[1].find("MaskGlobChan2"), std::string::npos);
  data.reset();
  EXPECT_EQ(table->MaskGlobChanList()->Count(), 0);
}

// On OK the edited title goes to the diagram; a diagram alone on the shown page gives it to the
// table beside it as well.
TEST_F(MonitorBookTest, ALoneDiagramSharesItsTitleWithTheTable) {
  vo_classes_.RegisterClass(&ValTableClass);
  MonitorBook = book;
  std::string answer;
  int result = mrOk;
  EditTitleDlgProc = [&](const std::string&, const std::string&, std::string& custom) {
    custom = answer;
    return result;
  };
  struct Case {
    const char* what;
    int diagrams;
    bool table;
    bool page_shown;
    int result;
    std::string title;
    bool shared;
  };
  const Case cases[] = {
      {"alone", 1, true, true, mrOk, "Hall", true},          {"back to automatic", 1, true, true, mrOk, "", true},
      {"cancelled", 1, true, true, mrCancel, "Hall", false}, {"two diagrams", 2, true, true, mrOk, "Hall", false},
      {"no table", 1, false, true, mrOk, "Hall", false},     {"page not shown", 1, true, false, mrOk, "Hall", false},
  };
  for (const Case& c : cases) {
    auto* page = DDT(book->AddGroupMonitor(100, &DDTMonitorClass));
    book->SetTabIndex(page->PageIndex);
    TVisObj* diagram = AddPlot(page);
    for (int i = 1; i < c.diagrams; ++i) AddPlot(page);
    if (c.table) page->AddTable();
    if (!c.page_shown) book->SetTabIndex(book->AddGroupMonitor(100, &DDTMonitorClass)->PageIndex);
    TVisObj* table = page->TableVO();
    if (table) table->SetvobTitle("Old");
    answer = c.title;
    result = c.result;
    diagram->EditTitle();
    EXPECT_EQ(diagram->CustomTitle, c.result == mrOk ? c.title : "") << c.what;
    if (!table) continue;
    EXPECT_EQ(table->CustomTitle, c.shared ? c.title : "Old") << c.what;
    // The title bar shows the new title.
    EXPECT_EQ(static_cast<TSizeVisObj*>(table)->TitleLabel()->Caption(), table->GetvobTitle()) << c.what;
    if (c.shared && c.title.empty()) {
      EXPECT_EQ(table->GetvobTitle(), table->GetAutoTitle());
    }
  }
  EditTitleDlgProc = nullptr;
  MonitorBook = nullptr;
}

// A right-button press on the selected tab opens that page's popup at the pointer; elsewhere on
// the tab set it opens nothing.
TEST_F(MonitorBookTest, RightClickOnTheSelectedTabOpensThePagesPopup) {
  TMonitorMan* second = book->AddGroupMonitor(100, &DDTMonitorClass);
  book->SetTabIndex(1);
  TTabSet* tabs = book->TabSet();
  int x_second = -1, x_first = -1;
  for (int x = 0; x < 400 && (x_first < 0 || x_second < 0); ++x) {
    if (x_first < 0 && tabs->TabAt(x) == 0) x_first = x + 2;
    if (x_second < 0 && tabs->TabAt(x) == 1) x_second = x + 2;
  }
  ASSERT_GE(x_first, 0);
  ASSERT_GE(x_second, 0);
  TPopupMenu* shown = nullptr;
  TPoint at{};
  SetPopupMenuHook([&](TPopupMenu* menu, int x, int y) {
    shown = menu;
    at = {x, y};
  });
  struct Case {
    TMouseButton button;
    int x, y;
    bool opens;
  };
  for (const Case c :
       {Case{TMouseButton::mbRight, x_second, 3, true}, Case{TMouseButton::mbRight, x_first, 3, false},
        Case{TMouseButton::mbRight, x_second, 40, false}, Case{TMouseButton::mbLeft, x_second, 3, false}}) {
    shown = nullptr;
    tabs->OnMouseDown(tabs, c.button, {}, c.x, c.y);
    EXPECT_EQ(shown, c.opens ? second->Popup() : nullptr) << c.x << "," << c.y;
    if (c.opens) {
      const TPoint expected = tabs->ClientToScreen(TPoint{c.x, c.y});
      EXPECT_EQ(at.X, expected.X);
      EXPECT_EQ(at.Y, expected.Y);
    }
  }
  // An owner-drawn tab set has the height it is given.
  tabs->SetStyle(TTabStyle::tsOwnerDraw);
  tabs->SetTabHeight(40);
  shown = nullptr;
  tabs->OnMouseDown(tabs, TMouseButton::mbRight, {}, x_second, 30);
  EXPECT_EQ(shown, second->Popup());
  SetPopupMenuHook(nullptr);
  EXPECT_EQ(book->GetSelMonMan(), second);
}

// The delete question's loop runs the program's other work; a device change that rebuilds the
// pages frees the page while the question is open. Answering it leaves the freed page alone.
TEST_F(MonitorBookTest, APageFreedWhileItsDeleteQuestionIsOpenIsLeftAlone) {
  TMonitorMan* second = book->AddGroupMonitor(100, &DDTMonitorClass);
  book->SetTabIndex(1);
  form->Show();
  TTabSet* tabs = book->TabSet();
  int x_second = -1;
  for (int x = 0; x < 400 && x_second < 0; ++x)
    if (tabs->TabAt(x) == 1) x_second = x + 2;
  ASSERT_GE(x_second, 0);
  int questions = 0;
  SetMessageDlgAnswerer([&](const std::string&, TMsgDlgType, TMsgDlgButtons) {
    ++questions;
    delete second;  // the pages rebuilt meanwhile
    return static_cast<int>(mrOk);
  });
  const std::string del = second->Popup()->Items()->Items(1)->Caption();
  TTimer user(nullptr);
  user.SetInterval(20);
  user.OnTimer = [&](TComponent*) {
    user.SetEnabled(false);
    PostDeferredCall([&] { EXPECT_TRUE(UserChoosePopupItem(del)); });
  };
  UserRightClick(tabs, {x_second, 3});
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
  SetMessageDlgAnswerer(nullptr);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(book->GetMonitorCount(), 1);
}

// Deleting a page behind the shown one leaves the user on his page.
TEST_F(MonitorBookTest, DeletingAPageBehindKeepsTheShownOne) {
  struct Case {
    int shown, deleted, tab_after;
  };
  for (const Case c : {Case{0, 1, 0}, Case{2, 0, 1}, Case{1, 1, 1}}) {
    book->AddGroupMonitor(100, &DDTMonitorClass);
    book->AddGroupMonitor(100, &DDTMonitorClass);
    book->SetTabIndex(c.shown);
    TMonitorMan* shown = book->GetSelMonMan();
    TMonitorMan* next = book->GetMonitor(c.shown + 1);
    delete book->GetMonitor(c.deleted);
    EXPECT_EQ(book->GetTabIndex(), c.tab_after) << c.deleted;
    EXPECT_EQ(book->GetSelMonMan(), c.shown == c.deleted ? next : shown) << c.deleted;
    while (book->GetMonitorCount() > 1) delete book->GetMonitor(book->GetMonitorCount() - 1);
  }
}

// The page list goes on in a new column (with a bar) at the item's thirteenth entry, and copies
// of the entries keep that.
TEST_F(MonitorBookTest, LongPageListsStartNewMenuColumns) {
  TMenuItem view(nullptr);
  for (const char* caption : {"Toolbar", "Status bar"}) {
    auto* own = new TMenuItem(&view);
    own->SetCaption(caption);
    view.Add(own);
  }
  book->SetMonitorMenu(&view);
  for (int i = 1; i < 14; ++i) book->AddGroupMonitor(100, &DDTMonitorClass);
  ASSERT_EQ(view.Count(), 2 + 1 + 14);
  TMenuItem copy(nullptr);
  CopyMenuItems(&copy, &view, 0, view.Count() - 1);
  for (int i = 0; i < view.Count(); ++i) {
    const TMenuBreak expected = i == 12 ? TMenuBreak::mbBarBreak : TMenuBreak::mbNone;
    EXPECT_EQ(view.Items(i)->Break(), expected) << i;
    EXPECT_EQ(copy.Items(i)->Break(), expected) << i;
  }
  book->SetMonitorMenu(nullptr);
}

}  // namespace
}  // namespace qv
