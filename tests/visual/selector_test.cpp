#include "visual/selector.h"

#include <gtest/gtest.h>

#include "base/app_globals.h"
#include "base/select_dlg.h"
#include "comm/process_window_service.h"
#include "datastore/data_fixture.h"
#include "devices/dev_class_registry.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "support/temp_dir.h"
#include "visual/graphic_registry.h"
#include "visual/vis_obj.h"

namespace qv {
namespace {

template <class F>
std::string ErrorText(F f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

const TVisObjClass PlotClass{"TDtPlotVO", &DiagramVOClass, [] { return std::string("Plot"); }, nullptr};
const TVisObjClass TableClass{"TValTable", &SizeVisObjClass, [] { return std::string("Table"); }, nullptr};
const TVisObjClass BarClass{"TBarVO", &DiagramVOClass, [] { return std::string("Bars"); }, nullptr};

TEST(ClassRegistryTest, OrderLookupAndRefusals) {
  TVOClassRegistry reg;
  EXPECT_EQ(reg.Count(), 0);
  reg.RegisterClass(&PlotClass);
  reg.RegisterClass(&TableClass);
  EXPECT_EQ(reg.RegisterClass(&PlotClass), 1);  // again: moved to the end
  ASSERT_EQ(reg.Count(), 2);
  EXPECT_EQ(reg.Classes(0), &TableClass);
  const TVisObjClass* found = nullptr;
  EXPECT_TRUE(reg.FindClass("TDtPlotVO", found));
  EXPECT_EQ(found, &PlotClass);
  EXPECT_FALSE(reg.FindClass("tdtplotvo", found));
  EXPECT_EQ(ErrorText([&] { reg.DeleteClass(2); }), "Error in TVOClassRegistry.DeleteClass: wrong index");
  EXPECT_EQ(ErrorText([&] { reg.DeleteClass(-1); }), "Error in TVOClassRegistry.DeleteClass: wrong index");
  TMonitorClassReg monitors;
  EXPECT_EQ(ErrorText([&] { monitors.DeleteClass(0); }), "Error in TMonitorClassReg.DeleteClass: wrong index");
  TDevClassRegistry devices;
  EXPECT_EQ(ErrorText([&] { devices.DeleteClass(devices.Count()); }),
            "Error in TDevClassRegistry.DeleteClass: wrong index");
  EXPECT_EQ(devices.IndexOfName("TDevice"), 0);
  EXPECT_EQ(devices.IndexOfName("TDEVICE"), -1);
}

TEST(ClassRegistryTest, SelectClassAsksOnlyBetweenSeveralCandidates) {
  TVOClassRegistry reg;
  reg.RegisterClass(&DiagramVOClass);
  reg.RegisterClass(&TableClass);
  const TVisObjClass* cls = nullptr;
  int asked = 0;
  std::vector<std::string> offered;
  auto saved = SelectDlgProc;
  SelectDlgProc = [&](const std::string&, const std::string&, const std::string&, uint8_t style, TStringList& list,
                      int32_t& index) {
    ++asked;
    EXPECT_EQ(style, 2);
    EXPECT_EQ(index, -1);
    for (int i = 0; i < list.Count(); ++i) offered.push_back(list[i]);
    index = 1;
    return 1;
  };
  EXPECT_FALSE(reg.SelectClass(&DiagramVOClass, true, cls, "dmo_SelDiagrCap", "dmo_SelDiagrType", ""));
  reg.RegisterClass(&PlotClass);
  EXPECT_TRUE(reg.SelectClass(&DiagramVOClass, true, cls, "dmo_SelDiagrCap", "dmo_SelDiagrType", ""));
  EXPECT_EQ(cls, &PlotClass);
  EXPECT_EQ(asked, 0);
  reg.RegisterClass(&BarClass);
  EXPECT_TRUE(reg.SelectClass(&DiagramVOClass, true, cls, "dmo_SelDiagrCap", "dmo_SelDiagrType", ""));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(offered, (std::vector<std::string>{"Plot", "Bars"}));
  EXPECT_EQ(cls, &BarClass);
  SelectDlgProc = saved;
}

TEST(MenuCopyTest, CopiesClampAndEmpty) {
  TComponent owner(nullptr);
  TMenuItem source(&owner), dest(&owner);
  for (const char* c : {"a", "b", "c"}) {
    auto* item = new TMenuItem(&owner);
    item->SetCaption(c);
    source.Add(item);
  }
  source.Items(1)->SetEnabled(false);
  int clicked = 0;
  source.Items(2)->OnClick = [&](TComponent*) { ++clicked; };
  CopyMenuItems(&dest, &source, 1, 99);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Items(0)->Caption(), "b");
  EXPECT_FALSE(dest.Items(0)->Enabled());
  dest.Items(1)->Click();
  EXPECT_EQ(clicked, 1);
  CopyMenuItems(&dest, &source, 2, 1);
  EXPECT_EQ(dest.Count(), 0);
  EXPECT_EQ(ErrorText([&] { CopyMenuItems(nullptr, &source, 0, 1); }), "Error in : DestMenu or SourceMenu = nil");
}

// A 2 x 1 BMP of 24 bits per pixel.
std::string TinyBmp() {
  std::string b = "BM";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&](uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
  };
  u32(62), u32(0), u32(54), u32(40), u32(2), u32(1), u16(1), u16(24), u32(0), u32(8), u32(2835), u32(2835), u32(0),
      u32(0);
  b += std::string("\x00\x00\xFF\xFF\x00\x00\x00\x00", 8);
  return b;
}

class GraphicRegistryTest : public ::testing::Test {
protected:
  GraphicRegistryTest() {
    InitializeGui();
    saved_ = ExePath;
    ExePath = dir_.Path();
  }
  ~GraphicRegistryTest() override { ExePath = saved_; }
  test::TempDir dir_;
  test::TRecordingMsgHandler log_;
  std::string saved_;
};

TEST_F(GraphicRegistryTest, DefaultsLoadFromTheProgramFolderAndDamagedFilesAreSkipped) {
  dir_.Write("Images/recordan.BMP", TinyBmp());  // other letter case on disk
  dir_.Write("Images/PrintM.bmp", "not a picture");
  TGraphicRegistry reg;
  ASSERT_EQ(reg.Count(), 1) << (log_.lines.empty() ? std::string() : log_.lines[0]);
  EXPECT_EQ(reg.Names(0), "Images/RecordAn.bmp");
  TGraphic* g = reg.GetGraphic("images\\recordan.BMP");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Picture.Width(), 2);
  EXPECT_EQ(reg.GetGraphic(ExePath + "Images/RecordAn.bmp"), g);
  EXPECT_EQ(reg.GetGraphic("Images\\PrintM.bmp"), nullptr);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_NE(log_.lines[0].find("PrintM.bmp"), std::string::npos);
}

TEST_F(GraphicRegistryTest, ExtensionsAndIndexes) {
  TGraphicRegistry reg;
  dir_.Write("x.bmp", TinyBmp());
  EXPECT_EQ(ErrorText([&] { reg.RegisterGraphic(dir_.File("x.BMP")); }),
            "Error in TGraphicRegistry.RegisterGraphic: wrong file extension");
  EXPECT_EQ(ErrorText([&] { reg.RegisterGraphic(dir_.File("x.png")); }),
            "Error in TGraphicRegistry.RegisterGraphic: wrong file extension");
  reg.RegisterGraphic(dir_.File("missing.bmp"));
  EXPECT_EQ(reg.Count(), 0);
  reg.RegisterGraphic(dir_.File("x.bmp"));
  reg.RegisterGraphic(dir_.File("x.bmp"));
  ASSERT_EQ(reg.Count(), 1);
  EXPECT_EQ(reg.Names(0), "x.bmp");
  EXPECT_EQ(ErrorText([&] { reg.DeleteGraphic(1); }), "Error in TGraphicRegistry.DeleteGraphic: index out of range!");
  reg.UnregisterGraphic("X.bmp");
  EXPECT_EQ(reg.Count(), 0);
}

}  // namespace
}  // namespace qv
