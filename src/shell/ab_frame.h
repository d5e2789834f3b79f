#pragma once
// The controls of the automatic backup's page: the extensions to back up, the scan interval, the
// backup folder, the Accept, Undo, Help and Stop buttons and the list of the files saved last.
// The page (TAbMonitor) fills the controls and handles their events.
#include <cstdint>
#include <string>

#include "platform/gui/ext_ctrls.h"

namespace qv {

class TButton;
class TEdit;
class TGroupBox;
class TLabel;
class TListBox;
class TMemo;
class TStySpinEdit;
class TTimer;

class TAbFrame : public TCustomPanel {
public:
  static constexpr int32_t HelpContext = 3660;
  // The interval edit's range in minutes.
  static constexpr int MinInterval = 1;
  static constexpr int MaxInterval = 60;

  explicit TAbFrame(TComponent* owner);
  std::string ClassName() const override { return "TAbFrame"; }

  // Sets the captions in the current language.
  void UpdateLanguage();
  // Places the saved-files list over the rest of the frame.
  void Arrange();

  TGroupBox* ExtensionGroup = nullptr;
  TLabel* EnterExtLabel = nullptr;
  TLabel* DelExtLabel = nullptr;
  TListBox* ExtensionList = nullptr;
  TEdit* ExtensionEdit = nullptr;
  TButton* AddBtn = nullptr;
  TButton* DeleteBtn = nullptr;
  TGroupBox* IntervalGroup = nullptr;
  TStySpinEdit* IntervalEdit = nullptr;
  TLabel* MinuteLabel = nullptr;
  TGroupBox* DestRootGroup = nullptr;
  TEdit* DestRootEdit = nullptr;
  TButton* AcceptBtn = nullptr;
  TButton* UndoBtn = nullptr;
  TButton* HelpBtn = nullptr;
  TButton* StopBtn = nullptr;
  TLabel* SavedFilesLabel = nullptr;
  TMemo* SavedFileM = nullptr;
  // Counts the minutes of the scan interval.
  TTimer* Timer1 = nullptr;
};

}  // namespace qv
