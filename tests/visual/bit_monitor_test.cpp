#include "visual/bit_monitor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/ini_file2.h"
#include "base/registry.h"
#include "datastore/data_fixture.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/menus.h"
#include "platform/gui/scroll_box.h"
#include "visual/ddt_monitor.h"
#include "visual/graphic_registry.h"
#include "visual/monitor_book.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"
#include "visual/visual_services.h"

namespace qv {
namespace {

class BitMonitorTest : public ::testing::Test, public test::VisFixture {
protected:
  BitMonitorTest() {
    Selector = &selector_;
    VOClassRegistry = &vo_classes_;
    MonitorClassReg = &monitor_classes_;
    GraphicRegistry = &graphics_;
    monitor_classes_.RegisterClass(&DDTMonitorClass);
    monitor_classes_.RegisterClass(&BitMonitorClass);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      dialogs.push_back(msg);
      return mrOk;
    });
    std::filesystem::create_directories(dir.File("Images"));
    Picture("Images/Logger.bmp", 24, 16);
    graphics_.RegisterGraphic(dir.File("Images/Logger.bmp"));
    book = NewBook();
    mon = NewPage();
  }
  ~BitMonitorTest() override {
    delete book;
    form.reset();
    SetMessageDlgAnswerer(nullptr);
    GraphicRegistry = nullptr;
    MonitorClassReg = nullptr;
    VOClassRegistry = nullptr;
    Selector = nullptr;
  }
  TMonitorBook* NewBook() {
    auto* b = new TMonitorBook(form.get());
    b->SetParent(form.get());
    return b;
  }
  TBitMonitor* NewPage() {
    auto* m = dynamic_cast<TBitMonitor*>(book->AddGroupMonitor(100, &BitMonitorClass));
    book->SetTabIndex(m->PageIndex);
    return m;
  }
  // A bitmap file of that size below the test folder; answers its full path.
  std::string Picture(const std::string& name, int w, int h) {
    TBitmap bmp(w, h);
    bmp.Canvas().Brush().Color = clNavy;
    bmp.Canvas().FillRect({0, 0, w / 2, h / 2});
    bmp.SaveToFile(dir.File(name));
    return dir.File(name);
  }
  TDevIconVO* AddIcon(TBitMonitor* m, int left, int top) {
    m->AddDevIcon();
    Application->ProcessMessages();
    auto* icon = dynamic_cast<TDevIconVO*>(m->MovVOList().back());
    icon->SetBounds(left, top, icon->Width(), icon->Height());
    return icon;
  }

  std::vector<std::string> dialogs;
  TSelector selector_;
  TVOClassRegistry vo_classes_;
  TMonitorClassReg monitor_classes_;
  TGraphicRegistry graphics_;
  TMonitorBook* book = nullptr;
  TBitMonitor* mon = nullptr;
};

// The registry offers the picture monitor beside the diagram monitor.
TEST_F(BitMonitorTest, RegisteredAsAMonitorClass) {
  // The process-wide defaults are put back: other tests expect a registry without them.
  const std::vector<const TMonitorClass*> saved = DefaultMonitorClasses;
  RegisterMonitorClasses();
  TMonitorClassReg reg;
  DefaultMonitorClasses = saved;
  ASSERT_GE(reg.Count(), 2);
  EXPECT_EQ(reg.Classes(0), &DDTMonitorClass);
  EXPECT_EQ(reg.Classes(1), &BitMonitorClass);
  EXPECT_EQ(mon->GetTitle(), "Picture" + std::to_string(mon->Id));
  EXPECT_TRUE(mon->IsEmpty());
  EXPECT_EQ(mon->PaintBox()->Width(), 30);
  EXPECT_EQ(mon->PaintBox()->Height(), 20);
}

// The popup's own entries, the add-icon command and the copies in the main window's Edit menu.
TEST_F(BitMonitorTest, MenuCommands) {
  form->Show();
  Application->ProcessMessages();
  TMenuItem* items = mon->Popup()->Items();
  ASSERT_EQ(items->Count(), 8);
  EXPECT_EQ(items->Items(4), mon->AddDevIconItem());
  EXPECT_EQ(items->Items(7), mon->ZoomOutItem());
  EXPECT_EQ(mon->AddDevIconItem()->Caption(), "Add device &icon");
  EXPECT_FALSE(mon->ZoomInItem()->Enabled());  // no picture yet
  TMenuItem edit(form.get());
  book->SetEditMenu(&edit);
  EXPECT_TRUE(edit.Visible());
  ASSERT_EQ(edit.Count(), 8);
  EXPECT_EQ(edit.Caption(), mon->GetTitle());

  edit.Items(4)->Click();
  Application->ProcessMessages();
  ASSERT_EQ(mon->MovVOList().size(), 1u);
  auto* icon = dynamic_cast<TDevIconVO*>(mon->MovVOList()[0]);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->Parent(), mon->ScrollBox());
  EXPECT_EQ(icon->Left(), 0);
  EXPECT_EQ(icon->Width(), 30);
  EXPECT_EQ(icon->Hint(), "Device1");
  EXPECT_EQ(Selector->SelObj(), icon);

  // The device icon's select command: its popup entry before the print separator, a double
  // click, and Enter.
  int selected = 0;
  icon->OnSelDevice = [&](TComponent* s) { selected += s == icon; };
  TMenuItem* vo_items = icon->Popup()->Items();
  EXPECT_EQ(vo_items->IndexOf(icon->SelDeviceItem()) + 1, vo_items->IndexOf(icon->PrintSeparator()));
  EXPECT_EQ(icon->SelDeviceItem()->Caption(), "&Select device");
  icon->SelDeviceItem()->Click();
  icon->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(5, 5));
  uint16_t key = VK_RETURN;
  EXPECT_TRUE(icon->HandleKey(key, 0));
  key = 'A';
  EXPECT_FALSE(icon->HandleKey(key, 0));
  EXPECT_EQ(selected, 3);
  book->SetEditMenu(nullptr);
}

TEST_F(BitMonitorTest, Errors) {
  TVisObj* vo = nullptr;
  mon->InsertVisObj(100, &DevIconVOClass, vo);
  ASSERT_NE(vo, nullptr);
  auto text = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const Exception& e) {
      return std::string(e.what());
    }
    return std::string("none");
  };
  EXPECT_EQ(text([&] { mon->InsertVisObj(100, &DevIconVOClass, vo); }),
            "Error in TBitMonitor.InsertVisObj: Pointer VObject must be nil");
  // Objects of other kinds and negative places are not taken.
  TVisObj* none = nullptr;
  mon->InsertVisObj(-1, &DevIconVOClass, none);
  mon->InsertVisObj(0, &DiagramVOClass, none);
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(mon->CanAcceptClass(&DiagramVOClass));
  EXPECT_EQ(mon->CountOfClass(&IconVisObjClass), 1);
  TDDTMonitor* other = dynamic_cast<TDDTMonitor*>(book->GetMonitor(0));
  TVisObj* foreign = nullptr;
  other->InsertVisObj(100, &DiagramVOClass, foreign);  // not creatable: stays null
  TPanel panel(form.get());
  auto* stranger = CreateVisObj<TDevIconVO>(form.get());
  EXPECT_EQ(text([&] { mon->DeleteVisObj(stranger, false); }),
            "Error in TBitMonitor.DeleteVisObj: Object not on Monitor");
  EXPECT_EQ(text([&] { mon->VODestroy(&panel); }), "Error in TBitMonitor.VODestroy: Sender not TVisObj");
  EXPECT_EQ(text([&] { mon->VODestroy(stranger); }), "Error in TBitMonitor.VODestroy: Object not on Monitor");
  delete stranger;
  book->SetTabIndex(0);
  EXPECT_EQ(text([&] { book->CancelMode(); }), "Error in TMonitorBook.CancelMode: SelMonMan is not TBitMonitor");
}

// Shift and the left button drag an icon; the place on the whole picture follows the scroll
// position; a plain press only selects; the window's cancel-mode message ends the drag.
TEST_F(BitMonitorTest, IconsAreDraggedWithShift) {
  form->Show();
  Application->ProcessMessages();
  mon->SetBitmapFile(Picture("plan.bmp", 900, 700));
  TDevIconVO* a = AddIcon(mon, 0, 0);
  TDevIconVO* b = AddIcon(mon, 40, 40);
  ASSERT_EQ(Selector->SelObj(), b);
  TScrollBox* box = mon->ScrollBox();
  ASSERT_LT(box->ClientWidth(), 900);
  box->SetHorzPosition(100);
  box->SetVertPosition(50);
  EXPECT_EQ(b->Left(), -60);
  EXPECT_EQ(b->AbsLeft(), 40);

  a->SetBounds(150, 80, a->Width(), a->Height());  // on the visible part
  a->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(4, 6));
  EXPECT_FALSE(mon->Dragging());
  EXPECT_EQ(Selector->SelObj(), a);
  a->Perform(WM_LBUTTONUP, 0, MakeLParam(4, 6));

  a->Perform(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MakeLParam(4, 6));
  ASSERT_TRUE(mon->Dragging());
  EXPECT_EQ(mon->DragControl(), a);
  EXPECT_TRUE(box->MouseCapture());
  box->Perform(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MakeLParam(204, 126));
  EXPECT_EQ(a->Left(), 200);
  EXPECT_EQ(a->Top(), 120);
  EXPECT_EQ(a->AbsLeft(), 300);
  EXPECT_EQ(a->AbsTop(), 170);
  // The grab point stays inside the visible part of the box.
  box->Perform(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MakeLParam(5000, -300));
  EXPECT_EQ(a->Left(), box->ClientWidth() - 1 - 4);
  EXPECT_EQ(a->Top(), -6);
  box->Perform(WM_LBUTTONUP, MK_SHIFT, MakeLParam(30, 30));
  EXPECT_FALSE(mon->Dragging());
  EXPECT_FALSE(box->MouseCapture());

  // A press on the icon's picture is the icon's own press.
  a->SetIconName("Images\\Logger.bmp");
  a->IconBox()->Perform(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MakeLParam(2, 2));
  EXPECT_TRUE(mon->Dragging());
  form->Perform(WM_CANCELMODE, 0, 0);  // a plain form does nothing with it
  EXPECT_TRUE(mon->Dragging());
  book->CancelMode();
  EXPECT_FALSE(mon->Dragging());
  EXPECT_EQ(mon->DragControl(), nullptr);
}

// Zooming scales the picture and the icons' places, not their sizes; in and out again comes
// back to the same pixels; the limits of 20 and 2500 shown pixels hold.
TEST_F(BitMonitorTest, ZoomRoundTrips) {
  mon->SetBitmapFile(Picture("plan.bmp", 400, 300));
  TDevIconVO* icon = AddIcon(mon, 101, 61);
  mon->ZoomIn();
  mon->ZoomIn();
  EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 4);
  EXPECT_EQ(mon->PaintBox()->Width(), 800);
  EXPECT_EQ(mon->PaintBox()->Height(), 600);
  EXPECT_EQ(icon->AbsLeft(), 202);
  EXPECT_EQ(icon->AbsTop(), 122);
  EXPECT_EQ(icon->Width(), 30);
  mon->ZoomOut();
  mon->ZoomOut();
  EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 1);
  EXPECT_EQ(mon->PaintBox()->Width(), 400);
  EXPECT_EQ(mon->PaintBox()->Height(), 300);
  EXPECT_EQ(icon->AbsLeft(), 101);
  EXPECT_EQ(icon->AbsTop(), 61);

  // SetZoom works from the picture's own size; bad factors change nothing.
  mon->SetZoom(0.25);
  EXPECT_EQ(mon->PaintBox()->Width(), 200);
  EXPECT_EQ(icon->AbsLeft(), 50);  // 50.5, rounded half to even
  for (double bad : {0.0, -1.0, 64.0, 0.001}) mon->SetZoom(bad);
  EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 0.25);

  struct Case {
    int w, h;
    bool in, out;
  };
  for (const Case& c : {Case{1760, 100, true, true}, Case{1770, 100, false, true}, Case{100, 29, true, true},
                        Case{100, 27, true, false}}) {
    mon->SetBitmapFile(Picture("size" + std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp", c.w, c.h));
    EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 1);
    EXPECT_EQ(mon->CanZoomIn(), c.in) << c.w << "x" << c.h;
    EXPECT_EQ(mon->CanZoomOut(), c.out) << c.w << "x" << c.h;
    EXPECT_EQ(mon->ZoomInItem()->Enabled(), c.in);
    EXPECT_EQ(mon->ZoomOutItem()->Enabled(), c.out);
  }
  // Zoomed out once, the shown picture is the measure: no step below 20 shown pixels.
  mon->SetBitmapFile(Picture("small.bmp", 60, 60));
  for (int i = 0; i < 4; ++i) mon->ZoomOut();  // 42, 30, 21, then refused
  EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 0.125);
  EXPECT_EQ(mon->PaintBox()->Width(), 21);
}

// A new picture is shown unzoomed and the icons go back to their unzoomed places; a picture that
// is gone or cannot be read leaves the former one.
TEST_F(BitMonitorTest, ChangingThePicture) {
  test::TRecordingMsgHandler log;
  const std::string plan = Picture("plan.bmp", 400, 300);
  mon->SetBitmapFile(plan);
  TDevIconVO* icon = AddIcon(mon, 100, 60);
  mon->SetZoom(4);
  EXPECT_EQ(icon->AbsLeft(), 200);
  mon->SetBitmapFile(Picture("hall.bmp", 2000, 100));
  EXPECT_DOUBLE_EQ(mon->ZoomFactor(), 1);
  EXPECT_EQ(mon->PaintBox()->Width(), 2000);
  EXPECT_EQ(icon->AbsLeft(), 100);

  dir.Write("broken.bmp", "BM this is no picture");
  mon->SetBitmapFile(dir.File("broken.bmp"));
  mon->SetBitmapFile(dir.File("missing.bmp"));
  EXPECT_EQ(mon->BitMapFile(), dir.File("hall.bmp"));
  EXPECT_EQ(mon->Bitmap().Width(), 2000);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("broken.bmp"), std::string::npos);

  // The choice through the picture dialog: bitmaps only, whatever the letter case; the dialog's
  // filter is given back.
  TOpenPictureDialog dialog(form.get());
  dialog.Filter = "All|*";
  PictureDialogProc = [&] { return &dialog; };
  std::string chosen;
  std::string filter_seen;
  SetCommonDialogUser([&](TCommonDialog& d, const TCommonDialogWindow&) {
    auto& open = dynamic_cast<TOpenDialog&>(d);
    filter_seen = open.Filter;
    open.FileName = chosen;
    return true;
  });
  chosen = dir.File("plan.png");
  mon->EditBitmapFile();
  EXPECT_EQ(dialogs, std::vector<std::string>{"Only bitmap files (*.bmp) can be used."});
  EXPECT_EQ(filter_seen, "Bitmaps (*.bmp)|*.bmp");
  EXPECT_EQ(dialog.Filter, "All|*");
  EXPECT_EQ(dialog.Title, "Open picture");
  std::filesystem::copy_file(plan, dir.File("PLAN2.BMP"));
  chosen = dir.File("PLAN2.BMP");
  mon->EditBitmapFile();
  EXPECT_EQ(mon->BitMapFile(), chosen);
  EXPECT_EQ(mon->PaintBox()->Width(), 400);
  chosen = dir.File("broken.bmp");
  mon->EditBitmapFile();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_NE(dialogs[1].find("broken.bmp"), std::string::npos);
  SetCommonDialogUser(nullptr);
  PictureDialogProc = nullptr;

  mon->Clear();
  EXPECT_TRUE(mon->IsEmpty());
  EXPECT_EQ(mon->PaintBox()->Width(), 30);
}

// A picture page comes back from "Monitors.ini" with its picture, zoom and icons.
TEST_F(BitMonitorTest, StoredWithTheSession) {
  mon->SetCustomTitle("Plan");
  mon->SetBitmapFile(Picture("plan.bmp", 400, 300));
  TDevIconVO* a = AddIcon(mon, 100, 60);
  a->SetHintInfo("Cellar\r\nnorth wall");
  a->SetIconName("Images/Logger.bmp");
  EXPECT_EQ(a->Width(), 24);
  EXPECT_EQ(a->Hint(), "Device1\r\nCellar\r\nnorth wall");
  // The hint shows over the icon's picture too; the picture area itself has none.
  EXPECT_EQ(ControlHintAt(a, {3, 3}), "Device1\nCellar\nnorth wall");
  EXPECT_EQ(ControlHintAt(mon->ScrollBox(), {300, 200}), "");
  TDevIconVO* b = AddIcon(mon, 10, 250);
  b->SetvobTitle("");
  mon->ZoomIn();
  a->SetIconName("Images/NotThere.bmp");  // not registered: kept as it was
  EXPECT_EQ(a->IconName(), "Images/Logger.bmp");
  delete book;
  book = nullptr;

  TIniFile2 ini(TMonitorBook::SessionFileName());
  const std::string s = "SessionMonitors/Monitor1";
  EXPECT_EQ(ini.ReadString(s, "ClassName", ""), "TBitMonitor");
  EXPECT_EQ(ini.ReadString(s, "ZoomFactor", ""), "2");
  EXPECT_EQ(ini.ReadInteger(s, "MovVOCount", 0), 2);
  EXPECT_EQ(ini.ReadString(s + "/MovVO0", "HintInfoPart0", ""), "<Cellar>");
  EXPECT_EQ(ini.ReadString(s + "/MovVO0", "HintInfoPart1", ""), "<north wall>");
  EXPECT_EQ(ini.ReadInteger(s + "/MovVO0", "HintIPartLineCnt", 0), 2);
  EXPECT_EQ(ini.ReadInteger(s + "/MovVO0", "Left", 0), 141);
  EXPECT_EQ(ini.ReadString(s + "/MovVO0", "IconName", ""), "Images/Logger.bmp");

  book = NewBook();
  book->LoadSessionMonitors();
  ASSERT_EQ(book->GetMonitorCount(), 1);  // the empty pages went
  auto* back = dynamic_cast<TBitMonitor*>(book->GetMonitor(0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetTitle(), "Plan");
  EXPECT_DOUBLE_EQ(back->ZoomFactor(), 2);
  EXPECT_EQ(back->PaintBox()->Width(), 566);
  ASSERT_EQ(back->MovVOList().size(), 2u);
  auto* a2 = dynamic_cast<TDevIconVO*>(back->MovVOList()[0]);
  EXPECT_EQ(a2->AbsLeft(), 141);
  EXPECT_EQ(a2->AbsTop(), 85);
  EXPECT_EQ(a2->HintInfo(), "Cellar\r\nnorth wall");
  EXPECT_EQ(a2->IconName(), "Images/Logger.bmp");
  EXPECT_EQ(a2->Width(), 24);
  EXPECT_EQ(dynamic_cast<TMoveVisObj*>(back->MovVOList()[1])->AbsTop(), 354);
}

// Damaged stored keys: an endless hint count, a zoom that is no number, a long hint whose tail
// would break the file, and an object of an unknown class.
TEST_F(BitMonitorTest, DamagedStoredKeys) {
  test::TRecordingMsgHandler log;
  std::string hint;
  for (int i = 0; i < 105; ++i) hint += "l" + std::to_string(i) + "\r\n";
  TDevIconVO* icon = AddIcon(mon, 5, 5);
  icon->SetHintInfo(hint + "a\nb");
  {
    TIniFile2 ini(dir.File("x.ini"));
    icon->StoreIniSection(&ini, "Obj");
    EXPECT_EQ(ini.ReadInteger("Obj", "HintIPartLineCnt", 0), 102);
    EXPECT_EQ(ini.ReadString("Obj", "HintInfoPart100", ""), "<l100>");
    EXPECT_EQ(ini.ReadString("Obj", "HintInfoPart101", ""), "<l101 l102 l103 l104 a b>");
    ini.UpdateFile();
  }
  dir.Write(
      "bad.ini",
      "[P]\nClassName=TBitMonitor\nGroupIndex=100\nBitMapFile=" + Picture("plan.bmp", 400, 300) +
          "\nZoomFactor=two\nMovVOCount=3\n[P/MovVO0]\nClassName=TDevIconVO\nHintIPartLineCnt=2000000000\n"
          "HintInfoPart0=<one>\nLeft=7\nTop=9\n[P/MovVO1]\nClassName=TNoSuchIcon\n[P/MovVO2]\nClassName=TDevIconVO\n");
  TIniFile2 bad(dir.File("bad.ini"));
  auto* loaded = dynamic_cast<TBitMonitor*>(book->LoadMonitorIni(&bad, "P"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_DOUBLE_EQ(loaded->ZoomFactor(), 1);
  EXPECT_EQ(loaded->PaintBox()->Width(), 400);
  ASSERT_EQ(loaded->MovVOList().size(), 2u);
  auto* first = dynamic_cast<TMoveVisObj*>(loaded->MovVOList()[0]);
  EXPECT_EQ(first->HintInfo().substr(0, 5), "one\r\n");
  EXPECT_EQ(first->AbsLeft(), 7);
  EXPECT_TRUE(loaded->LoadIncomplete);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines[0].find("ZoomFactor"), std::string::npos);
}

// The older registry profile holds only the page's own values: the imported page has no picture
// and no icons, so the import frees it again.
TEST_F(BitMonitorTest, ImportFromTheOlderProfile) {
  const std::string saved = RegistryKey;
  RegistryKey = "\\Software\\Quarvel\\Qv2";
  dir.Write("Registry.ini",
            "[Software\\Quarvel\\Qv2\\Profile\\SessionMonitors\\Monitor0]\r\nGroupIndex=100\r\n"
            "ClassName=TBitMonitor\r\nCustomTitle=Site\r\nMonOptions=DelEnabled-\r\n");
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(RegistryKey + "\\Profile\\SessionMonitors\\Monitor0", false));
    auto* page = dynamic_cast<TBitMonitor*>(book->LoadMonitor(&reg));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->GetTitle(), "Site");
    EXPECT_EQ(page->MonOptions(), moDelEnabled);
    EXPECT_FALSE(page->AddDevIconItem()->Visible());
    EXPECT_TRUE(page->IsEmpty());
  }
  const int pages = book->GetMonitorCount();
  book->FreeEmptyMonitors();
  EXPECT_LT(book->GetMonitorCount(), pages);
  for (int i = 0; i < book->GetMonitorCount(); ++i) EXPECT_NE(book->GetMonitor(i)->GetTitle(), "Site");
  RegistryKey = saved;
}

}  // namespace
}  // namespace qv
