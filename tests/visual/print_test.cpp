// Printed pages of the visual objects: the page layout and its dialog, plots printed alone, per
// device, grouped and by a ticked choice, in colour and dotted black and white, and value tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/ini_file2.h"
#include "controls/sty_check_list.h"
#include "controls/sty_spin_edit.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "devices/db_shell.h"
#include "devices/device_fixture.h"
#include "platform/gui/printers.h"
#include "platform/rtl/file_io.h"
#include "support/fake_db_shell_combo.h"
#include "support/pdf_text.h"
#include "visual/axis_scale.h"
#include "visual/d34_edit_layout.h"
#include "visual/d44_select_diagrams.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_box.h"
#include "visual/plot_vo.h"
#include "visual/print_dialog_user.h"
#include "visual/print_layout.h"
#include "visual/selector.h"
#include "visual/vis_fixture.h"

namespace qv {
namespace {

constexpr uint16_t kDay = 45292;

// Runs `user` on the modal form that shown() returns, once, from the main loop's idle pass.
void WhileModal(const std::function<TForm*()>& shown, const std::function<void()>& user) {
  auto acted = std::make_shared<bool>(false);
  Application->OnIdle = [=](TComponent*, bool& done) {
    done = true;
    TForm* f = shown();
    if (*acted || !f || !f->Modal()) return;
    *acted = true;
    user();
  };
}

using test::PdfPages;

bool Has(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class PrintTest : public test::DeviceFixture, public test::VisFixture {
protected:
  PrintTest() : chans_(TChannels::CreateDefault()), rec_(2), mem_(std::make_unique<test::TMemDtData>(&rec_, "M/")) {
    saved_ini_ = IniFileName;
    IniFileName = dir.File("Prog.INI");
    Selector = &selector_;
    VOClassRegistry = &vo_classes_;
    MonitorClassReg = &monitor_classes_;
    vo_classes_.RegisterClass(&DtPlotVOClass);
    monitor_classes_.RegisterClass(&DDTMonitorClass);
    for (uint8_t key : {1, 2}) {
      auto c = std::make_unique<TChannel>(key);
      c->SetName("Humidity " + std::to_string(key));
      c->SetSName("H" + std::to_string(key));
      c->SetUnit("%");
      c->SetViewMin(0);
      c->SetViewMax(100);
      chans_->Add(std::move(c));
    }
    mem_->SetChannels(chans_.get());
    mem_->NewBuffer();
    TDtRecord r(2);
    for (int h = 0; h < 24; ++h) {
      r.Date = kDay;
      r.Time = h * 3600;
      r.SetValues(0, 50 + 30 * std::sin(h / 3.0));
      r.SetValues(1, 40 + 20 * std::cos(h / 4.0));
      mem_->InsertRecord(r);
    }
    mem_->stored = mem_->Buffer()->Bytes();
    mem_->OpenDT(TDtStamp{kDay, 0}, TDtStamp{kDay, 86399}, NoDtStamp, NoDtStamp);
    std::filesystem::create_directories(ExePath + "Support");
    std::filesystem::copy_file(std::string(QV_SOURCE_DIR) + "/res/Support/Logo.bmp", ExePath + "Support/Logo.bmp");
    layout_ = std::make_unique<TPrintLayout>();
    layout_->SleepProc = [this](int ms) { slept_ += ms; };
    Printer().SetOutputFile(pdf);
    Printer().SetColor(true);
    PrinterIsColor = true;
    form->SetBounds(0, 0, 900, 700);
  }
  ~PrintTest() override {
    Application->OnIdle = nullptr;
    Printer().SetOutputFile("");
    Printer().SetColor(true);
    Printer().SetPixelsPerInch(300);
    delete book_;
    layout_.reset();
    form.reset();
    mem_.reset();
    MonitorClassReg = nullptr;
    VOClassRegistry = nullptr;
    Selector = nullptr;
    IniFileName = saved_ini_;
  }
  TMonitorBook* Book() {
    if (!book_) {
      book_ = new TMonitorBook(form.get());
      book_->SetParent(form.get());
      book_->SetAlign(TAlign::alClient);
      MonitorBook = book_;
    }
    return book_;
  }
  // A plot with both curves on the monitor (the book's shown page by default).
  TDtPlotVO* AddPlot(const std::string& title, TMonitorMan* monitor = nullptr) {
    TVisObj* vo = nullptr;
    (monitor ? monitor : Book()->GetSelMonMan())->InsertVisObj(100, &DtPlotVOClass, vo);
    auto* plot = static_cast<TDtPlotVO*>(vo);
    plot->SetvobTitle(title);
    plot->AddGlobChan(mem_.get(), chans_->FindByKey(1));
    plot->AddGlobChan(mem_.get(), chans_->FindByKey(2));
    plot->BottomTimeAxis()->SetInterval(TDtStamp{kDay, 0}, TDtStamp{kDay, 86399});
    return plot;
  }
  // For the tests whose checks do not depend on the resolution (the pages' texts): a quarter of
  // the program's draws the thin lines, pixel by pixel, in a fraction of the time.
  static void LowResolution(int pixels_per_inch = 75) { Printer().SetPixelsPerInch(pixels_per_inch); }
  void Print(TPlotVO* plot, int selection) {
    plot->PrintSelection = selection;
    plot->Printing = true;
    plot->DoPrint(nullptr);
    EXPECT_FALSE(plot->Printing);
  }

  const std::string pdf = dir.File("out.pdf");
  std::unique_ptr<TPrintLayout> layout_;
  int slept_ = 0;
  std::unique_ptr<TChannels> chans_;
  TDtRecord rec_;
  std::unique_ptr<test::TMemDtData> mem_;
  TMonitorBook* book_ = nullptr;

private:
  std::string saved_ini_;
  TSelector selector_;
  TVOClassRegistry vo_classes_;
  TMonitorClassReg monitor_classes_;
};

// ---- the layout ----

TEST_F(PrintTest, GeometryFollowsThePrinterAndTheMargins) {
  TPrinter& p = Printer();
  const double xs = p.PageWidth() / (p.PageWidthMM() * 10.0), ys = p.PageHeight() / (p.PageHeightMM() * 10.0);
  EXPECT_NEAR(layout_->GetXScale(), xs, 1e-9);
  EXPECT_NEAR(layout_->GetYScale(), ys, 1e-9);
  EXPECT_EQ(slept_, 500);
  const TRect page = layout_->GetPageFrame();
  EXPECT_EQ(page.Left, std::lround(200 * xs));
  EXPECT_EQ(p.PageHeight() - page.Bottom, std::lround(200 * ys));
  EXPECT_NEAR(layout_->GetPenScale(), p.PixelsPerInch() / 72.0, 1e-9);
  EXPECT_EQ(layout_->GetGap(), std::lround(ys * 20));
  // The shipped logo is twice as wide as high and fills the header's right end.
  const TRect logo = layout_->GetLogoFrame(), header = layout_->GetHeaderFrame();
  ASSERT_NE(layout_->Logo(), nullptr);
  EXPECT_EQ(logo.Right, page.Right);
  EXPECT_NEAR(logo.Width(), 2 * (logo.Bottom - page.Top), 1);
  EXPECT_EQ(header.Right, logo.Left);
  EXPECT_EQ(header.Bottom, 3 * layout_->GetLineHeight() + page.Top + 2 * layout_->GetGap());
  const int pen = static_cast<int>(std::nearbyint(layout_->GetPenScale()));
  const TRect body = layout_->GetBody();
  EXPECT_EQ(body, (TRect{page.Left + pen, header.Bottom + pen, page.Right - pen, page.Bottom - pen}));
  const int mx = body.Left + body.Width() / 2, my = body.Top + body.Height() / 2;
  EXPECT_EQ(layout_->GetQuarter(4), (TRect{mx, my, body.Right, body.Bottom}));
  EXPECT_EQ(layout_->GetHalf(1), (TRect{body.Left, body.Top, body.Right, my}));
  // No new formatting until something changes; a margin change, or another printer, formats again.
  layout_->GetBody();
  EXPECT_EQ(slept_, 500);
  layout_->SetLeftMargin(0);
  EXPECT_EQ(layout_->GetPageFrame().Left, 0);
  EXPECT_EQ(slept_, 1000);
  p.SetOutputFile(dir.File("other.pdf"));
  layout_->GetBody();
  EXPECT_EQ(slept_, 1500);
  // A printer index outside the list is no printer: the printer's error, no geometry.
  p.SetOutputFile("");
  p.SetPrinterIndex(static_cast<int>(p.Printers().size()) + 5);
  EXPECT_THROW(layout_->GetBody(), EPrinter);
  p.SetPrinterIndex(-1);
  p.SetOutputFile(pdf);
  // Without a logo the header reaches the page frame's right edge.
  std::filesystem::remove(ExePath + "Support/Logo.bmp");
  layout_->LoadLogo();
  EXPECT_EQ(layout_->GetHeaderFrame().Right, layout_->GetPageFrame().Right);
}

TEST_F(PrintTest, SettingsAreClampedAndKept) {
  layout_.reset();
  {
    TIniFile2 ini(IniFileName);
    ini.WriteString("PrintLayout", "CustTitle", "Cold store");
    ini.WriteInteger("PrintLayout", "LeftMargin", 900);
    ini.WriteInteger("PrintLayout", "TopMargin", -5);
    ini.WriteInteger("PrintLayout", "PrintDotted", 7);
  }
  {
    TPrintLayout layout;
    EXPECT_EQ(PrintLayout, &layout);
    EXPECT_EQ(layout.CustTitle(), "Cold store");
    EXPECT_EQ(layout.GetLeftMargin(), 600);
    EXPECT_EQ(layout.GetTopMargin(), 0);
    EXPECT_EQ(layout.GetRightMargin(), 200);
    EXPECT_TRUE(layout.PrintDotted);
    layout.SetBottomMargin(1000);
    EXPECT_EQ(layout.GetBottomMargin(), 600);
    layout.SetCustSubTitle("Hall 2");
  }
  EXPECT_EQ(PrintLayout, nullptr);
  TIniFile2 ini(IniFileName);
  EXPECT_EQ(ini.ReadString("PrintLayout", "CustSubTitle", ""), "Hall 2");
  EXPECT_EQ(ini.ReadInteger("PrintLayout", "BottomMargin", 0), 600);
  EXPECT_EQ(ini.ReadInteger("PrintLayout", "PrintDotted", 0), 1);
}

TEST_F(PrintTest, OneTwoAndFourAreasWithTheirTexts) {
  LowResolution();
  layout_->SetCustTitle("Cold store");
  Printer().BeginDoc();
  // An empty sub-title takes no line.
  layout_->SetInfoLine("Whole page");
  layout_->PrintPageFrame();
  Printer().NewPage();
  layout_->SetCustSubTitle("Hall 2");
  layout_->SetInfoLine("Halves");
  layout_->SetFieldCaption(1, "Upper");
  layout_->SetFieldCaption(2, "Lower");
  layout_->PrintTwoFields();
  const TRect half = layout_->GetHalf(2);
  Printer().NewPage();
  layout_->SetInfoLine("Quarters");
  layout_->SetFieldCaption(3, "Third");
  layout_->SetFieldCaption(4, "Fourth");
  layout_->PrintFourFields();
  const TRect quarter = layout_->GetQuarter(3);
  Printer().EndDoc();
  // The fields begin below their caption lines.
  EXPECT_GT(half.Top, layout_->GetBody().Top + layout_->GetBody().Height() / 2);
  EXPECT_GT(quarter.Top, layout_->GetBody().Top + layout_->GetBody().Height() / 2 + layout_->GetLineHeight());
  const auto pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0], (std::vector<std::string>{"Cold store", "Whole page"}));
  EXPECT_EQ(pages[1], (std::vector<std::string>{"Cold store", "Hall 2", "Halves", "Upper", "Lower"}));
  EXPECT_EQ(pages[2],
            (std::vector<std::string>{"Cold store", "Hall 2", "Quarters", "Upper", "Lower", "Third", "Fourth"}));
}

TEST_F(PrintTest, LayoutDialogTakesTheUsersValues) {
  layout_->SetTopMargin(150);
  WhileModal([] { return D34_EditLayout; },
             [] {
               TD34_EditLayout& d = *D34_EditLayout;
               // Filled with the current values, nothing changed yet.
               EXPECT_FALSE(d.OKBtn->Enabled());
               EXPECT_TRUE(d.CancelBtn->Default());
               EXPECT_DOUBLE_EQ(d.MarginEdits[2]->Value(), 1.5);
               d.TitleEdit->SetText("Cold store");
               EXPECT_TRUE(d.OKBtn->Enabled());
               EXPECT_TRUE(d.OKBtn->Default());
               d.MarginEdits[0]->SetValue(1.26);
               d.DottedCheck->SetChecked(true);
               d.OKBtn->Click();
             });
  EXPECT_TRUE(layout_->EditLayout());
  EXPECT_EQ(layout_->CustTitle(), "Cold store");
  EXPECT_EQ(layout_->GetLeftMargin(), 126);
  EXPECT_EQ(layout_->GetTopMargin(), 150);
  EXPECT_TRUE(layout_->PrintDotted);
  // Ticked dotted printing counts as a change while filling; Cancel keeps everything.
  WhileModal([] { return D34_EditLayout; },
             [] {
               EXPECT_TRUE(D34_EditLayout->OKBtn->Enabled());
               D34_EditLayout->TitleEdit->SetText("Other");
               D34_EditLayout->CancelBtn->Click();
             });
  EXPECT_FALSE(layout_->EditLayout());
  EXPECT_EQ(layout_->CustTitle(), "Cold store");
  EXPECT_EQ(D34_EditLayout, nullptr);
}

// ---- plots ----

TEST_F(PrintTest, PlotsOnePerPageGroupedAndAlone) {
  LowResolution();
  Book();
  std::vector<TDtPlotVO*> plots;
  for (const char* t : {"P1", "P2", "P3", "P4", "P5"}) plots.push_back(AddPlot(t));
  // The plot alone, with its title as the information line.
  Print(plots[1], 0);
  auto pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "P2"));
  EXPECT_TRUE(Has(pages[0], "dt"));  // the legend's header
  // All plots of the device, one to a page.
  Print(plots[0], 1);
  pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 5u);
  EXPECT_TRUE(Has(pages[4], " - P5"));
  // Grouped: four quarters, then the fifth plot in the first quarter of page 2.
  Print(plots[0], 2);
  pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 2u);
  for (const char* t : {"P1", "P2", "P3", "P4"}) EXPECT_TRUE(Has(pages[0], t)) << t;
  EXPECT_TRUE(Has(pages[1], "P5"));
  EXPECT_FALSE(Has(pages[1], "P4"));
  // Two copies print the job twice.
  plots[0]->Copies = 2;
  Print(plots[0], 2);
  EXPECT_EQ(PdfPages(pdf).size(), 4u);
}

// "Print to File (PDF)" chosen in the print dialog with a file name writes that file; on a
// machine without printers the dialog offers a PDF file in the user's documents folder.
TEST_F(PrintTest, APlotPrintsToThePdfFileChosenInThePrintDialog) {
  Book();
  TDtPlotVO* plot = AddPlot("Cellar");
  Printer().SetOutputFile("");  // as the program starts
  test::TempDir home;           // a user without a documents folder yet
  const char* saved_home = std::getenv("HOME");
  const std::string old_home = saved_home ? saved_home : "";
  setenv("HOME", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);  // no user-dirs file
  const std::string chosen = dir.File("chosen.pdf");
  const test::PrintDialogSeen seen = test::PrintToPdfThroughDialog(plot, chosen);
  setenv("HOME", old_home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(seen.accepted);
  // The proposal: the page's title in the user's documents folder, not the program's folder.
  if (Printer().Printers().empty()) {
    EXPECT_EQ(seen.offered_file, home.File("Documents") + "/Cellar.pdf");
  }
  EXPECT_EQ(Printer().OutputFile(), chosen);
  ASSERT_TRUE(std::filesystem::exists(chosen));
  const auto pages = PdfPages(chosen);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "Cellar"));
  // The next dialog proposes the page's title in the folder chosen last, so the file of another
  // page is not overwritten unasked.
  TDtPlotVO* other = AddPlot("Attic");
  const std::string again = dir.File("again.pdf");
  EXPECT_EQ(test::PrintToPdfThroughDialog(other, again).offered_file, dir.File("Attic.pdf"));
  EXPECT_TRUE(std::filesystem::exists(again));
  // Printed without the dialog on a machine without printers, the file goes to the proposal,
  // and its folder is made.
  if (Printer().Printers().empty()) {
    Printer().SetOutputFile("");
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    Printer().FileTitle = "Attic";
    EXPECT_EQ(Printer().PdfFile(), home.File("Documents") + "/Attic.pdf");
    Printer().BeginDoc();
    Printer().EndDoc();
    setenv("HOME", old_home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(std::filesystem::exists(home.File("Documents") + "/Attic.pdf"));
  }
}

TEST_F(PrintTest, TwoPlotsShareAPageInHalves) {
  LowResolution();
  Book();
  TDtPlotVO* a = AddPlot("Upper plot");
  AddPlot("Lower plot");
  Printer().BeginDoc();
  Printer().Abort();
  Print(a, 2);
  const auto pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "Upper plot"));
  EXPECT_TRUE(Has(pages[0], "Lower plot"));
}

TEST_F(PrintTest, EveryDeviceAndTheTickedChoice) {
  LowResolution();
  ExePath = home.Path();
  {
    auto root = LoadRoot();
    AddDevice(root.get(), "Cellar", 1);
    AddDevice(root.get(), "Attic");
  }
  TDbShell shell;
  test::FakeCombo combo;
  shell.SetDeviceCombo(&combo);
  shell.SetSelIndex(0);
  DbShell = &shell;
  Book();
  TDtPlotVO* first = AddPlot("Temp");
  // A caption with "=" is kept under a key that reads back as itself.
  AddPlot("Hum=rH");
  // Every device, one plot to a page, under the device's title and the plot's.
  Print(first, 3);
  auto pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 4u);
  shell.SetSelIndex(1);
  const std::string attic = shell.GetSelDevice()->GetIdName();
  shell.SetSelIndex(0);
  const std::string cellar = shell.GetSelDevice()->GetIdName();
  EXPECT_TRUE(Has(pages[0], cellar + " - Temp"));
  EXPECT_TRUE(Has(pages[3], attic + " - Hum=rH"));
  // Every device in turn, its plots grouped on one page under the device's title.
  Print(first, 4);
  pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(Has(pages[0], cellar));
  EXPECT_TRUE(Has(pages[0], "Temp"));
  EXPECT_TRUE(Has(pages[0], "Hum=rH"));
  EXPECT_TRUE(Has(pages[1], attic));
  EXPECT_TRUE(Has(pages[1], "Hum=rH"));
  EXPECT_EQ(shell.SelIndex(), 0);
  EXPECT_EQ(shell.SelIndex(), 0);
  // The choice: one ticked plot of the cellar, both of the attic, grouped; the dialog closed
  // without OK still prints and keeps the ticks.
  {
    TIniFile2 ini(IniFileName);
    ini.WriteInteger("PrintSelect", cellar + " - Hum_rH", 1);
  }
  WhileModal([] { return D44_SelectDiagrams; },
             [&] {
               TD44_SelectDiagrams& d = *D44_SelectDiagrams;
               ASSERT_EQ(d.Count(), 4);
               EXPECT_EQ(d.D44_DiagramCheckListBox->Item(3), attic + " - Hum=rH");
               EXPECT_FALSE(d.Checked(0));
               EXPECT_TRUE(d.Checked(1));
               d.SetChecked(2, true);
               d.SetChecked(3, true);
               d.Close();
             });
  Print(first, 6);
  pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 2u);
  // A lone plot of a device prints whole with its caption as the information line.
  EXPECT_TRUE(Has(pages[0], cellar + " - Hum=rH"));
  EXPECT_TRUE(Has(pages[1], attic));
  EXPECT_TRUE(Has(pages[1], "Temp"));
  EXPECT_TRUE(Has(pages[1], "Hum=rH"));
  TIniFile2 ini(IniFileName);
  EXPECT_EQ(ini.ReadInteger("PrintSelect", cellar + " - Temp", -1), 0);
  EXPECT_EQ(ini.ReadInteger("PrintSelect", attic + " - Hum_rH", -1), 1);
  delete book_;
  book_ = nullptr;
  DbShell = nullptr;
}

// The curves' pens on the printer: scaled in colour, one pixel in dotted black and white.
TEST_F(PrintTest, CurvePensInColourAndDottedBlackAndWhite) {
  LowResolution(150);  // the scaled pens stay well apart from the dotted one-pixel pen
  Book();
  TDtPlotVO* plot = AddPlot("Pens");
  const int width = plot->PlotBox()->CurvePenWidth;
  const auto curve_pens = [&](bool color, bool dotted) {
    Printer().SetColor(color);
    PrinterIsColor = color;
    layout_->PrintDotted = dotted;
    Printer().BeginDoc();
    Printer().Canvas().StartRecording();
    const TRect body = layout_->GetBody();
    plot->PrintToRect(body);
    std::vector<int> pens;
    for (const TCanvasCall& c : Printer().Canvas().Calls())
      if (c.Op == "Polyline" &&
          c.Pen.Color == static_cast<TPlotGlbChan*>(plot->vobGlobChanList()->GetGlobChan_I(0))->Color)
        pens.push_back(c.Pen.Width);
    Printer().EndDoc();
    return pens;
  };
  const int scaled = static_cast<int>(std::nearbyint(width * Printer().PixelsPerInch() * 0.9 / kScreenPixelsPerInch));
  for (auto [color, dotted, expected] :
       {std::tuple{true, true, scaled}, std::tuple{false, false, scaled}, std::tuple{false, true, 1}}) {
    const std::vector<int> pens = curve_pens(color, dotted);
    ASSERT_FALSE(pens.empty());
    for (int w : pens) EXPECT_EQ(w, expected) << color << dotted;
  }
  // Everything is back as it was on the screen.
  EXPECT_EQ(plot->PlotBox()->CurvePenWidth, width);
  EXPECT_EQ(plot->CaptionFont.PixelsPerInch(), kScreenPixelsPerInch);
  EXPECT_EQ(plot->ClientPanel()->Align(), TAlign::alClient);
}

// A printed plot looks right: drawn at the printer's resolution into the body below the header,
// its curves in their colours and the page white outside the page frame.
TEST_F(PrintTest, PrintedPlotPixels) {
  Book();
  TDtPlotVO* plot = AddPlot("Pixels");
  const std::string bmp = dir.File("page.bmp");
  Printer().SetOutputFile(bmp);
  Print(plot, 0);
  TBitmap page;
  page.LoadFromFile(bmp);
  ASSERT_EQ(page.Width(), Printer().PageWidth());
  const TRect frame = layout_->GetPageFrame(), body = layout_->GetBody(), header = layout_->GetHeaderFrame();
  EXPECT_EQ(page.Pixel(frame.Left / 2, frame.Top / 2), clWhite);
  EXPECT_EQ(page.Pixel(frame.Left + 1, (frame.Top + frame.Bottom) / 2), clBlack);
  EXPECT_EQ(page.Pixel((header.Left + header.Right) / 2, header.Bottom - 2), clBlack);
  // Both curves' colours show in the body and nowhere above it.
  for (int i = 0; i < 2; ++i) {
    const TColor color = static_cast<TPlotGlbChan*>(plot->vobGlobChanList()->GetGlobChan_I(i))->Color;
    int inside = 0, above = 0;
    for (int y = 0; y < page.Height(); y += 2)
      for (int x = 0; x < page.Width(); x += 2)
        if (page.Pixel(x, y) == color) ++(body.Contains({x, y}) ? inside : above);
    EXPECT_GT(inside, 200) << i;
    EXPECT_EQ(above, 0) << i;
  }
}

}  // namespace
}  // namespace qv
