#pragma once
// The flat toolbar button: image-list glyphs, an optional caption, latching groups, a drop-down
// variant with a split arrow that shows a popup menu, and size, layout and caption display taken
// from its toolbar unless set on the button itself.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/sty_toolbar.h"
#include "platform/gui/actions.h"

namespace qv {

enum class TStyToolStyle : uint8_t { tsButton, tsDropDown };
enum class TStyToolButtonState : uint8_t { bsUp, bsDisabled, bsPressed, bsLatched, bsMenuShown };

// The 32-bit millisecond tick of the system, compared by unsigned difference.
using TTickSource = std::function<uint32_t()>;
uint32_t SystemTickCount();

class TStyToolButton : public TGraphicControl {
public:
  explicit TStyToolButton(TComponent* owner);
  ~TStyToolButton() override;
  std::string ClassName() const override { return "TStyToolButton"; }

  static constexpr int kArrowWidth = 14;

  bool AllowAllUp() const { return allow_all_up_; }
  virtual void SetAllowAllUp(bool v);
  bool Down() const { return down_; }
  virtual void SetDown(bool v);
  TPopupMenu* DropDownMenu() const { return drop_down_menu_; }
  virtual void SetDropDownMenu(TPopupMenu* menu);
  bool Flat() const { return flat_; }
  virtual void SetFlat(bool v);
  int GroupIndex() const { return group_index_; }
  virtual void SetGroupIndex(int v);
  int HotIndex() const { return hot_index_; }
  virtual void SetHotIndex(int v);
  int ImageIndex() const { return image_index_; }
  virtual void SetImageIndex(int v);
  int DownIndex() const { return down_index_; }
  virtual void SetDownIndex(int v);
  int DisabledIndex() const { return disabled_index_; }
  virtual void SetDisabledIndex(int v);
  TCustomImageList* Images() const { return images_; }
  virtual void SetImages(TCustomImageList* images);
  bool UseToolbarButtonLayout() const { return use_toolbar_layout_; }
  virtual void SetUseToolbarButtonLayout(bool v);
  TButtonLayout Layout() const { return layout_; }
  virtual void SetLayout(TButtonLayout v);
  bool UseToolbarButtonSize() const { return use_toolbar_size_; }
  virtual void SetUseToolbarButtonSize(bool v);
  void SetWidth(int v) override;
  void SetHeight(int v) override;
  bool UseToolbarShowCaption() const { return use_toolbar_show_caption_; }
  virtual void SetUseToolbarShowCaption(bool v);
  bool ShowCaption() const { return show_caption_; }
  virtual void SetShowCaption(bool v);
  TStyToolStyle ToolStyle() const { return tool_style_; }
  virtual void SetToolStyle(TStyToolStyle v);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool v);

  TStyToolButtonState State() const { return state_; }
  bool MouseOver() const { return mouse_over_; }
  void SetTickSource(TTickSource source) { tick_ = std::move(source); }

  virtual void SyncWithToolbar();
  virtual void DropDown();
  virtual TPoint GlyphSize() const;
  virtual TRect GlyphRect(const TRect& client);
  virtual TRect CaptionRect(const TRect& client);
  void Click() override;
  void SetParent(TWinControl* parent) override;
  void ActionChange(TAction* sender, bool check_defaults) override;
  // Copies Down and ImageIndex onto an action.
  void AssignTo(TAction& action) const;

  TNotifyEvent OnDropDown;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void Paint() override;
  virtual void DrawButtonFrame(TRect& rect);
  virtual void DrawImage(const TRect& rect);
  virtual void DrawDropDownPart();
  virtual void DrawCaptionText(const TRect& rect);
  virtual void MouseEntered();
  virtual void MouseLeft();
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  TStyToolbar* Toolbar() const { return dynamic_cast<TStyToolbar*>(Parent()); }
  TCustomImageList* ImageList() const;
  bool HasClickHandler() const { return OnClick || Action(); }
  bool PressedLook() const;
  int CaptionHeight(const TRect& r);
  void SendGroupMessage();
  void SyncHover();
  void ButtonPress(int x, int y);
  void DropDownRelease();
  void GrowToImages();

  bool allow_all_up_ = false;
  bool down_ = false;
  TPopupMenu* drop_down_menu_ = nullptr;
  bool flat_ = true;
  int group_index_ = 0;
  int hot_index_ = -1, image_index_ = -1, down_index_ = -1, disabled_index_ = -1;
  TCustomImageList* images_ = nullptr;
  TChangeLink image_link_;
  bool use_toolbar_layout_ = true, use_toolbar_size_ = true, use_toolbar_show_caption_ = true;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  bool show_caption_ = false;
  TStyToolStyle tool_style_ = TStyToolStyle::tsButton;
  bool transparent_ = true;
  TStyToolButtonState state_ = TStyToolButtonState::bsUp;
  bool dragging_ = false;
  bool mouse_over_ = false;
  bool treat_as_normal_ = true;
  uint32_t menu_tick_ = 0;
  TTickSource tick_ = SystemTickCount;
  // Goes with the button: a handler that ran from one of its mouse messages tells whether it freed it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qv
