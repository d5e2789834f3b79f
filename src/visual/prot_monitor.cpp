#include "visual/prot_monitor.h"

#include <algorithm>
#include <fstream>

#include "base/res_string.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/text_encoding.h"
#include "visual/monitor_book.h"

namespace qv {

TProtMonitor* ProtMonitor = nullptr;

namespace {
constexpr int32_t kProtGroup = 1100;
constexpr int kMemoMargin = 10;
}  // namespace

const TMonitorClass ProtMonitorClass{
    "TProtMonitor", &MonitorManClass, [] { return LoadResString("pmo_TypeDescr"); },
    [](TComponent* owner) -> TMonitorMan* { return CreateMonitor<TProtMonitor>(owner); }};

TProtMonitor::TProtMonitor(TComponent* owner) : TMonitorMan(owner) {
  // The page can be neither deleted, nor filled, nor retitled, nor stored.
  DefaultMonOptions = 0;
  SetMonOptions(0);
}

void TProtMonitor::AfterConstruction() {
  TMonitorMan::AfterConstruction();
  CreateMemo();
}

TProtMonitor::~TProtMonitor() {
  StartDestroy();
  // The text box goes before its page does.
  if (TPage* page = Page(); page && memo_) page->OnResize = nullptr;
  delete memo_;
  memo_ = nullptr;
  // The descendant's part is gone when the base destructor reports the page's end.
  DoDestroy();
}

void TProtMonitor::DoDestroy() {
  if (OnDestroyNotify) {
    TNotifyEvent notify = std::move(OnDestroyNotify);
    OnDestroyNotify = nullptr;
    notify(this);
  }
  TMonitorMan::DoDestroy();
  OnDestroy = nullptr;
}

void TProtMonitor::CreateMemo() {
  Notebook()->SetPageIndex(PageIndex);
  TPage* page = Page();
  memo_ = new TMemo(ObjectOwner());
  memo_->SetBorderStyle(TBorderStyle::bsSingle);
  memo_->SetScrollBars(true, true);
  memo_->SetColor(clInfoBk);
  memo_->SetWordWrap(false);
  memo_->SetReadOnly(true);
  if (page) {
    memo_->SetParent(page);
    // Kept 10 pixels inside the page on every side as the page is resized.
    page->OnResize = [this](TComponent*) { FitMemo(); };
  }
  FitMemo();
}

void TProtMonitor::FitMemo() {
  TPage* page = Page();
  if (!memo_ || !page) return;
  memo_->SetBounds(kMemoMargin, kMemoMargin, std::max(0, page->Width() - 2 * kMemoMargin),
                   std::max(0, page->Height() - 2 * kMemoMargin));
}

void TProtMonitor::AddLine(const std::string& line) {
  if (!memo_) return;
  if (memo_->LineCount() > kMaxLines - 1) memo_->DeleteLine(0);
  memo_->AddLine(line);
}

void TProtMonitor::UpdateMenus() {
  if (EMenMonitor) EMenMonitor->SetVisible(false);
  if (VMenMonitor) VMenMonitor->SetVisible(false);
}

void TProtMonitor::VOStateChange(TComponent*) {
  throw Exception("Error in TProtMonitor.VOStateChange:No VisObject in ProtMonitor");
}

void TProtMonitor::VODestroy(TComponent*) { throw Exception("Error in TProtMonitor.VODestroy: no TVisObj"); }

void TProtMonitor::InsertVisObj(int, const TVisObjClass*, TVisObj*&) {
  throw Exception("Error in TProtMonitor.InsertVisObj:No VisObject in ProtMonitor");
}

void TProtMonitor::DeleteVisObj(TVisObj*, bool) {
  throw Exception("Error in TProtMonitor.DeleteVisObj:No VisObject in ProtMonitor");
}

void TProtMonitor::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("pmo_TitPrefix"); }

std::string TProtMonitor::GetTypeDescr() const { return LoadResString("pmo_TypeDescr"); }

// ---- the message handler ----

std::vector<std::string> ProtocolTailLines(const std::string& bytes, size_t max_lines) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(TextLineToUtf8(line));
    start = last ? bytes.size() : end + 1;
  }
  // The tail starts anywhere in a line.
  if (!lines.empty()) lines.erase(lines.begin());
  if (lines.size() > max_lines) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(max_lines));
  return lines;
}

TQvMsgHandler::~TQvMsgHandler() {
  if (ProtMonitor) ProtMonitor->OnDestroyNotify = nullptr;
  ProtMonitor = nullptr;
}

void TQvMsgHandler::WriteProtocol(const std::string& line) {
  TMsgHandler::WriteProtocol(line);
  if (ProtMonitor) ProtMonitor->AddLine(line);
}

void TQvMsgHandler::ProtocolStarted() {
  TMsgHandler::ProtocolStarted();
  OpenProtMonitor();
}

void TQvMsgHandler::ProtocolStopped() {
  TMsgHandler::ProtocolStopped();
  CloseProtMonitor();
}

void TQvMsgHandler::OpenProtMonitor() {
  auto* book = dynamic_cast<TMonitorBook*>(MonitorBook);
  if (ProtMonitor || !book) return;
  auto* monitor = dynamic_cast<TProtMonitor*>(book->AddGroupMonitor(kProtGroup, &ProtMonitorClass));
  if (!monitor) return;
  ProtMonitor = monitor;
  monitor->OnDestroyNotify = [this](TComponent* m) { ProtMonitorDestroyed(m); };
  // Read shared with the writer; a log that is missing (not written yet, or just retired under
  // its date) shows an empty page instead of stopping the caller.
  std::string tail;
  std::ifstream file(ProtocolFileName(), std::ios::binary);
  const bool opened = file.is_open();
  if (opened) {
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    const std::streamoff from = size > static_cast<std::streamoff>(kTailBytes) ? size - kTailBytes : 0;
    file.seekg(from);
    tail.resize(static_cast<size_t>(std::max<std::streamoff>(0, size - from)));
    file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    tail.resize(static_cast<size_t>(std::max<std::streamsize>(0, file.gcount())));
  }
  if (!opened) {
    DoMessage("The protocol log " + ProtocolFileName() + " could not be read; the protocol monitor starts empty",
              "TQvMsgHandler.OpenProtMonitor", TMsgDlgType::mtWarning, 0, 0, 0, true, mkDiagnoseOnly);
  }
  for (const std::string& line : ProtocolTailLines(tail, TProtMonitor::kMaxLines)) monitor->AddLine(line);
}

void TQvMsgHandler::CloseProtMonitor() {
  TProtMonitor* monitor = ProtMonitor;
  ProtMonitor = nullptr;
  delete monitor;
}

void TQvMsgHandler::ProtMonitorDestroyed(TComponent* monitor) {
  if (ProtMonitor && dynamic_cast<TProtMonitor*>(monitor)) ProtMonitor = nullptr;
}

void UpdateProtMonitor(TMsgHandler* handler) {
  auto* qv_handler = dynamic_cast<TQvMsgHandler*>(handler);
  if (!qv_handler) return;
  if (qv_handler->Modes() & (ProtocolEnabled | AutoModeEnabled))
    qv_handler->OpenProtMonitor();
  else
    qv_handler->CloseProtMonitor();
}

}  // namespace qv
