#pragma once
// A drop-down colour picker: items are colours drawn as framed swatches with their names; an
// optional "Default" entry, the 16 standard colours, optionally the 25 system colours and an
// optional "Custom" entry that opens the colour dialog. The names are translatable.
#include <array>
#include <memory>
#include <string>

#include "controls/sty_combo_box.h"
#include "platform/gui/color_dialog.h"

namespace qv {

class TStyColorComboBox;

class TStyColorNames {
public:
  explicit TStyColorNames(TStyColorComboBox* combo = nullptr) : combo_(combo) {}
  // Copies the names the show flags of this object keep (the standard names always).
  void Assign(const TStyColorNames& source);

  const std::string& Default() const { return default_; }
  void SetDefault(const std::string& v);
  const std::string& Custom() const { return custom_; }
  void SetCustom(const std::string& v);
  const std::string& StandardName(int index) const { return standard_.at(static_cast<size_t>(index)); }
  void SetStandardName(int index, const std::string& v);
  const std::string& SystemName(int index) const { return system_.at(static_cast<size_t>(index)); }
  void SetSystemName(int index, const std::string& v);

  bool ShowSysColors = true;
  bool ShowDefaultColor = true;
  bool ShowCustomColor = true;

private:
  void Rename(int item, const std::string& v);
  TStyColorComboBox* combo_;
  std::string default_, custom_;
  std::array<std::string, 16> standard_;
  std::array<std::string, 25> system_;
};

class TStyColorComboBox : public TStyCustomComboBox {
public:
  explicit TStyColorComboBox(TComponent* owner);
  std::string ClassName() const override { return "TStyColorComboBox"; }

  virtual void NormalizeCustomColors();
  virtual void LoadDefaultColorNames();
  virtual TColor GetItemColor(int index) const;

  TColor DefaultColor() const { return default_color_; }
  virtual void SetDefaultColor(TColor v);
  TColor CustomColor() const { return custom_color_; }
  virtual void SetCustomColor(TColor v);
  TStyColorNames& ColorNames() { return *color_names_; }
  virtual void SetColorNames(const TStyColorNames& names) { color_names_->Assign(names); }
  const TStringList& CustomColors() const { return custom_colors_; }
  virtual void SetCustomColors(const TStringList& lines);
  bool ShowSysColors() const { return show_sys_colors_; }
  virtual void SetShowSysColors(bool v);
  bool ShowDefaultColor() const { return show_default_color_; }
  virtual void SetShowDefaultColor(bool v);
  bool ShowCustomColor() const { return show_custom_color_; }
  virtual void SetShowCustomColor(bool v);
  bool ShowColorNames() const { return show_color_names_; }
  virtual void SetShowColorNames(bool v);
  TColorDialogOptions ColorDlgOptions() const { return color_dlg_options_; }
  void SetColorDlgOptions(TColorDialogOptions o) { color_dlg_options_ = o; }
  virtual TColor SelectedColor() const;
  virtual void SetSelectedColor(TColor v);
  bool NamesChanged() const { return names_changed_; }

  void WndProc(TMessage& m) override;

protected:
  friend class TStyColorNames;
  // Builds the list again (as a new window does), keeping the selection and renamed entries.
  void RebuildList();
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void SelEndOk() override;
  void SelEndCancel() override;
  void DoCloseUp() override;

private:
  bool cancel_pick_ = false;
  TColor default_color_ = 0;
  TColor custom_color_ = 0;
  std::unique_ptr<TStyColorNames> color_names_;
  bool show_sys_colors_ = true;
  bool show_color_names_ = true;
  bool show_default_color_ = true;
  bool show_custom_color_ = true;
  TColorDialogOptions color_dlg_options_ = cdFullOpen;
  TStringList custom_colors_;
  bool names_changed_ = false;
  bool building_ = false;
};

}  // namespace qv
