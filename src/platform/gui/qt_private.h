#pragma once
// Qt side of the GUI layer: included only by the layer's own .cpp files.
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <cassert>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/graphics.h"
#include "platform/os/message_queue.h"

namespace qv {

// Every GUI call belongs to the main thread.
#define QV_GUI_THREAD() assert(::qv::IsMainThread() && "GUI call outside the main thread")

struct TCanvasImpl {
  QImage own;                                  // the pixels when the canvas belongs to a bitmap
  QImage* image = nullptr;                     // the target when it is an image
  QPaintDevice* device = nullptr;              // another target (a printer page)
  QPainter* running = nullptr;                 // a painter kept open on `device`
  int pixels_per_inch = kScreenPixelsPerInch;  // font sizes in points convert with it
  struct State {
    QPoint origin;
    bool clipped = false;
    QRegion clip;  // device coordinates
  };
  State state;
  std::vector<State> saved;

  QPaintDevice* Device() const { return image ? static_cast<QPaintDevice*>(image) : device; }
  QRect DeviceRect() const;
};

// Opens a painter on the canvas target with the canvas's clip and origin applied.
class CanvasPainter {
public:
  explicit CanvasPainter(const TCanvasImpl& impl);
  ~CanvasPainter();
  QPainter* operator->() { return p_; }
  QPainter& operator*() { return *p_; }
  bool Active() const { return p_ != nullptr; }

private:
  QPainter own_;
  QPainter* p_ = nullptr;
  bool borrowed_ = false;
};

class TWinControl;
class TControl;
class TForm;

// The window of a windowed control: forwards paint, mouse, key and focus events to its control.
class QvWidget : public QWidget {
public:
  explicit QvWidget(TWinControl* control);
  TWinControl* control;
  // The key press the control's native widget passed to the control already; when that widget
  // does not use it, Qt hands the same event on to this window, which must not pass it twice.
  struct TSeenKey {
    const QKeyEvent* event = nullptr;
    quint64 timestamp = 0;
    int key = 0;
  } native_key;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;
  // Tab and Shift+Tab in a form walk its controls in their tab order.
  bool focusNextPrevChild(bool next) override;
};

// Enter or Escape that the focused control left alone, in its form as a dialog takes them: Enter
// presses the focused push button, else the form's default button; Escape its cancel button. True
// when a button was pressed (the key is used up).
bool PressDialogButton(TWinControl* focused, uint16_t key);

// Lets the focus and key events of a native widget inside `owner`'s control reach that control
// as they do for the control's own window.
void ForwardNativeInput(QvWidget* owner, QWidget* native);

struct TWinControlImpl {
  QvWidget* widget = nullptr;
  QWidget* native = nullptr;        // native content filling the client area
  QImage buffer;                    // the window's pixels as last painted
  std::unique_ptr<TCanvas> canvas;  // a canvas over the buffer
  bool dirty = true;
  TControl* hover = nullptr;  // windowless child under the pointer
  bool syncing = false;       // bounds are being copied from the window
  std::function<void()> on_close_request;
};

// Marks a nested event loop (a modal form, a message box, a pop-up menu) while it runs: a form
// released before the loop began is freed only after it ends, as its handler is still running.
struct NestedLoop {
  NestedLoop();
  ~NestedLoop();
  NestedLoop(const NestedLoop&) = delete;
  NestedLoop& operator=(const NestedLoop&) = delete;
};
// How many nested loops run now; forms whose release waits for them to end.
int NestedLoopDepth();
// Marks a menu entry's command while it runs: Qt is inside the menu's click until it returns.
struct MenuCommand {
  MenuCommand();
  ~MenuCommand();
  MenuCommand(const MenuCommand&) = delete;
  MenuCommand& operator=(const MenuCommand&) = delete;
};
// Frees a Qt object from the main loop once no nested loop and no menu command runs: a menu
// rebuilt while one of its own commands runs (a modal window, a wait for the logger) is still in
// the middle of its click, and Qt would free it inside a loop that the command runs.
void DeleteLaterOutsideLoops(QObject* object);
// Set while the application's main loop runs.
void SetMainLoopRunning(bool running);
std::vector<TForm*>& WaitingReleases();
// Tells the idle logic that the loop has work: one idle pass follows when it runs dry.
void MarkGuiBusy();

// Runs an event handler of the program; an exception goes to the application's handling.
void GuardedCall(const std::function<void()>& fn);

QColor ToQColor(TColor c);
TColor FromQRgb(QRgb rgb);
QFont ToQFont(const TFont& font, int pixels_per_inch = kScreenPixelsPerInch);
QImage& BitmapImage(TBitmap& bitmap);
const QImage& BitmapImage(const TBitmap& bitmap);
QRect ToQRect(const TRect& r);
// Makes the GUI usable: the Qt application object exists and this thread is the main thread.
void EnsureGui();

// Gives a common dialog its texts in the program's language, then the caller's title.
enum class TCommonDialogCode : int;
void ApplyTexts(TCommonDialogCode kind, QDialog& dlg, const std::string& title);
// Shows a common dialog modally, or hands it to the installed stand-in for the user. Answers
// whether it was accepted and whether its values are to be read back from the Qt dialog.
class TCommonDialog;
// `shown` runs once the dialog is on the screen, before the user acts.
bool RunCommonDialog(TCommonDialog& d, QDialog& dlg, bool& read_back, const std::function<void()>& shown = {});

}  // namespace qv
