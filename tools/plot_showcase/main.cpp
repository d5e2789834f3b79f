// Shows a time plot over a year of 1-minute data from three channels, with its two Y axes, the
// time axis, grids, alarm limits and legend. --screenshot FILE writes a PNG and exits.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "datastore/channels.h"
#include "datastore/dt_data.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/os/home_folder.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "visual/axis_label.h"
#include "visual/bit_monitor.h"
#include "visual/graphic_registry.h"
#include "platform/gui/scroll_box.h"
#include "visual/d25_edit_plot_chan.h"
#include "visual/d26_y_range_dlg.h"
#include "visual/d30_ed_auto_mon.h"
#include "visual/d29_sel_glob_chan.h"
#include "visual/axis_scale.h"
#include "visual/plot_box.h"
#include "platform/rtl/string_list.h"
#include "visual/d35_store_monitor.h"
#include "visual/d39_retrieve_tbl_col.h"
#include "visual/d40_retrieve_obj.h"
#include "visual/d34_edit_layout.h"
#include "visual/d41_setup_gl_chans.h"
#include "visual/d44_select_diagrams.h"
#include "visual/print_layout.h"
#include "platform/gui/printers.h"
#include "visual/table_vo.h"
#include "visual/val_table.h"
#include "base/dt_stamp.h"
#include "datastore/dt_navigator.h"
#include "platform/rtl/date_time.h"
#include "visual/ddt_monitor.h"
#include "visual/monitor_book.h"
#include "visual/plot_vo.h"
#include "visual/selector.h"
#include "visual/vis_obj.h"

namespace {

using namespace qv;

class TShowcaseData : public TDtData {
public:
  explicit TShowcaseData(TRecord* rec) : TDtData("", rec) {}
  int32_t WriteData() override { return drDone; }
  int32_t ReadData() override {
    TDataLock lock(*this);
    Buffer()->SetSize(0);
    Buffer()->Write(stored.data(), static_cast<int32_t>(stored.size()));
    Buffer()->SetPosition(0);
    SetPositions(true, 0);
    return drDone;
  }
  std::string DefineIdent() override { return "showcase"; }
  std::string GetName() override { return "Hall"; }
  std::string GetSName() override { return "Hall"; }
  bool NoData() override { return BufferSize() == 0; }
  using TDtData::Buffer;
  std::string stored;
};

constexpr uint16_t kFirstDay = 45292;  // 1 January 2024

// A table whose rows show the first minutes of the showcase data in the value table's formats.
class TShowcaseTable : public TTableVO {
public:
  using TTableVO::TTableVO;
  std::string ClassName() const override { return "TShowcaseTable"; }
  void FillCells(TStringGrid* grid) override {
    const std::string normal = FormatPrefix(TCellFormat{2050, 0, clBlack, 0});
    const std::string alarm = FormatPrefix(TCellFormat{2050, 0, 255, static_cast<uint8_t>(TFontStyle::fsBold)});
    for (int row = grid->FixedRows(); row < grid->RowCount(); ++row) {
      const int minute = (row - grid->FixedRows()) * 10;
      char time[32];
      std::snprintf(time, sizeof time, "%02d:%02d:00 ", minute / 60, minute % 60);
      grid->SetCells(0, row, normal + time);
      for (int col = 1; col < grid->ColCount(); ++col) {
        TGlobalChannel* chan = vobGlobChanList()->GetGlobChan_I(col - 1);
        const double value = chan->Channel()->SName() == "rH" ? 48 + minute / 30.0 : -6.5 + col + minute / 25.0;
        if (chan->Channel()->SName() == "Floor" && row == 5) {
          grid->SetCells(col, row, "");  // a missing value
          continue;
        }
        grid->SetCells(
            col, row,
            (chan->Channel()->OutsideAlarm(value) ? alarm : normal) + chan->Channel()->ValueToStr(value) + " ");
      }
    }
  }
};

// Frees a monitor book, which stores its pages when it goes: into a scratch folder, not the
// shipped files.
void FreeBook(TMonitorBook* book) {
  char scratch[] = "/tmp/qv_showcase_XXXXXX";
  const std::string saved_exe = ExePath;
  if (mkdtemp(scratch)) ExePath = std::string(scratch) + "/";
  for (int i = book->GetMonitorCount() - 1; i >= 0; --i) book->GetMonitor(i)->SetMonOptions(0);
  delete book;
  if (ExePath != saved_exe) std::filesystem::remove_all(scratch);
  ExePath = saved_exe;
}

}  // namespace

int main(int argc, char** argv) {
  InitializeGui(argc, argv);
  // --d35 FILE writes the dialog that names a stored monitor, --d40 FILE the retrieve dialog.
  // --table FILE writes a table of three columns, --d39 and --d41 FILE its retrieve-column and
  // column set-up dialogs. --valtable FILE writes the value table of the data's first day.
  // --book FILE writes a monitor book with three tiled plots on its first of two pages.
  // --print4 FILE prints four plots of a monitor page on one page of the print layout, to a PDF
  // file (or to pictures, for a name ending in .png); --valprint FILE prints the value table so.
  // --d34 and --d44 FILE write the page-layout dialog and the choice of diagrams to print.
  // --bitmon FILE writes a picture monitor: a floor plan with device icons, zoomed in once.
  // --d25, --d26 and --d29 FILE write the curve, the range and the channel dialog as PNG files
  // too (the channel dialog without a device tree: its lists stay empty). --d30 FILE writes the
  // settings dialog of the automatic monitors.
  std::string screenshot, d25_file, d26_file, d30_file, d29_file, book_file, d35_file, d40_file, view_menu_file,
      table_file, d39_file, d41_file, valtable_file, print4_file, valprint_file, d34_file, d44_file, bitmon_file;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];
    if (std::strcmp(argv[i], "--d25") == 0) d25_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d26") == 0) d26_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d30") == 0) d30_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d29") == 0) d29_file = argv[i + 1];
    if (std::strcmp(argv[i], "--book") == 0) book_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d35") == 0) d35_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d40") == 0) d40_file = argv[i + 1];
    if (std::strcmp(argv[i], "--view-menu") == 0) view_menu_file = argv[i + 1];
    if (std::strcmp(argv[i], "--table") == 0) table_file = argv[i + 1];
    if (std::strcmp(argv[i], "--valtable") == 0) valtable_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d39") == 0) d39_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d41") == 0) d41_file = argv[i + 1];
    if (std::strcmp(argv[i], "--print4") == 0) print4_file = argv[i + 1];
    if (std::strcmp(argv[i], "--valprint") == 0) valprint_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d34") == 0) d34_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d44") == 0) d44_file = argv[i + 1];
    if (std::strcmp(argv[i], "--bitmon") == 0) bitmon_file = argv[i + 1];
  }
  const std::string res = ShippedResourceFolder();
  if (!res.empty()) ExePath = res + "/";
  TResourceLanguageSetup languages = DefaultResourceLanguageSetup();
  languages.ModuleFile = res + "/quarvel";
  SetResourceLanguageSetup(languages);
  SetResourceLocale(9, true);

  TDtRecord rec(3);
  TShowcaseData data(&rec);
  auto channels = TChannels::CreateDefault();
  // Two temperatures on the left axis, the humidity on the right one.
  const char* names[] = {"Air temperature", "Floor temperature", "Humidity"};
  const char* snames[] = {"Air", "Floor", "rH"};
  const char* units[] = {
      "\xC2\xB0"
      "C",
      "\xC2\xB0"
      "C",
      "%rH"};
  for (uint8_t k = 1; k <= 3; ++k) {
    auto c = std::make_unique<TChannel>(k);
    c->SetName(names[k - 1]);
    c->SetSName(snames[k - 1]);
    c->SetUnit(units[k - 1]);
    c->SetViewMin(k == 3 ? 0 : -10);
    c->SetViewMax(k == 3 ? 100 : 40);
    channels->Add(std::move(c));
  }
  channels->FindByKey(1)->SetAlarmMin(-5);
  channels->FindByKey(1)->SetAlarmMax(30);
  data.SetChannels(channels.get());
  data.NewBuffer();
  TDtRecord r(3);
  for (int64_t i = 0; i < 366 * 1440; ++i) {
    r.Date = static_cast<uint16_t>(kFirstDay + i / 1440);
    r.Time = static_cast<int32_t>((i % 1440) * 60);
    const double day = i / 1440.0;
    const double season = -std::cos(day / 366 * 2 * M_PI);
    const double daily = -std::cos((i % 1440) / 1440.0 * 2 * M_PI);
    r.SetValues(0, 10 + 12 * season + 5 * daily + ((i * 7919) % 101) / 50.0);
    r.SetValues(1, 8 + 9 * season + 1.5 * daily + ((i * 104729) % 89) / 60.0);
    // A week without humidity readings in spring: a gap in that curve.
    r.SetValues(2, day > 100 && day < 107 ? -1.6e38 : 60 + 25 * season + 8 * daily);
    data.InsertRecord(r);
  }
  data.stored = data.Buffer()->Bytes();
  const TDtStamp start{kFirstDay, 0}, stop{static_cast<uint16_t>(kFirstDay + 366), 0};
  data.OpenDT(start, stop, NoDtStamp, NoDtStamp);

  auto* form = new TForm(nullptr);
  form->SetCaption("Quarvel2 - plot");
  form->SetBounds(0, 0, 1000, 560);
  auto* plot = CreateVisObj<TDtPlotVO>(form);
  plot->SetParent(form);
  plot->SetAlign(TAlign::alClient);
  plot->SetvobId(1);
  plot->SetvobTitle("Hall: a year of one-minute data");
  plot->SetColor(clBtnFace);
  for (uint8_t k = 1; k <= 3; ++k) plot->AddGlobChan(&data, channels->FindByKey(k));
  static_cast<TPlotGlbChan*>(plot->vobGlobChanList()->GetGlobChan_I(0))->AlarmLimits = true;
  plot->RightGridItem()->Click();
  plot->BottomTimeAxis()->SetInterval(start, stop);
  TGlobChanList& curves = *plot->vobGlobChanList();
  Application->SetMainForm(form);
  form->Show();
  if (screenshot.empty()) {
    Application->Run();
    return 0;
  }
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
  bool ok = SaveWindowImage(form, screenshot);
  if (!d25_file.empty()) {
    TD25_EditPlotChan d25(nullptr);
    d25.SetChanList(&curves);
    d25.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d25, d25_file) && ok;
  }
  if (!d26_file.empty()) {
    TD26_YRangeDlg d26(nullptr);
    d26.SetText(LoadResString("d26_CaptionLeft"));
    d26.SetCustMax(35);
    d26.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d26, d26_file) && ok;
  }
  if (!d30_file.empty()) {
    TD30_EdAutoMon d30(nullptr);
    d30.SetValues(TAutoMonSettings{});
    d30.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d30, d30_file) && ok;
  }
  if (!book_file.empty()) {
    TSelector selector;
    Selector = &selector;
    TVOClassRegistry vo_classes;
    VOClassRegistry = &vo_classes;
    vo_classes.RegisterClass(&DtPlotVOClass);
    TForm book_form(nullptr);
    book_form.SetCaption("Quarvel2 - monitors");
    book_form.SetBounds(0, 0, 1000, 640);
    auto* book = new TMonitorBook(&book_form);
    book->SetParent(&book_form);
    TMonitorMan* page = book->GetMonitor(0);
    page->SetCustomTitle("Hall");
    for (int k = 0; k < 3; ++k) {
      TVisObj* vo = nullptr;
      page->InsertVisObj(100, &DtPlotVOClass, vo);
      auto* p = static_cast<TDtPlotVO*>(vo);
      p->AddGlobChan(&data, channels->FindByKey(static_cast<uint8_t>(k == 2 ? 3 : 1)));
      if (k == 0) p->AddGlobChan(&data, channels->FindByKey(3));
      if (k == 1) p->AddGlobChan(&data, channels->FindByKey(2));
      p->BottomTimeAxis()->SetInterval(start, stop);
    }
    book->AddGroupMonitor(100, &DDTMonitorClass)->SetCustomTitle("Cellar");
    book_form.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&book_form, book_file) && ok;
    FreeBook(book);
    VOClassRegistry = nullptr;
    Selector = nullptr;
  }
  if (!bitmon_file.empty()) {
    // The plan and the icon picture live in a scratch program folder, as the user's files would.
    char scratch[] = "/tmp/qv_showcase_XXXXXX";
    const std::string saved_exe = ExePath;
    if (mkdtemp(scratch)) {
      ExePath = std::string(scratch) + "/";
      std::filesystem::create_directories(ExePath + "Images");
      {
        TBitmap plan(520, 360);
        TCanvas& c = plan.Canvas();
        c.Brush().Color = static_cast<TColor>(0xE8F4F8);
        c.FillRect({0, 0, 520, 360});
        c.Pen().Color = clBlack;
        c.Pen().Width = 4;
        c.Brush().Style = TBrushStyle::bsClear;
        c.Rectangle(10, 10, 510, 350);
        c.MoveTo(250, 10);
        c.LineTo(250, 220);
        c.MoveTo(10, 220);
        c.LineTo(400, 220);
        c.MoveTo(400, 220);
        c.LineTo(400, 350);
        c.Font().SetSize(11);
        c.TextOut(90, 30, "Hall");
        c.TextOut(330, 30, "Cold store");
        c.TextOut(150, 280, "Greenhouse");
        c.TextOut(420, 280, "Office");
        plan.SaveToFile(ExePath + "Images/Plan.bmp");
        TBitmap icon(26, 20);
        TCanvas& ic = icon.Canvas();
        ic.Brush().Color = clSilver;
        ic.FillRect({0, 0, 26, 20});
        ic.Brush().Color = clNavy;
        ic.FillRect({3, 3, 23, 13});
        ic.Brush().Color = clLime;
        ic.FillRect({19, 15, 23, 18});
        icon.SaveToFile(ExePath + "Images/Logger.bmp");
      }
      TGraphicRegistry graphics;
      graphics.RegisterGraphic(ExePath + "Images/Logger.bmp");
      GraphicRegistry = &graphics;
      TSelector selector;
      Selector = &selector;
      TForm book_form(nullptr);
      book_form.SetBounds(0, 0, 640, 440);
      book_form.SetCaption("Picture monitor");
      auto* book = new TMonitorBook(&book_form);
      book->SetParent(&book_form);
      book->GetMonitor(0)->SetCustomTitle("Hall");
      auto* page = static_cast<TBitMonitor*>(book->AddGroupMonitor(100, &BitMonitorClass));
      page->SetCustomTitle("Site plan");
      book->SetTabIndex(page->PageIndex);
      page->SetBitmapFile(ExePath + "Images/Plan.bmp");
      struct Place {
        int x, y;
        const char* title;
        bool picture;
      };
      for (const Place& p : {Place{80, 90, "Hall logger", true}, Place{340, 120, "Cold store", true},
                             Place{160, 250, "Greenhouse", true}, Place{440, 300, "Office", false}}) {
        page->AddDevIcon();
        auto* icon = static_cast<TDevIconVO*>(page->MovVOList().back());
        icon->SetvobTitle(p.title);
        if (p.picture) icon->SetIconName("Images/Logger.bmp");
        icon->SetBounds(p.x, p.y, icon->Width(), icon->Height());
      }
      page->ZoomIn();
      // Zooming keeps the view's centre; the picture is shown from its top-left corner here.
      page->ScrollBox()->SetHorzPosition(0);
      page->ScrollBox()->SetVertPosition(0);
      book_form.Show();
      for (int i = 0; i < 5; ++i) Application->ProcessMessages();
      ok = SaveWindowImage(&book_form, bitmon_file) && ok;
      for (int i = book->GetMonitorCount() - 1; i >= 0; --i) book->GetMonitor(i)->SetMonOptions(0);
      delete book;
      Selector = nullptr;
      GraphicRegistry = nullptr;
      std::filesystem::remove_all(scratch);
    }
    ExePath = saved_exe;
  }
  if (!view_menu_file.empty()) {
    // The View menu with the book's list of fourteen pages, which goes on in a second column.
    TForm book_form(nullptr);
    book_form.SetBounds(0, 0, 600, 400);
    auto* book = new TMonitorBook(&book_form);
    book->SetParent(&book_form);
    TMenuItem view(nullptr);
    for (const char* caption : {"&Toolbar", "&Status bar"}) {
      auto* item = new TMenuItem(&view);
      item->SetCaption(caption);
      item->SetChecked(true);
      view.Add(item);
    }
    book->SetMonitorMenu(&view);
    const char* rooms[] = {"Hall",      "Cellar", "Greenhouse", "Store 1",  "Store 2", "Office", "Lab",
                           "Cold room", "Attic",  "Garage",     "Workshop", "Kitchen", "Archive"};
    book->GetMonitor(0)->SetCustomTitle("Entrance");
    for (const char* room : rooms) book->AddGroupMonitor(100, &DDTMonitorClass)->SetCustomTitle(room);
    ok = SaveMenuImage(&view, view_menu_file) && ok;
    book->SetMonitorMenu(nullptr);
    FreeBook(book);
  }
  if (!d35_file.empty()) {
    TD35_StoreMonitor d35(nullptr);
    TStringList names;
    names.Add("Hall");
    names.Add("Cellar");
    d35.SetNames(names);
    d35.SetName("Greenhouse");
    d35.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d35, d35_file) && ok;
  }
  if (!d40_file.empty()) {
    TD40_RetrieveObj d40(nullptr);
    d40.SetObjects({"Hall: air", "Hall: floor"});
    d40.SetDestinations({"Cellar", "<" + LoadResString("tvo_AddToEnd") + ">"});
    d40.SetObjIndex(0);
    d40.SetDestIndex(1);
    d40.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d40, d40_file) && ok;
  }
  if (!table_file.empty()) {
    TForm table_form(nullptr);
    table_form.SetCaption("Quarvel2 - table");
    table_form.SetBounds(0, 0, 560, 360);
    auto* table = CreateVisObj<TShowcaseTable>(&table_form);
    table->SetParent(&table_form);
    table->SetAlign(TAlign::alClient);
    table->SetvobId(1);
    table->SetColor(clBtnFace);
    table->TableTitleLabel()->SetCaption("1/1/2024");
    for (uint8_t k = 1; k <= 3; ++k) table->AddGlobChan(&data, channels->FindByKey(k));
    table->SetHorzGrid(true);
    table->FillCells(table->Grid());
    table_form.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&table_form, table_file) && ok;
  }
  if (!valtable_file.empty()) {
    // The navigator's day is the data's first day; the table follows it.
    TFixedClock clock(DtStampToDateTime(TDtStamp{kFirstDay, 12 * 3600}));
    TDtNavigator nav(clock);
    nav.Dt1Start = TDtStamp{kFirstDay, 6 * 3600};
    DtNavigator = &nav;
    // The plot follows the data already, so the data set does not reopen for the new follower.
    data.OpenDT(nav.Dt1Start, nav.Dt1Stop, nav.Dt2Start, nav.Dt2Stop);
    TForm vt_form(nullptr);
    vt_form.SetCaption("Quarvel2 - value table");
    vt_form.SetBounds(0, 0, 560, 420);
    auto* table = CreateVisObj<TValTable>(&vt_form);
    table->SetParent(&vt_form);
    table->SetAlign(TAlign::alClient);
    table->SetvobId(1);
    table->SetColor(clBtnFace);
    table->BeginGlobChanUpdate();
    for (uint8_t k = 1; k <= 3; ++k) table->AddGlobChan(&data, channels->FindByKey(k));
    table->GlobChansChanged();
    vt_form.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&vt_form, valtable_file) && ok;
    delete table;
    DtNavigator = nullptr;
  }
  if (!d39_file.empty()) {
    TD39_RetrieveTblCol d39(nullptr);
    d39.SetColumns({"Hall: Floor temperature"}, {"Hall: Air temperature", "<" + LoadResString("tvo_AddToEnd") + ">"});
    d39.SetColIndex(0);
    d39.SetDestIndex(1);
    d39.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d39, d39_file) && ok;
  }
  if (!d41_file.empty()) {
    TD41_SetupGlChans d41(nullptr);
    TChanSelList chosen{{&data, channels->FindByKey(3)}, {&data, channels->FindByKey(1)}};
    d41.SetSelectList(&chosen);
    d41.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d41, d41_file) && ok;
  }
  if (!d29_file.empty()) {
    TD29_SelGlobChan d29(nullptr);
    d29.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d29, d29_file) && ok;
  }
  if (!print4_file.empty() || !valprint_file.empty() || !d34_file.empty()) {
    // The print layout keeps no settings here (no program INI file); its logo is the shipped one.
    TPrintLayout layout;
    layout.SetCustTitle("Quarvel2 showcase");
    layout.SetCustSubTitle("Hall, 2024");
    Printer().SetOutputFile(print4_file);
    if (!print4_file.empty()) {
      TSelector selector;
      Selector = &selector;
      TVOClassRegistry vo_classes;
      VOClassRegistry = &vo_classes;
      vo_classes.RegisterClass(&DtPlotVOClass);
      TForm book_form(nullptr);
      book_form.SetBounds(0, 0, 1000, 640);
      auto* book = new TMonitorBook(&book_form);
      book->SetParent(&book_form);
      MonitorBook = book;
      TMonitorMan* page = book->GetMonitor(0);
      const char* titles[] = {"Air and humidity", "Air and floor", "Humidity", "Floor"};
      TDtPlotVO* first = nullptr;
      for (int k = 0; k < 4; ++k) {
        TVisObj* vo = nullptr;
        page->InsertVisObj(100, &DtPlotVOClass, vo);
        auto* p = static_cast<TDtPlotVO*>(vo);
        p->SetvobTitle(titles[k]);
        p->AddGlobChan(&data, channels->FindByKey(static_cast<uint8_t>(k == 2 ? 3 : k == 3 ? 2 : 1)));
        if (k == 0) p->AddGlobChan(&data, channels->FindByKey(3));
        if (k == 1) p->AddGlobChan(&data, channels->FindByKey(2));
        p->BottomTimeAxis()->SetInterval(start, TDtStamp{static_cast<uint16_t>(kFirstDay + 14), 0});
        if (!first) first = p;
      }
      book_form.Show();
      for (int i = 0; i < 5; ++i) Application->ProcessMessages();
      first->PrintSelection = 2;
      first->Printing = true;
      try {
        first->DoPrint(nullptr);
      } catch (const std::exception& e) {
        std::cerr << "plot_showcase: " << e.what() << "\n";
        ok = false;
      }
      FreeBook(book);
      VOClassRegistry = nullptr;
      Selector = nullptr;
    }
    if (!valprint_file.empty()) {
      TFixedClock clock(DtStampToDateTime(TDtStamp{kFirstDay, 12 * 3600}));
      TDtNavigator nav(clock);
      nav.Dt1Start = TDtStamp{kFirstDay, 6 * 3600};
      DtNavigator = &nav;
      data.OpenDT(nav.Dt1Start, nav.Dt1Stop, nav.Dt2Start, nav.Dt2Stop);
      TForm vt_form(nullptr);
      vt_form.SetBounds(0, 0, 560, 420);
      auto* table = CreateVisObj<TValTable>(&vt_form);
      table->SetParent(&vt_form);
      table->SetAlign(TAlign::alClient);
      table->SetvobId(1);
      table->BeginGlobChanUpdate();
      for (uint8_t k = 1; k <= 3; ++k) table->AddGlobChan(&data, channels->FindByKey(k));
      table->GlobChansChanged();
      vt_form.Show();
      for (int i = 0; i < 5; ++i) Application->ProcessMessages();
      Printer().SetOutputFile(valprint_file);
      table->Printing = false;
      try {
        table->DoPrint(nullptr);
      } catch (const std::exception& e) {
        std::cerr << "plot_showcase: " << e.what() << "\n";
        ok = false;
      }
      delete table;
      DtNavigator = nullptr;
    }
    if (!d34_file.empty()) {
      TD34_EditLayout d34(nullptr);
      d34.Fill(layout);
      d34.Show();
      for (int i = 0; i < 5; ++i) Application->ProcessMessages();
      ok = SaveWindowImage(&d34, d34_file) && ok;
    }
  }
  if (!d44_file.empty()) {
    TD44_SelectDiagrams d44(nullptr);
    for (const char* c :
         {"DL001 Hall - Air and humidity", "DL001 Hall - Floor", "DL001 Hall [2] - Humidity", "DL002 Cellar - Air"})
      d44.Add(c);
    d44.SetChecked(0, true);
    d44.SetChecked(3, true);
    d44.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d44, d44_file) && ok;
  }
  delete form;
  if (!ok) {
    std::cerr << "plot_showcase: cannot write " << screenshot << "\n";
    return 1;
  }
  return 0;
}
