#pragma once
// The property frame of a plain device node and its editor: id, long name and short name.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/dev_editor.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

// The sheets of an editor frame: a row of tabs over panels of which one is shown.
class TEditorPages {
public:
  TEditorPages(TWinControl* parent, int left, int top, int width, int height);
  // A new sheet; its panel takes the sheet's controls.
  TPanel* AddSheet(const std::string& caption);
  int ActivePage() const { return active_; }
  void SetActivePage(int index);
  // The sheet that holds control, -1 when none.
  int PageOf(const TControl* control) const;
  bool Enabled() const { return Host->Enabled(); }
  void SetEnabled(bool enabled);

  TPanel* Host = nullptr;
  std::vector<TSpeedButton*> Tabs;
  std::vector<TPanel*> Sheets;

private:
  int active_ = -1;
};

// The explorer's frame of a device: a client-aligned panel with the id, name and short-name edits.
class TDeviceFrame : public TExplFrame {
public:
  static constexpr int HelpContext = 3511;

  explicit TDeviceFrame(TWinControl* parent);
  ~TDeviceFrame() override;
  TDeviceFrame(const TDeviceFrame&) = delete;
  TDeviceFrame& operator=(const TDeviceFrame&) = delete;

  // The frame's own panel; its children are the controls below.
  TPanel* Panel = nullptr;
  TPanel* FTitleLbl = nullptr;
  TBevel* IdBevel = nullptr;
  TLabel* IdLbl = nullptr;
  // The id edit holds the digits only; the "DL" before them is a literal label.
  TLabel* IdPrefixLbl = nullptr;
  TEdit* IdMaskEdit = nullptr;
  TBevel* NameBevel = nullptr;
  TLabel* NameLbl = nullptr;
  TEdit* LNameEdit = nullptr;
  TLabel* SNameLbl = nullptr;
  TEdit* SNameEdit = nullptr;
};

// The editor of a plain device node.
class TDeviceEditor : public TDevEditor {
public:
  static const TExplFrameClass FrameClass;

  const TExplFrameClass* GetFrameClass() const override { return &FrameClass; }
  void CreateFrame(TWinControl* parent) override;
  bool Validate() override;

  void SetId(int32_t id) override;
  bool GetIdReadOnly() const override;
  void SetIdReadOnly(bool read_only) override;
  std::string GetNameText() const override;
  void SetNameText(const std::string& text) override;
  std::string GetSNameText() const override;
  void SetSNameText(const std::string& text) override;
  // The long-name edit's change: modified, and the outline node renamed while the user types.
  void NameChanged(void* sender);

  TDeviceFrame* DeviceFrame() const { return static_cast<TDeviceFrame*>(Frame()); }
  // The id shown, -1 for none.
  int32_t ShownId() const { return shown_id_; }

private:
  int32_t shown_id_ = -1;
};

// Validates the id edit of an editor whose id may be edited: a number the device takes goes
// into editor.Id; otherwise a warning (for text that is no number), the edit focused and false.
bool ValidateIdEdit(TDevEditor& editor, TEdit* edit);

// Makes the plain controls of editor frames.
TLabel* MakeFrameLabel(TWinControl* parent, const std::string& key, int left, int top);
TEdit* MakeFrameEdit(TWinControl* parent, int left, int top, int width, int max_length = 0);

// Sets a control's text from the program: no change event is taken as a user edit.
void SetEditorText(TExplEditor& editor, TControl* control, const std::string& text);

// Reads the digits of an id edit: true with the number when the whole text is one.
bool ParseEditorId(const std::string& text, int32_t& id);

}  // namespace qv
