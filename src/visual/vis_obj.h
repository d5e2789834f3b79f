#pragma once
// Visual objects: the styled panels that show logged data on a monitor page (plots, tables,
// icons). The base holds what all of them share: the title, permission options and visibility
// flags, the display state, the selection border, the popup menu with the common commands, the
// global channels with their data-set registrations, the print frame and the stored keys.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "controls/sty_panel.h"
#include "datastore/global_channel.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TData;
class TChannel;
class TForm;
class TIniFile2;
class TRegistry;
class TProcessWindowService;

// Permission options, bit order as stored.
enum TVOOption : uint8_t {
  voExpandable = 0x01,
  voMaskable = 0x02,
  voMaximEnabled = 0x04,
  voNormalEnabled = 0x08,
  voMaskEnabled = 0x10,
  voDelEnabled = 0x20,
  voEditTitleEnab = 0x40,
  voPrintEnabled = 0x80,
};
using TVOOptions = uint8_t;

// Visibility flags of buttons and popup entries, bit order as stored.
enum TCntrVisibFlag : uint8_t {
  cvMaxNormBtnVisible = 0x01,
  cvMaskBtnVisible = 0x02,
  cvDelBtnVisible = 0x04,
  cvDelMenVisible = 0x08,
  cvEditTitleVis = 0x10,
  cvAddDelChanVis = 0x20,
  cvEditChanVis = 0x40,
};
using TCntrVisib = uint8_t;

// The stored form of a set of flags named in bit order: each name of a set bit followed by "-".
// Reading removes each known name with its "-"; false (and bits untouched) when text is left.
std::string FlagSetToStr(uint8_t bits, std::span<const char* const> names);
bool StrToFlagSet(std::string text, std::span<const char* const> names, uint8_t& bits);
std::string VOOptionsToStr(TVOOptions options);
std::string CntrVisibToStr(TCntrVisib flags);
// Removes each known name with its "-"; false (and the set untouched) when any text is left.
bool StrToVOOptions(std::string text, TVOOptions& options);
bool StrToCntrVisib(std::string text, TCntrVisib& flags);

// Whether the printer of the last visual-object print prints in colour.
extern bool PrinterIsColor;

// Virtual keys of the numeric pad and of the main keyboard's plus and minus keys.
constexpr uint16_t VK_ADD = 107, VK_SUBTRACT = 109, VK_OEM_PLUS = 187, VK_OEM_MINUS = 189;

// A panel that can fit its width to its caption (title bars, legend entries).
class TVoPanel : public TStyCustomPanel {
public:
  explicit TVoPanel(TComponent* owner);
  std::string ClassName() const override { return "TVoPanel"; }
  bool AutoWidth() const { return auto_width_; }
  void SetAutoWidth(bool v);
  int TextMargin = 6;
  virtual void AdjustWidth();
  bool Focusing() const { return focusing_; }

protected:
  void CMTextChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  bool auto_width_ = false;
  bool focusing_ = false;
};

// Frame width of one border of a style, as a panel's width fit counts it.
int FrameStyleWidth(TFrameStyleEx style);

class TVisObj : public TStyCustomPanel {
public:
  // The object is complete only after AfterConstruction, which CreateVisObj calls.
  explicit TVisObj(TComponent* owner);
  ~TVisObj() override;
  std::string ClassName() const override { return "TVisObj"; }

  // Creation step that calls overridden operations: language, channel list, popup menu.
  virtual void AfterConstruction();

  bool vobSelected() const { return selected_; }
  void SetvobSelected(bool value);
  int32_t vobId() const { return id_; }
  virtual void SetvobId(int32_t id);
  const std::string& vobTypeDescr() const { return type_descr_; }
  virtual std::string GetvobTitle() const;
  virtual void SetvobTitle(const std::string& text);
  TGlobChanList* vobGlobChanList() const { return glob_chan_list_.get(); }

  TNotifyEvent OnStartSelect;
  TNotifyEvent OnDeregisterSel;
  TNotifyEvent OnStateChange;
  TNotifyEvent OnDelete;
  TNotifyEvent OnDestroy;

  // Title and type.
  std::string CustomTitle;
  std::string AutoTitlePrefix;
  std::string GetAutoTitle() const;
  virtual void LoadTitlePrefix();
  virtual std::string GetTypeDescr() const;
  virtual void UpdateTypeDescr();
  virtual void UpdateTitle();
  virtual std::string GetGlbChanDescr() const;
  void ReloadTitle();
  virtual void UpdateLanguage();
  void EditTitle();

  // Options, flags and state.
  TVOOptions VOOptions() const { return vo_options_; }
  virtual void SetVOOptions(TVOOptions options);
  TVOOptions DefaultVOOptions = voDelEnabled | voEditTitleEnab;
  TCntrVisib CntrVisib() const { return cntr_visib_; }
  virtual void SetCntrVisib(TCntrVisib flags);
  TCntrVisib DefaultCntrVisib = cvDelMenVisible | cvEditTitleVis | cvEditChanVis;
  uint8_t State() const { return state_; }
  virtual void SetState(uint8_t new_state);
  virtual void AdjustOptionsForState(TVOOptions& options, uint8_t state);
  bool WasSelected = false;
  bool Deactivated = false;
  bool PendingRelease = false;
  bool GlobChanUpdating = false;
  virtual void Deactivate();
  virtual void Activate();

  // Events.
  virtual void DoStartSelect();
  virtual void DoDeregisterSel();
  virtual void DoStateChange();
  virtual void DoDelete(bool pending_release);
  virtual void DoDestroy();
  virtual void RequestDelete();
  // Carries out a deletion asked for through OnDelete. A deletion started in the object's own
  // handler (PendingRelease) frees the object after that handler has returned.
  void Delete(bool confirm);

  // Menus and the main window's controls.
  virtual void CreatePopupMenu();
  virtual void DestroyPopupMenu();
  virtual void UpdateMenus();
  virtual void UpdateButtons();
  void SetEditMenu(TMenuItem* item);
  void SetViewMenu(TMenuItem* item);
  void SetDelButton(TControl* button);
  void SetPrintButton(TControl* button);
  void SetPrintMenu(TMenuItem* item);
  TPopupMenu* Popup() const { return popup_; }
  TMenuItem* ClassSeparator = nullptr;
  // The separator before the print entry.
  TMenuItem* PrintSeparator() const { return men_sep_print_; }
  void EditTitleMenuClick(TComponent* sender);
  void DelMenuClick(TComponent* sender);
  virtual void AddChanMenuClick(TComponent* sender);
  void DelChanMenuClick(TComponent* sender);
  void EditChanMenuClick(TComponent* sender);
  virtual bool HandleKey(uint16_t& key, TShiftState shift);

  // Channels.
  virtual void CreateGlobChanList();
  virtual std::unique_ptr<TGlobalChannel> CreateGlobChan(TData* data, TChannel* channel);
  virtual bool CanAcceptGlbChan(TData* data, TChannel* channel, uint8_t& reason);
  virtual void AddDataClient(TData* data);
  virtual bool AddGlobChan(TData* data, TChannel* channel);
  virtual void DeleteGlobChan(int index);
  virtual void ClearGlobChans();
  void BeginGlobChanUpdate() { GlobChanUpdating = true; }
  virtual void GlobChansChanged();
  int GetGlobChanCount() const;
  virtual TGlobalChannel* LoadGlobChanIni(TIniFile2* ini, const std::string& section, TChannel* channel);
  // The same from the open key of the older registry profile.
  virtual TGlobalChannel* LoadGlobChan(TRegistry* registry, TChannel* channel);
  virtual void GlobChanLoaded(TGlobalChannel* glob_chan);
  virtual void DataNotify(TData* data, int32_t event);
  virtual void EditGlobChan(int index);

  // Printing.
  bool Printing = false;
  int32_t PageCount = -1;
  int32_t PrintSelection = -1;
  int32_t Copies = 1;
  bool Collate = false;
  uint8_t PrintRange = 0;
  int32_t FromPage = 1, ToPage = 1;
  virtual void PrintBtnMenuClick(TComponent* sender);
  int32_t GetPrintPageCount();
  virtual void DefinePrintPgCnt();
  virtual void EndPrint();
  virtual void DoPrint(TProcessWindowService* window);

  // Stored keys of the monitor file; the object's section is named by its monitor.
  virtual void StoreIniSection(TIniFile2* ini, const std::string& section);
  virtual void LoadIniSection(TIniFile2* ini, const std::string& section);
  // The import from the older registry profile, with the object's key open; that key is open
  // again afterwards, also when an error passes.
  virtual void LoadRegKey(TRegistry* registry);

  bool Focusing() const { return focusing_; }
  // Forgets a bound main-window control that is freed before the object.
  void Notification(TComponent* component, TOperation operation) override;
  // True from the start of the destructor: menus, buttons and repaints are left alone.
  bool BeingDestroyed() const { return being_destroyed_ || Destroying(); }

protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void CMEnter(TMessage& m) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  TMenuItem* AddPopupItem(const std::string& caption, TNotifyEvent on_click);
  // Shows a dialog of the object modally; result is its modal result. The dialog's loop runs the
  // program's other work, which may rebuild the page: an object freed meanwhile cancels the
  // dialog, and false tells the caller not to touch the object again.
  bool RunModal(TForm& dialog, int& result);

  TMenuItem* EMenVO = nullptr;
  TMenuItem* VMenVO = nullptr;
  TControl* DelVObjButton = nullptr;
  TControl* PrintVoBtn = nullptr;
  TMenuItem* FPMenPrintVo = nullptr;

private:
  void ReleaseBoundControls();
  void Bind(TComponent* component);
  void LoadSets(const std::string& options_text, const std::string& visib_text);

  bool selected_ = false;
  int32_t id_ = 0;
  std::string type_descr_;
  std::unique_ptr<TGlobChanList> glob_chan_list_;
  TVOOptions vo_options_ = voDelEnabled | voEditTitleEnab;
  TCntrVisib cntr_visib_ = cvDelMenVisible | cvEditTitleVis | cvEditChanVis;
  uint8_t state_ = 0;
  bool focusing_ = false;
  bool being_destroyed_ = false;
  // Cleared by the destructor, so that a queued release of a freed object does nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The dialog RunModal shows now, or null.
  TForm* modal_dialog_ = nullptr;

  TPopupMenu* popup_ = nullptr;
  TMenuItem* men_edit_title_ = nullptr;
  TMenuItem* men_del_ = nullptr;
  TMenuItem* men_sep_chan_ = nullptr;
  TMenuItem* men_add_chan_ = nullptr;
  TMenuItem* men_del_chan_ = nullptr;
  TMenuItem* men_edit_chan_ = nullptr;
  TMenuItem* men_sep_print_ = nullptr;
  TMenuItem* men_print_ = nullptr;
};

// Creates a visual object of class T and runs its creation step.
template <class T, class... A>
T* CreateVisObj(A&&... args) {
  T* obj = new T(std::forward<A>(args)...);
  try {
    obj->AfterConstruction();
  } catch (...) {
    delete obj;
    throw;
  }
  return obj;
}

// A visual object with a title bar (delete, maximise / normal and mask buttons) above a client
// panel: the base of plots and tables.
class TSizeVisObj : public TVisObj {
public:
  explicit TSizeVisObj(TComponent* owner);
  std::string ClassName() const override { return "TSizeVisObj"; }
  void AfterConstruction() override;

  virtual void MaxNormBtnClick(TComponent* sender);
  virtual void MaskBtnClick(TComponent* sender);
  virtual void DelBtnClick(TComponent* sender);
  virtual void ArrangeTitleBar();

  void SetVOOptions(TVOOptions options) override;
  void AdjustOptionsForState(TVOOptions& options, uint8_t state) override;
  void SetCntrVisib(TCntrVisib flags) override;
  void UpdateTitle() override;
  void UpdateButtons() override;
  bool HandleKey(uint16_t& key, TShiftState shift) override;
  void UpdateLanguage() override;
  void SetBounds(int left, int top, int width, int height) override;

  TVoPanel* TitleBar() const { return title_bar_; }
  TVoPanel* ClientPanel() const { return client_panel_; }
  TSpeedButton* DelButton() const { return del_btn_; }
  TSpeedButton* MaxNormButton() const { return max_norm_btn_; }
  TSpeedButton* MaskButton() const { return mask_btn_; }
  TLabel* TitleLabel() const { return title_label_; }

private:
  TVoPanel* title_bar_ = nullptr;
  TVoPanel* client_panel_ = nullptr;
  TSpeedButton* del_btn_ = nullptr;
  TSpeedButton* max_norm_btn_ = nullptr;
  TSpeedButton* mask_btn_ = nullptr;
  TLabel* title_label_ = nullptr;
};

// Loads the first of the two glyphs of a strip file below the program folder into the button;
// a missing or unreadable file leaves the glyph empty.
void LoadButtonGlyph(TSpeedButton* button, const std::string& relative_file);

// The base of all diagrams.
class TDiagramVO : public TSizeVisObj {
public:
  using TSizeVisObj::TSizeVisObj;
  std::string ClassName() const override { return "TDiagramVO"; }
  void LoadTitlePrefix() override;
  std::string GetTypeDescr() const override;
  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
};

}  // namespace qv
