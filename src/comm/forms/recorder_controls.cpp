#include "comm/forms/recorder_controls.h"

#include <cmath>
#include <filesystem>
#include <utility>

#include "base/app_globals.h"
#include "base/res_string.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"
#include "platform/os/tick_count.h"

namespace qv {

void TRecorderControls::SetRecorderMenu(TMenuItem* menu) {
  menu_ = menu;
  if (!menu) return;
  start_stop_item_ = menu->FindByName("IRMenStartStop");
  settings_item_ = menu->FindByName("IRMenSettings");
  auto_scroll_item_ = menu->FindByName("IRMenAutoScroll");
  if (start_stop_item_)
    start_stop_item_->OnClick = [this](TComponent*) { recorder_.Running() ? recorder_.Stop() : recorder_.Start(); };
  if (settings_item_) settings_item_->SetVisible(false);
  if (auto_scroll_item_) {
    auto_scroll_item_->SetChecked(false);
    auto_scroll_item_->OnClick = [this](TComponent*) { recorder_.SetAutoScroll(!recorder_.AutoScroll()); };
  }
  UpdateControls();
}

void TRecorderControls::SetRecorderBtn(TSpeedButton* button) {
  rec_btn_ = button;
  if (!button) return;
  button->OnClick = [this](TComponent*) {
    if (!recorder_.Enabled()) return;
    recorder_.Running() ? recorder_.Stop() : recorder_.Start();
  };
  button->SetGroupIndex(1);
  button->SetAllowAllUp(true);
  UpdateControls();
}

void TRecorderControls::SetAutoScrollBtn(TSpeedButton* button) {
  auto_scroll_btn_ = button;
  if (!button) return;
  button->OnClick = [this](TComponent*) { recorder_.SetAutoScroll(!recorder_.AutoScroll()); };
  button->SetGroupIndex(2);
  button->SetAllowAllUp(true);
  UpdateControls();
}

void TRecorderControls::UpdateControls() {
  const bool enabled = recorder_.Enabled(), running = recorder_.Running(), auto_scroll = recorder_.AutoScroll();
  const std::string caption = LoadResString(running ? "deh_StopRecorder" : "deh_StartRecorder");
  if (menu_) menu_->SetEnabled(enabled);
  if (start_stop_item_) {
    start_stop_item_->SetEnabled(enabled);
    start_stop_item_->SetCaption(caption);
  }
  if (settings_item_) settings_item_->SetEnabled(enabled);
  if (auto_scroll_item_) {
    auto_scroll_item_->SetEnabled(enabled);
    auto_scroll_item_->SetChecked(auto_scroll);
  }
  if (rec_btn_) {
    rec_btn_->SetEnabled(enabled);
    rec_btn_->SetDown(running);
    rec_btn_->SetHint(caption);
  }
  if (auto_scroll_btn_) {
    auto_scroll_btn_->SetEnabled(enabled);
    auto_scroll_btn_->SetDown(auto_scroll);
  }
}

void TRecorderControls::ShowRunning(bool running) {
  if (!status_box_) return;
  if (running) {
    status_box_->OnPaint = [this](TComponent*) { PaintStatus(); };
    status_box_->SetHint(LoadResString("rcd_Running"));
    status_box_->SetShowHint(true);
  } else {
    status_box_->OnPaint = nullptr;
    status_box_->SetHint("");
    status_box_->SetShowHint(false);
  }
  status_box_->Repaint();
}

void TRecorderControls::UpdateRunningHint() {
  if (status_box_) status_box_->SetHint(LoadResString("rcd_Running"));
}

void TRecorderControls::ShowLineLost(const std::string& text) {
  if (status_pane_) status_pane_->SetCaption(text);
  if (text.empty() || !status_box_) return;
  status_box_->SetHint(text);
  status_box_->Repaint();
}

void TRecorderControls::ShowLineBack() {
  if (status_pane_) status_pane_->SetCaption("");
  if (status_box_) {
    status_box_->SetHint(LoadResString("rcd_Running"));
    status_box_->Repaint();
  }
}

void TRecorderControls::Animate() {
  if (status_box_) status_box_->Repaint();
}

void TRecorderControls::PaintStatus() {
  if (!status_box_) return;
  TCanvas& canvas = status_box_->Canvas();
  const std::string image = ExePath + "Images/RecordAn.bmp";
  if (std::filesystem::exists(image)) {
    TBitmap bitmap;
    bitmap.LoadFromFile(image);
    canvas.Draw(0, 0, bitmap);
  }
  // A recording without its line stands still.
  if (recorder_.LineIsLost()) return;
  const uint32_t tick = GetTickCount();
  auto dot = [&](int x, int y, TColor color) {
    canvas.Brush().Color = color;
    canvas.FillRect(TRect{x, y, x + 2, y + 2});
  };
  dot(3 + static_cast<int>((tick / 500) % 10), 12, clYellow);
  const double angle = static_cast<double>(tick % 10000) * 6.2831e-4;
  for (const auto& [cx, a] : {std::pair{3.0, angle}, std::pair{11.0, angle + 1.5708}})
    dot(static_cast<int>(std::nearbyint(cx + 3.5 * std::sin(a))),
        static_cast<int>(std::nearbyint(5 + 3.5 * std::cos(a))), clRed);
}

TRecorderControls& RecorderControls(TRecorder& recorder) {
  if (auto* controls = dynamic_cast<TRecorderControls*>(recorder.View())) return *controls;
  auto controls = std::make_unique<TRecorderControls>(recorder);
  TRecorderControls& result = *controls;
  recorder.SetView(std::move(controls));
  return result;
}

}  // namespace qv
