#pragma once
// Further controls: panel, paint box, speed button, bevel, and the image list.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

// Draws `width` rings, top-left in one colour and bottom-right in the other, and shrinks rect.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top_color, TColor bottom_color, int width);

enum class TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
public:
  explicit TCustomPanel(TComponent* owner);
  std::string ClassName() const override { return "TCustomPanel"; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TPanelBevel BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TPanelBevel b);
  TPanelBevel BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TPanelBevel b);
  int BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int w);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int w);
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool v) { full_repaint_ = v; }
  bool Locked() const { return locked_; }
  void SetLocked(bool v) { locked_ = v; }

protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) override;

private:
  TAlignment alignment_ = TAlignment::taCenter;
  TPanelBevel bevel_outer_ = TPanelBevel::bvRaised;
  TPanelBevel bevel_inner_ = TPanelBevel::bvNone;
  int bevel_width_ = 1;
  int border_width_ = 0;
  bool full_repaint_ = true;
  bool locked_ = false;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
  std::string ClassName() const override { return "TPanel"; }
};

// One page of a notebook: a plain container that fills the notebook.
class TPage : public TCustomControl {
public:
  explicit TPage(TComponent* owner);
  std::string ClassName() const override { return "TPage"; }
};

// Stacked pages by name, of which only the current one is shown. The pages are owned by the
// notebook.
class TNotebook : public TCustomControl {
public:
  explicit TNotebook(TComponent* owner);
  std::string ClassName() const override { return "TNotebook"; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TPage* Page(int index) const { return pages_.at(static_cast<size_t>(index)); }
  // Index past the end appends; answers the page's index. The current page stays current.
  int InsertPage(int index, const std::string& name);
  int AddPage(const std::string& name) { return InsertPage(PageCount(), name); }
  // Frees the page and its controls; the current index stays within the pages.
  void DeletePage(int index);
  // -1 without pages.
  int PageIndex() const { return page_index_; }
  void SetPageIndex(int index);
  TPage* ActivePage() const { return page_index_ >= 0 ? Page(page_index_) : nullptr; }
  TNotifyEvent OnPageChanged;

private:
  void ShowCurrent();
  std::vector<TPage*> pages_;
  int page_index_ = -1;
};

// A row of tabs below a notebook; a click selects a tab and fires OnClick.
enum class TTabStyle { tsStandard, tsOwnerDraw };

class TTabSet : public TCustomControl {
public:
  explicit TTabSet(TComponent* owner);
  std::string ClassName() const override { return "TTabSet"; }
  int TabCount() const { return static_cast<int>(tabs_.size()); }
  const std::string& Tab(int index) const { return tabs_.at(static_cast<size_t>(index)); }
  void SetTab(int index, const std::string& text);
  void InsertTab(int index, const std::string& text);
  void DeleteTab(int index);
  // -1 without tabs.
  int TabIndex() const { return tab_index_; }
  // Selects the tab without firing OnClick.
  void SetTabIndex(int index);
  // The tab height applies to the owner-drawn style; the standard style sizes tabs by its font.
  TTabStyle Style() const { return style_; }
  void SetStyle(TTabStyle style);
  int TabHeight() const { return tab_height_; }
  void SetTabHeight(int height);
  // The tab under x, -1 when none.
  int TabAt(int x) const;
  TNotifyEvent OnClick;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  int TabWidth(int index) const;
  std::vector<std::string> tabs_;
  int tab_index_ = -1;
  TTabStyle style_ = TTabStyle::tsStandard;
  int tab_height_ = 19;
};

class TPaintBox : public TGraphicControl {
public:
  explicit TPaintBox(TComponent* owner);
  std::string ClassName() const override { return "TPaintBox"; }
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
  explicit TBevel(TComponent* owner);
  std::string ClassName() const override { return "TBevel"; }
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape s);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle s);

protected:
  void Paint() override;

private:
  TBevelShape shape_ = TBevelShape::bsBox;
  TBevelStyle style_ = TBevelStyle::bsLowered;
};

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A windowless button; buttons with the same GroupIndex latch, one down at a time.
class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* owner);
  std::string ClassName() const override { return "TSpeedButton"; }
  bool Down() const { return down_; }
  void SetDown(bool v);
  int GroupIndex() const { return group_index_; }
  void SetGroupIndex(int g) { group_index_ = g; }
  bool AllowAllUp() const { return allow_all_up_; }
  void SetAllowAllUp(bool v) { allow_all_up_ = v; }
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TBitmap& Glyph() { return glyph_; }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  void Click() override;
  void WndProc(TMessage& m) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  bool down_ = false;
  bool pressed_ = false;
  bool mouse_in_ = false;
  int group_index_ = 0;
  bool allow_all_up_ = false;
  bool flat_ = false;
  TBitmap glyph_;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
};

// Tells its holder that an image list changed.
class TChangeLink {
public:
  std::function<void()> OnChange;
};

// Images of one size, drawn with their mask colour transparent.
class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;
  std::string ClassName() const override { return "TCustomImageList"; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);
  int Count() const { return static_cast<int>(images_.size()); }
  // Splits the bitmap into images of the list's size; pixels of mask_color are transparent.
  int AddMasked(const TBitmap& bitmap, TColor mask_color);
  void Delete(int index);
  void Clear();
  // Draws an image; a disabled image is drawn greyed.
  void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

private:
  void Changed();
  int width_ = 16, height_ = 16;
  std::vector<std::unique_ptr<TBitmap>> images_;
  std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  std::string ClassName() const override { return "TImageList"; }
};

}  // namespace qv
