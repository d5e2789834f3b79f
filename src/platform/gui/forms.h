#pragma once
// Forms, the application object with its main loop and idle event, the screen, timers and
// message dialogs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/gui/menus.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// A top-level form's Left and Top are its outer corner (the frame's, under a window manager); its
// Width and Height are those of the client area.
class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::string ClassName() const override { return "TForm"; }

  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form modally and returns its ModalResult once it is set.
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int result);
  // Asks OnCloseQuery, then OnClose decides: hide (default), free, minimise or nothing. A modal
  // form closes with mrCancel; closing the main form ends the program.
  void Close();
  // Frees the form from the main loop, after the running handler returned.
  void Release();

  TBorderStyle FormBorderStyle() const { return form_border_style_; }
  void SetFormBorderStyle(TBorderStyle style);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* c);
  void SetVisible(bool visible) override;
  void SetText(const std::string& text) override;
  // Asks the window system to resize the window from its bottom-right corner; offscreen it only
  // counts the request.
  void StartSystemResize();
  int SystemResizeRequests() const { return system_resize_requests_; }
  // The sub-window that holds the form inside a multiple-document frame, null for a top-level
  // form (set by the frame's client area).
  void* MdiSubWindow() const { return mdi_sub_; }
  void SetMdiSubWindow(void* sub) { mdi_sub_ = sub; }

  std::function<void(TComponent*, bool& can_close)> OnCloseQuery;
  std::function<void(TComponent*, TCloseAction& action)> OnClose;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;

  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  virtual bool CloseQuery();
  virtual void DoClose(TCloseAction& action);

private:
  void PlaceOnShow();
  void RebuildMenuBar();
  void Unregister();
  TBorderStyle form_border_style_ = TBorderStyle::bsSizeable;
  TPosition position_ = TPosition::poDesigned;
  TMainMenu* menu_ = nullptr;
  TWinControl* active_control_ = nullptr;
  void* menu_bar_ = nullptr;
  bool modal_ = false;
  bool release_after_modal_ = false;  // released while its modal loop runs
  int release_depth_ = 0;             // the nesting of modal loops when Release was called
  int modal_result_ = mrNone;
  int system_resize_requests_ = 0;
  void* mdi_sub_ = nullptr;
};

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;
  std::string ClassName() const override { return "TApplication"; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t) { title_ = t; }
  TForm* MainForm() const { return main_form_; }
  void SetMainForm(TForm* f) { main_form_ = f; }
  bool ShowMainForm = true;
  // Creates a form owned by the application; the first one becomes the main form.
  template <class F>
  F* CreateForm() {
    F* f = new F(this);
    if (!main_form_) main_form_ = f;
    return f;
  }
  // Runs the main loop until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Lets a later Run start again (for programs and tests that run the loop more than once).
  void ClearTerminated();
  // Handles every waiting event and posted message, then returns.
  void ProcessMessages();
  // Inside a catch block: the silent abort is swallowed, other exceptions go to OnException or
  // are shown in a message dialog.
  void HandleException(TComponent* sender = nullptr);
  void ShowException(const std::exception& e);
  bool Active() const;
  TColor HintColor = clInfoBk;

  // Runs each time the main loop has no more events; Done false asks for another pass at once.
  std::function<void(TComponent*, bool& done)> OnIdle;
  std::function<void(TComponent*, const std::exception&)> OnException;
  // Idle passes run so far (for diagnostics and tests).
  uint64_t IdleCount() const { return idle_count_; }

  // Called by the main loop when it is about to wait.
  void DoIdle();

private:
  friend class TForm;
  std::string title_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  bool in_idle_ = false;
  uint64_t idle_count_ = 0;
};

// The application object; created with the GUI's first use.
extern TApplication* Application;
// The window as the window system places it, its frame and title bar included, in screen
// coordinates (without a window manager: the client area).
TRect WindowFrameRect(const TForm* form);
// Writes what the window shows now (its children included) as a PNG file; false on failure.
bool SaveWindowImage(TWinControl* window, const std::string& png_file);
// Copies what the window shows now (its children and native parts included) into `into`, which
// takes the window's size.
void GrabWindowImage(TWinControl* window, TBitmap& into);

// The system's double-click time in milliseconds.
int DoubleClickTime();

// Runs fn from the main loop after the running handler returned (deferred frees).
void PostDeferredCall(std::function<void()> fn);

// SIGTERM and SIGHUP (a desktop session ending) call handler with the signal number from the
// main loop: the signal handler only writes to a pipe that wakes the loop. Null restores the
// signals' default action.
void SetTerminationSignalHandler(std::function<void(int signal)> handler);

// Starts the GUI with the program's arguments (before any window exists).
void InitializeGui(int& argc, char** argv);
// Starts the GUI with default arguments unless it runs already (tests and tools).
void InitializeGui();
// Waits for the toolkit's worker threads (image scaling and conversion) and ends them, so that
// none is left running while the process exits.
void EndGuiWorkers();

struct TMonitor {
  TRect BoundsRect;
  TRect WorkareaRect;
};

class TScreen {
public:
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TForm* Forms(int index) const { return forms_.at(static_cast<size_t>(index)); }
  int Width() const;
  int Height() const;
  TFont& MenuFont() { return menu_font_; }
  int MonitorCount() const;
  TMonitor Monitors(int index) const;
  // The monitor containing the point, or -1.
  int MonitorFromPoint(TPoint p) const;
  // The monitor nearest the control's window.
  int MonitorFromWindow(const TControl* control) const;

private:
  friend class TForm;
  TCursor cursor_ = crDefault;
  std::vector<TForm*> forms_;
  TFont menu_font_;
};
extern TScreen* Screen;

// A main-thread timer; OnTimer runs from the main loop.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  TNotifyEvent OnTimer;
  // The timer's tick, as the main loop calls it.
  void Timer();

private:
  void Update();
  uint32_t interval_ = 1000;
  bool enabled_ = true;
  void* timer_ = nullptr;
};

// Shows a message dialog and answers the modal result of the chosen button.
int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int help_context = 0);
void ShowMessage(const std::string& msg);
// Tests script the answers: the answerer runs instead of the dialog.
using TMessageDlgAnswerer = std::function<int(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons)>;
void SetMessageDlgAnswerer(TMessageDlgAnswerer answerer);
// The system's input query: a caption, a prompt and an edit preset with value; true on OK, with
// value the edited text. Tests script it like the message dialogs.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
using TInputQueryAnswerer =
    std::function<bool(const std::string& caption, const std::string& prompt, std::string& value)>;
void SetInputQueryAnswerer(TInputQueryAnswerer answerer);

}  // namespace qv
