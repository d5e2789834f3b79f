// Shows a diagram with a plot box over a year of 1-minute data from three channels, with its
// two Y axes, the time axis, grids and alarm limits. --screenshot FILE writes a PNG and exits.
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "datastore/channels.h"
#include "datastore/dt_data.h"
#include "platform/gui/forms.h"
#include "platform/os/home_folder.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "visual/axis_label.h"
#include "visual/d25_edit_plot_chan.h"
#include "visual/d26_y_range_dlg.h"
#include "visual/d29_sel_glob_chan.h"
#include "visual/axis_scale.h"
#include "visual/plot_box.h"
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

}  // namespace

int main(int argc, char** argv) {
  InitializeGui(argc, argv);
  // --d25, --d26 and --d29 FILE write the curve, the range and the channel dialog as PNG files
  // too (the channel dialog without a device tree: its lists stay empty).
  std::string screenshot, d25_file, d26_file, d29_file;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];
    if (std::strcmp(argv[i], "--d25") == 0) d25_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d26") == 0) d26_file = argv[i + 1];
    if (std::strcmp(argv[i], "--d29") == 0) d29_file = argv[i + 1];
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
  for (uint8_t k = 1; k <= 3; ++k) channels->Add(std::make_unique<TChannel>(k));
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
    r.SetValues(1, 55 - 20 * season - 10 * daily + ((i * 104729) % 89) / 20.0);
    // A week without humidity readings in spring: a gap in that curve.
    r.SetValues(2, day > 100 && day < 107 ? -1.6e38 : 60 + 25 * season + 8 * daily);
    data.InsertRecord(r);
  }
  data.stored = data.Buffer()->Bytes();
  const TDtStamp start{kFirstDay, 0}, stop{static_cast<uint16_t>(kFirstDay + 366), 0};
  data.OpenDT(start, stop, NoDtStamp, NoDtStamp);

  auto* form = new TForm(nullptr);
  form->SetCaption("Quarvel2 - plot");
  form->SetBounds(0, 0, 1000, 520);
  auto* diagram = CreateVisObj<TDiagramVO>(form);
  diagram->SetParent(form);
  diagram->SetAlign(TAlign::alClient);
  diagram->SetvobId(1);
  diagram->SetvobTitle("Hall: a year of one-minute data");
  diagram->SetColor(clBtnFace);
  TWinControl* client = diagram->ClientPanel();
  const int w = 1000 - 12, h = 520 - 12 - diagram->TitleBar()->Height();
  constexpr int kLabel = 44, kAxis = 8, kCaption = 16, kRow = 16;
  const int box_left = kLabel + kAxis, box_width = w - 2 * (kLabel + kAxis);
  const int box_top = kCaption, box_height = h - kCaption - kAxis - 2 * kRow;
  auto* left = new TAxisScale(form, 2, 1, 40, -20, 0, nullptr);
  left->SetParent(client);
  left->SetBounds(kLabel, box_top, kAxis, box_height);
  auto* right = new TAxisScale(form, 2, 1, 100, 0, 1, nullptr);
  right->SetParent(client);
  right->SetBounds(box_left + box_width, box_top, kAxis, box_height);
  auto* time = new TDtAxisScale(form, 2, 1, start, stop, 3, nullptr);
  time->SetParent(client);
  time->SetBounds(box_left, box_top + box_height, box_width, kAxis);
  auto* box = new TDtPlotBox(form, right, left, time);
  box->SetParent(client);
  box->SetBounds(box_left, box_top, box_width, box_height);
  auto* left_label = new TAxisLabel(form, left);
  left_label->SetParent(client);
  left_label->SetBounds(0, box_top, kLabel, box_height);
  auto* right_label = new TAxisLabel(form, right);
  right_label->SetParent(client);
  right_label->SetBounds(box_left + box_width + kAxis, box_top, kLabel, box_height);
  auto* fine_row = new TDt1AxisLabel(form, time);
  fine_row->SetParent(client);
  fine_row->SetBounds(0, box_top + box_height + kAxis, w, kRow);
  fine_row->PixelOffset = box_left;
  auto* coarse_row = new TDt2AxisLabel(form, time);
  coarse_row->SetParent(client);
  coarse_row->SetBounds(0, box_top + box_height + kAxis + kRow, w, kRow);
  coarse_row->PixelOffset = box_left;
  auto* caption = new TYAxCaption(form);
  caption->SetParent(client);
  caption->AutoHeight = false;
  caption->SetBounds(box_left, 0, box_width, kCaption);
  caption->SetCaption(0,
                      "[ \xC2\xB0"
                      "C ]");
  caption->SetCaption(1, "[ %rH ]");
  for (TControl* c :
       {static_cast<TControl*>(left_label), static_cast<TControl*>(right_label), static_cast<TControl*>(fine_row),
        static_cast<TControl*>(coarse_row), static_cast<TControl*>(caption)}) {
    c->Font().SetName("MS Sans Serif");
    c->Font().SetSize(8);
  }
  TGlobChanList curves;
  const TColor colours[] = {RGB(128, 0, 128), RGB(0, 128, 0), RGB(255, 0, 0)};
  for (uint8_t k = 1; k <= 3; ++k) {
    auto c = std::make_unique<TPlotGlbChan>(&data, channels->FindByKey(k));
    c->Color = colours[k - 1];
    c->gchAssignedYAxis = k == 1 ? 0 : 1;
    c->AlarmLimits = k == 1;
    curves.Add(std::move(c));
  }
  box->ChanList = &curves;
  caption->ChanList = &curves;
  box->SetLeftGrid(true);
  box->SetRightGrid(true);
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
  if (!d29_file.empty()) {
    TD29_SelGlobChan d29(nullptr);
    d29.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    ok = SaveWindowImage(&d29, d29_file) && ok;
  }
  box->ChanList = nullptr;
  caption->ChanList = nullptr;
  delete form;
  if (!ok) {
    std::cerr << "plot_showcase: cannot write " << screenshot << "\n";
    return 1;
  }
  return 0;
}
