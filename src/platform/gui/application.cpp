#include "platform/gui/forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/gui/desktop.h"
#include "platform/gui/qt_private.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/format_settings.h"

namespace qv {

// The application object, the start of the GUI, the guard around the program's handlers,
// nested loops and message dialogs: what every control and form relies on.

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 1);

// The Qt application: every event passes here, which tells the idle logic that the loop was
// busy and keeps exceptions of the program's handlers inside the program.
class QvApplication : public QApplication {
public:
  QvApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override {
    if (event->type() != kWakeEvent) busy = true;
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      if (Application) Application->HandleException();
      return true;
    }
  }
  bool busy = true;
};

// Receives the wake-ups of posted window messages and delivers them in posting order.
class Waker : public QObject {
public:
  std::atomic<bool> pending{false};
  bool event(QEvent* e) override {
    if (e->type() != kWakeEvent) return QObject::event(e);
    pending = false;
    GuardedCall([this] {
      if (ProcessPostedMessages()) static_cast<QvApplication*>(qApp)->busy = true;
    });
    return true;
  }
};
Waker* g_waker = nullptr;

TMessageDlgAnswerer& Answerer() {
  static TMessageDlgAnswerer answerer;
  return answerer;
}

TInputQueryAnswerer& QueryAnswerer() {
  static TInputQueryAnswerer answerer;
  return answerer;
}

bool g_started = false;

int g_nested_loops = 0;
bool g_main_loop_running = false;

// Date pickers show the program's date format and language; a change of language reaches the
// ones that are open.
void ApplyDateFormats(TWinControl* w) {
  if (auto* picker = dynamic_cast<TDateTimePicker*>(w)) picker->ApplyFormat();
  for (int i = 0; i < w->ControlCount(); ++i)
    if (auto* child = dynamic_cast<TWinControl*>(w->Controls(i))) ApplyDateFormats(child);
}

void StartGui(int& argc, char** argv) {
  g_started = true;
  SetFormatSettingsChangedHook([] {
    if (!Screen) return;
    for (int i = 0; i < Screen->FormCount(); ++i) ApplyDateFormats(Screen->Forms(i));
  });
  SetMainThread();
  new QvApplication(argc, argv);
  QApplication::setFont(ToQFont(TFont()));
  g_waker = new Waker;
  SetMessageWakeHook([] {
    if (!g_waker->pending.exchange(true)) QCoreApplication::postEvent(g_waker, new QEvent(kWakeEvent));
  });
  Application = new TApplication;
  Screen = new TScreen;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   [] { Application->DoIdle(); });
}

}  // namespace

std::vector<TForm*>& WaitingReleases() {
  static std::vector<TForm*> list;
  return list;
}

int NestedLoopDepth() { return g_nested_loops; }

void SetMainLoopRunning(bool running) { g_main_loop_running = running; }

void MarkGuiBusy() { static_cast<QvApplication*>(qApp)->busy = true; }

void EnsureGui() {
  if (g_started) return;
  static int argc = 1;
  static char arg0[] = "quarvel";
  static char* argv[] = {arg0, nullptr};
  StartGui(argc, argv);
}

void InitializeGui() { EnsureGui(); }

void EndGuiWorkers() {
  if (!g_started) return;
  if (QThreadPool* pool = QThreadPool::globalInstance()) pool->waitForDone();
}

void PostDeferredCall(std::function<void()> fn) {
  EnsureGui();
  QTimer::singleShot(0, qApp, [fn = std::move(fn)] { GuardedCall(fn); });
}

namespace {

// The pipe from the signal handler to the main loop; made once, never closed (a signal may
// come at any time).
int g_signal_pipe[2] = {-1, -1};

std::function<void(int)>& TerminationHandler() {
  static std::function<void(int)> handler;
  return handler;
}

// Only what is safe in a signal handler: one write, errno kept.
extern "C" void OnTerminationSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

void TakeTerminationSignals() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = ::read(g_signal_pipe[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < n; ++i) {
      // A copy: the handler may replace itself.
      auto handler = TerminationHandler();
      if (handler) GuardedCall([&] { handler(bytes[i]); });
    }
  }
}

}  // namespace

void SetTerminationSignalHandler(std::function<void(int signal)> handler) {
  EnsureGui();
  QV_GUI_THREAD();
  if (g_signal_pipe[0] < 0) {
    if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
      throw Exception(std::string("Cannot watch for termination signals: ") + std::strerror(errno));
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { TakeTerminationSignals(); });
  }
  TerminationHandler() = std::move(handler);
  struct sigaction action {};
  action.sa_handler = TerminationHandler() ? OnTerminationSignal : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

void InitializeGui(int& argc, char** argv) {
  if (!g_started) StartGui(argc, argv);
}

namespace {
// Objects waiting until no nested loop and no menu command runs any more.
std::vector<QPointer<QObject>>& WaitingDeletes() {
  static std::vector<QPointer<QObject>> list;
  return list;
}
int g_menu_commands = 0;

// Posted from the handler that ended the last loop or command: Qt frees them once it returned.
void PostWaitingDeletes() {
  if (g_nested_loops > 0 || g_menu_commands > 0) return;
  std::vector<QPointer<QObject>> list;
  list.swap(WaitingDeletes());
  for (const QPointer<QObject>& object : list)
    if (object) object->deleteLater();
}
}  // namespace

void DeleteLaterOutsideLoops(QObject* object) {
  if (g_nested_loops == 0 && g_menu_commands == 0)
    object->deleteLater();
  else
    WaitingDeletes().emplace_back(object);
}

MenuCommand::MenuCommand() { ++g_menu_commands; }
MenuCommand::~MenuCommand() {
  --g_menu_commands;
  PostWaitingDeletes();
}

NestedLoop::NestedLoop() { ++g_nested_loops; }
NestedLoop::~NestedLoop() {
  --g_nested_loops;
  PostWaitingDeletes();
  // Those released at this depth or above are posted again; deeper loops still running keep theirs.
  std::vector<TForm*> waiting;
  waiting.swap(WaitingReleases());
  for (TForm* f : waiting) f->PostMessage(CM_RELEASE, reinterpret_cast<uintptr_t>(static_cast<TComponent*>(f)), 0);
}

void GuardedCall(const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    if (Application) Application->HandleException();
  }
}

// ---------------------------------------------------------------------------------------------
TApplication::TApplication() : TComponent(nullptr) {}
TApplication::~TApplication() { BeginDestroy(); }

void TApplication::DoIdle() {
  QV_GUI_THREAD();
  if (in_idle_) return;
  auto* app = static_cast<QvApplication*>(qApp);
  // Messages posted from other threads come first; the idle pass follows the drained queue.
  if (PendingMessageCount() > 0)
    GuardedCall([app] {
      if (ProcessPostedMessages()) app->busy = true;
    });
  if (!app->busy) return;
  app->busy = false;
  in_idle_ = true;
  bool done = true;
  ++idle_count_;
  // A copy: the handler may replace itself.
  auto handler = OnIdle;
  GuardedCall([&] {
    if (handler) handler(this, done);
  });
  in_idle_ = false;
  // Events handled inside the pass (a click sent to a control, a nested loop) may have ended a
  // modal loop or changed what the loop waits for; their wake-ups were used up inside the pass,
  // so the loop is woken again to look, instead of blocking until the next outside event.
  if (!done || app->busy) {
    app->busy = true;
    QAbstractEventDispatcher::instance()->wakeUp();
  }
}

void TApplication::ClearTerminated() { terminated_ = false; }

void TApplication::Terminate() {
  terminated_ = true;
  // Only loops that run are told to end: a request left pending would end the next message
  // box's loop at once, before anyone could read it.
  if (g_main_loop_running || g_nested_loops > 0) QCoreApplication::exit(0);
  QAbstractEventDispatcher::instance()->wakeUp();
}

void TApplication::ProcessMessages() {
  QV_GUI_THREAD();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  GuardedCall([] { ProcessPostedMessages(); });
}

void TApplication::HandleException(TComponent* /*sender*/) {
  try {
    throw;
  } catch (const Exception& e) {
    if (dynamic_cast<const EAbort*>(&e) || e.ClassName() == "EAbort") return;
    if (OnException)
      OnException(this, e);
    else
      ShowException(e);
  } catch (const std::exception& e) {
    if (OnException)
      OnException(this, e);
    else
      ShowException(e);
  } catch (...) {
    std::runtime_error e("Unknown exception");
    if (OnException)
      OnException(this, e);
    else
      ShowException(e);
  }
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.back() != '.') text += '.';
  MessageDlg(text, TMsgDlgType::mtError, mbOK);
}

bool TApplication::Active() const { return QApplication::activeWindow() != nullptr; }

// ---------------------------------------------------------------------------------------------
void SetMessageDlgAnswerer(TMessageDlgAnswerer answerer) { Answerer() = std::move(answerer); }

void SetInputQueryAnswerer(TInputQueryAnswerer answerer) { QueryAnswerer() = std::move(answerer); }

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  EnsureGui();
  QV_GUI_THREAD();
  if (QueryAnswerer()) return QueryAnswerer()(caption, prompt, value);
  bool ok = false;
  const QString text = QInputDialog::getText(nullptr, QString::fromStdString(caption), QString::fromStdString(prompt),
                                             QLineEdit::Normal, QString::fromStdString(value), &ok);
  if (ok) value = text.toStdString();
  return ok;
}

int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int /*help_context*/) {
  EnsureGui();
  QV_GUI_THREAD();
  if (Answerer()) return Answerer()(msg, type, buttons);
  QMessageBox box;
  box.setText(QString::fromStdString(msg));
  box.setWindowTitle(QString::fromStdString(Application->Title()));
  switch (type) {
    case TMsgDlgType::mtWarning: box.setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::mtError: box.setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::mtInformation: box.setIcon(QMessageBox::Information); break;
    case TMsgDlgType::mtConfirmation: box.setIcon(QMessageBox::Question); break;
    default: break;
  }
  struct Map {
    TMsgDlgBtn btn;
    QMessageBox::StandardButton qt;
    int result;
  };
  static const Map kMap[] = {{mbYes, QMessageBox::Yes, mrYes},
                             {mbNo, QMessageBox::No, mrNo},
                             {mbOK, QMessageBox::Ok, mrOk},
                             {mbCancel, QMessageBox::Cancel, mrCancel},
                             {mbAbort, QMessageBox::Abort, mrAbort},
                             {mbRetry, QMessageBox::Retry, mrRetry},
                             {mbIgnore, QMessageBox::Ignore, mrIgnore},
                             {mbAll, QMessageBox::YesToAll, mrAll},
                             {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
                             {mbYesToAll, QMessageBox::YesToAll, mrYesToAll}};
  QMessageBox::StandardButtons qb;
  for (const Map& m : kMap)
    if (buttons & m.btn) qb |= m.qt;
  box.setStandardButtons(qb);
  int answer = 0;
  {
    NestedLoop nested;
    answer = box.exec();
  }
  for (const Map& m : kMap)
    if (answer == m.qt) return m.result;
  return mrCancel;
}

void ShowMessage(const std::string& msg) { MessageDlg(msg, TMsgDlgType::mtCustom, mbOK); }

int DoubleClickTime() {
  InitializeGui();
  return QApplication::doubleClickInterval();
}

bool OpenDocumentFile(const std::string& file_name) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file_name)));
}

}  // namespace qv
