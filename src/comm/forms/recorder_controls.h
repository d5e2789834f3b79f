#pragma once
// The recorder's controls: the recorder menu with its start/stop and automatic scrolling items,
// the two speed buttons, and the status bar's paint box and pane.
#include <string>

#include "comm/recorder.h"

namespace qv {

class TControl;
class TMenuItem;
class TPaintBox;
class TSpeedButton;

class TRecorderControls : public TRecorderView {
public:
  explicit TRecorderControls(TRecorder& recorder) : recorder_(recorder) {}

  void SetRecorderMenu(TMenuItem* menu);
  void SetRecorderBtn(TSpeedButton* button);
  void SetAutoScrollBtn(TSpeedButton* button);
  // The status bar's paint box that shows the running recorder.
  void SetStatusBox(TPaintBox* box) { status_box_ = box; }
  // The status bar's pane that tells of a lost line.
  void SetStatusPane(TControl* pane) { status_pane_ = pane; }

  void UpdateControls() override;
  void ShowRunning(bool running) override;
  void UpdateRunningHint() override;
  void ShowLineLost(const std::string& text) override;
  void ShowLineBack() override;
  void Animate() override;

private:
  void PaintStatus();

  TRecorder& recorder_;
  TMenuItem* menu_ = nullptr;
  TMenuItem* start_stop_item_ = nullptr;
  TMenuItem* settings_item_ = nullptr;
  TMenuItem* auto_scroll_item_ = nullptr;
  TSpeedButton* rec_btn_ = nullptr;
  TSpeedButton* auto_scroll_btn_ = nullptr;
  TPaintBox* status_box_ = nullptr;
  TControl* status_pane_ = nullptr;
};

// The recorder's controls, made and handed to the recorder on first use.
TRecorderControls& RecorderControls(TRecorder& recorder);

}  // namespace qv
