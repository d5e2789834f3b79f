#pragma once
// Controls: windowless (graphic) controls painted on their parent, and windowed controls with a
// client area inside a non-client border. Paint, mouse, key and component messages arrive as
// virtual operations and through WndProc, which a control may override to see a message first.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/gui/graphics.h"
#include "platform/os/message_queue.h"

namespace qv {

class TAction;
class TControl;
class TWinControl;
class TPopupMenu;
class TForm;

// Component messages.
constexpr uint32_t CM_BASE = 0xB000;
constexpr uint32_t CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_DIALOGKEY = CM_BASE + 5,
                   CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
                   CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10, CM_VISIBLECHANGED = CM_BASE + 11,
                   CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
                   CM_CURSORCHANGED = CM_BASE + 15, CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19,
                   CM_MOUSELEAVE = CM_BASE + 20, CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25,
                   CM_ENTER = CM_BASE + 26, CM_EXIT = CM_BASE + 27, CM_CONTROLCHANGE = CM_BASE + 36,
                   CM_CONTROLLISTCHANGE = CM_BASE + 44, CM_RELEASE = CM_BASE + 33;
// Window messages.
constexpr uint32_t WM_SIZE = 0x0005, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_PAINT = 0x000F,
                   WM_ERASEBKGND = 0x0014, WM_SETCURSOR = 0x0020, WM_WINDOWPOSCHANGED = 0x0047, WM_NCCALCSIZE = 0x0083,
                   WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_NCLBUTTONDOWN = 0x00A1, WM_KEYDOWN = 0x0100,
                   WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_SYSCOMMAND = 0x0112, WM_MOUSEMOVE = 0x0200,
                   WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
                   WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208,
                   WM_MOUSEWHEEL = 0x020A;
// Sent to a top-level window that loses activation: pending mouse modes (drags) end.
constexpr uint32_t WM_CANCELMODE = 0x001F;
// A context-menu request after a right click; LParam holds the screen point.
constexpr uint32_t WM_CONTEXTMENU = 0x007B;
constexpr uint32_t SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
constexpr uint32_t SC_SIZE = 0xF000;
constexpr intptr_t HTNOWHERE = 0, HTCLIENT = 1, HTTRANSPARENT = -1;
// Key state bits of mouse messages.
constexpr uintptr_t MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 0x10;

constexpr intptr_t MakeLParam(int lo, int hi) {
  return static_cast<intptr_t>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
constexpr int LoWordSigned(intptr_t v) { return static_cast<int16_t>(v & 0xFFFF); }
constexpr int HiWordSigned(intptr_t v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }

// Virtual key codes.
constexpr uint16_t VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18,
                   VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37,
                   VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_F1 = 112;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : uint16_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TShiftState = uint16_t;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Control style flags.
enum TControlStyleFlag : uint32_t {
  csAcceptsControls = 1,
  csCaptureMouse = 2,
  csDesignInteractive = 4,
  csClickEvents = 8,
  csFramed = 16,
  csSetCaption = 32,
  csOpaque = 64,
  csDoubleClicks = 128,
  csFixedWidth = 256,
  csFixedHeight = 512,
  csNoDesignVisible = 1024,
  csReplicatable = 2048,
  csNoStdEvents = 4096,
  csDisplayDragImage = 8192,
  csReflector = 16384,
  csParentBackground = 32768
};
using TControlStyle = uint32_t;

using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TComponent* sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TComponent* sender, char& key)>;

// Mouse cursors.
using TCursor = int;
constexpr TCursor crDefault = 0, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
                  crSizeNWSE = -8, crSizeWE = -9, crHourGlass = -11, crDrag = -12, crHandPoint = -21, crHSplit = -14,
                  crVSplit = -15;

// A handle used while a control is being painted; null outside.
struct TControlImpl;
struct TWinControlImpl;

// A published property of a control, written by name (a frame controller sets its settings on
// every control that has a property of that name). Enumerations are written by their names and
// sets by their text form ("[sdLeft,sdTop]").
struct TPropertySetter {
  std::function<void(bool)> Bool;
  std::function<void(TColor)> Color;
  std::function<void(const std::string&)> Text;
  static TPropertySetter OfBool(std::function<void(bool)> f) {
    TPropertySetter s;
    s.Bool = std::move(f);
    return s;
  }
  static TPropertySetter OfColor(std::function<void(TColor)> f) {
    TPropertySetter s;
    s.Color = std::move(f);
    return s;
  }
  static TPropertySetter OfText(std::function<void(const std::string&)> f) {
    TPropertySetter s;
    s.Text = std::move(f);
    return s;
  }
};

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  virtual void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  virtual void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TRect BoundsRect() const { return TRect{left_, top_, left_ + width_, top_ + height_}; }
  // An unchanged rectangle changes nothing: no resize, no re-alignment.
  virtual void SetBounds(int left, int top, int width, int height);
  virtual TRect ClientRect() const { return TRect{0, 0, width_, height_}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  // The client origin inside the parent's client area.
  virtual TPoint ClientOriginInParent() const { return {left_, top_}; }

  TAlign Align() const { return align_; }
  virtual void SetAlign(TAlign align);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to the top-level window too.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text) { SetText(text); }
  const std::string& Text() const { return caption_; }
  virtual void SetText(const std::string& text);
  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool v);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool v) { show_hint_ = v; }
  TPopupMenu* PopupMenu() const { return popup_menu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TControlStyle ControlStyle() const { return control_style_; }
  void SetControlStyle(TControlStyle style) { control_style_ = style; }
  TBiDiMode BiDiMode() const { return bidi_mode_; }
  void SetBiDiMode(TBiDiMode mode) { bidi_mode_ = mode; }
  bool UseRightToLeftAlignment() const { return bidi_mode_ == TBiDiMode::bdRightToLeft; }
  bool UseRightToLeftReading() const { return bidi_mode_ != TBiDiMode::bdLeftToRight; }

  // Sends a message to the control at once; answers its Result.
  intptr_t Perform(uint32_t msg, uintptr_t wparam, intptr_t lparam);

  bool HasPublishedProperty(const std::string& name) const;
  // Each answers false (and writes nothing) when the control publishes no such property.
  bool SetPublishedBool(const std::string& name, bool value);
  bool SetPublishedColor(const std::string& name, TColor value);
  bool SetPublishedText(const std::string& name, const std::string& value);
  virtual void WndProc(TMessage& message);

  virtual void Invalidate();
  void Repaint();
  void Refresh() { Repaint(); }
  virtual void Update();
  virtual void Click();
  virtual void BringToFront();

  bool MouseCapture() const;
  void SetMouseCapture(bool capture);

  void Notification(TComponent* component, TOperation operation) override;

  // The bound action: its caption, enabled state, hint and visibility show on the control, and a
  // click without an OnClick handler executes it.
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  // Called when the action changes; check_defaults copies only onto values still at their defaults.
  virtual void ActionChange(TAction* sender, bool check_defaults);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Painting of this control and its windowless children onto `canvas`, whose origin is at the
  // control's top-left. Windowed children are not painted here.
  virtual void PaintTo(TCanvas& canvas, int x, int y);

protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DblClick();
  virtual void Resize();
  virtual void Changed();
  // Handlers of the component messages, called by the default WndProc.
  virtual void CMEnabledChanged(TMessage&) { Invalidate(); }
  virtual void CMVisibleChanged(TMessage&) {}
  virtual void CMTextChanged(TMessage&) { Invalidate(); }
  virtual void CMFontChanged(TMessage&) { Invalidate(); }
  virtual void CMColorChanged(TMessage&) { Invalidate(); }
  virtual void CMParentColorChanged(TMessage& m);
  virtual void CMParentFontChanged(TMessage& m);
  virtual void CMMouseEnter(TMessage&) {}
  virtual void CMMouseLeave(TMessage&) {}
  virtual void CMHitTest(TMessage& m) { m.Result = HTCLIENT; }
  virtual void WMPaint(TMessage&) {}
  // Mouse messages of the control's own coordinate space.
  void MouseMessage(TMessage& m);
  // WM_CONTEXTMENU: shows the popup menu of the control or of its nearest parent that has one.
  virtual void ContextMenu(TMessage& m);
  virtual void SetParentInternal(TWinControl* parent) { parent_ = parent; }
  void RequestAlign();
  void PublishProperty(const std::string& name, TPropertySetter setter);

  TControlStyle control_style_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;

private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  TColor color_ = clWindow;
  bool parent_color_ = true;
  TFont font_;
  bool parent_font_ = true;
  std::string hint_;
  bool show_hint_ = false;
  TPopupMenu* popup_menu_ = nullptr;
  TAction* action_ = nullptr;
  TCursor cursor_ = crDefault;
  TBiDiMode bidi_mode_ = TBiDiMode::bdLeftToRight;
  bool mouse_pressed_ = false;
  std::vector<std::pair<std::string, TPropertySetter>> published_;
};

class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::string ClassName() const override { return "TGraphicControl"; }
  // The parent's canvas with the origin at this control's top-left; valid while painting, and
  // outside painting a canvas on the parent's window buffer.
  TCanvas& Canvas();
  void Invalidate() override;
  void PaintTo(TCanvas& canvas, int x, int y) override;

protected:
  virtual void Paint() {}
  void WMPaint(TMessage&) override;

private:
  TCanvas* paint_canvas_ = nullptr;
};

// A windowed control. Its window has a non-client border around the client area; the border's size
// comes from WM_NCCALCSIZE (LParam points to the window rectangle, which the handler shrinks to
// the client rectangle) and it is drawn on WM_NCPAINT (LParam points to a canvas over the whole
// window, origin at the window's top-left).
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  std::string ClassName() const override { return "TWinControl"; }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // Sends the message to every child.
  void Broadcast(TMessage& message);
  // The topmost visible child at a client point (windowless children included), or null.
  TControl* ControlAtPos(TPoint p, bool allow_disabled = false) const;

  // The area inside the non-client border; ClientRect may be overridden to lay out children
  // differently, this one is what the window paints in.
  TRect ClientRect() const override;
  TRect WindowClientRect() const;
  TPoint ClientOriginInParent() const override;
  // The client area's top-left inside the window.
  TPoint ClientOffset() const { return {nc_.Left, nc_.Top}; }
  TRect WindowRect() const { return TRect{0, 0, Width(), Height()}; }
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle style);
  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool v);
  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* parent) override;

  void DisableAlign() { ++align_disabled_; }
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return align_disabled_ > 0; }

  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool v) { tab_stop_ = v; }
  // The place among the windowed children of the parent that Tab walks; -1 without a parent.
  int TabOrder() const;
  // Moves the control to that place (clamped to the children); the others keep their order.
  void SetTabOrder(int order);
  // The windowed children in their tab order.
  const std::vector<TWinControl*>& TabList() const { return tab_list_; }
  virtual bool CanFocus() const;
  bool Focused() const;
  // Does nothing when the control cannot take the focus.
  virtual void SetFocus();
  bool DoubleBuffered() const { return double_buffered_; }
  void SetDoubleBuffered(bool v) { double_buffered_ = v; }

  void Invalidate() override;
  void InvalidateRect(const TRect& r, bool erase);
  void Update() override;
  void PaintTo(TCanvas& canvas, int x, int y) override;
  // Re-reads the border size and repaints the border.
  void RecalcNonClient();
  // Posts a message to the control's window; it reaches WndProc from the main loop.
  void PostMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam);

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void WndProc(TMessage& message) override;
  TWinControlImpl& Impl() const { return *win_; }
  // The canvas of windowed painting (set while painting).
  TCanvas* PaintCanvas() const { return paint_canvas_; }

protected:
  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect& rect) { (void)rect; }
  // A child was inserted (inserting) or removed.
  virtual void ControlChange(TControl* control, bool inserting) { (void)control, (void)inserting; }
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Paints the client area: erase, then the control's own painting, then windowless children.
  virtual void PaintWindow(TCanvas& canvas);
  virtual void CMEnter(TMessage&);
  virtual void CMExit(TMessage&);
  void CMEnabledChanged(TMessage&) override;
  void CMVisibleChanged(TMessage&) override;
  // Native content (edits, lists) lives inside the client area; controls with one create it here.
  virtual void CreateNative() {}
  void Resize() override;
  void SetParentInternal(TWinControl* parent) override;

private:
  friend class TControl;
  friend class TGraphicControl;
  friend struct TWinControlImpl;
  void AlignChildren();
  void PaintNonClient(TCanvas& whole);
  void ApplyBounds();

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tab_list_;
  std::unique_ptr<TWinControlImpl> win_;
  TRect nc_;  // border widths: Left, Top, Right, Bottom
  TBorderStyle border_style_ = TBorderStyle::bsNone;
  bool ctl3d_ = true;
  int align_disabled_ = 0;
  bool align_pending_ = false;
  bool aligning_ = false;
  bool tab_stop_ = false;
  bool double_buffered_ = false;
  TCanvas* paint_canvas_ = nullptr;
  HWND hwnd_ = nullptr;
};

// A windowed control that paints itself through Paint on its own canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* owner);
  std::string ClassName() const override { return "TCustomControl"; }
  TCanvas& Canvas();

protected:
  virtual void Paint() {}
  void PaintWindow(TCanvas& canvas) override;
};

// A canvas that draws on a control outside painting; it shows at once.
TCanvas& ControlCanvas(TControl* control);

// The hint shown at a client point of the window: that of a windowless child under the point
// when it shows one, else the window's own when it shows hints; "" for none. Lines are split at
// CR LF, CR or LF alike.
std::string ControlHintAt(const TWinControl* window, TPoint client);

// The form that contains the control, or null.
TForm* GetParentForm(const TControl* control);

// The pointer position in screen coordinates, and the control under it.
TPoint CursorPos();
void SetCursorPosForTest(TPoint p);
// Types a key on the focused window as the keyboard does: a press carrying `ch` (0 for none), then
// a release.
void SendKeyForTest(uint16_t key, char ch, TShiftState shift = 0);
// Sends the window a left-button press, a move or a release (WM_LBUTTONDOWN, WM_MOUSEMOVE,
// WM_LBUTTONUP) at a client point, as the window system delivers it.
void SendMouseForTest(TWinControl* window, uint32_t msg, TPoint client, TShiftState shift = 0);
TControl* FindControlAtScreen(TPoint screen);
void ReleaseCapture();
// The control that holds the mouse capture, or null.
TControl* CaptureControl();

}  // namespace qv
