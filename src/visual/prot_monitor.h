#pragma once
// The protocol monitor: a page of the monitor book that shows the newest lines of the protocol
// log while protocol logging (or automatic mode) is on, and the program's message handler that
// opens the page when logging starts, feeds it every protocol line and closes it again.
#include <string>
#include <vector>

#include "base/msg_handler.h"
#include "visual/monitor_man.h"

namespace qv {

class TMemo;

// A page without visual objects: a read-only text box of at most kMaxLines lines.
class TProtMonitor : public TMonitorMan {
public:
  static constexpr int kMaxLines = 100;

  explicit TProtMonitor(TComponent* owner);
  ~TProtMonitor() override;
  std::string ClassName() const override { return "TProtMonitor"; }
  void AfterConstruction() override;

  TMemo* Memo() const { return memo_; }
  // Called when the page goes, with the page as sender.
  TNotifyEvent OnDestroyNotify;

  virtual void CreateMemo();
  // Appends the line; the oldest line goes first when the box is full.
  virtual void AddLine(const std::string& line);

  void DoDestroy() override;
  int IndexOfVisObj(const TVisObj*) const override { return -1; }
  void CreatePopupMenu() override {}
  void DestroyPopupMenu() override {}
  void UpdateButtons() override {}
  void EditTitle() override {}
  void Clear() override {}
  void Deactivate() override {}
  void Activate() override {}
  void UpdateMenus() override;
  void VOStateChange(TComponent* sender) override;
  void VODestroy(TComponent* sender) override;
  void LoadTitlePrefix() override;
  std::string GetTitle() const override { return AutoTitlePrefix; }
  bool IsEmpty() const override { return false; }
  bool CanAcceptClass(const TVisObjClass*) const override { return false; }
  int CountOfClass(const TVisObjClass*) const override { return 0; }
  void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) override;
  void DeleteVisObj(TVisObj* vo, bool confirm) override;
  std::string GetTypeDescr() const override;

private:
  void FitMemo();
  TMemo* memo_ = nullptr;
};

extern const TMonitorClass ProtMonitorClass;

// The open protocol monitor; null when there is none.
extern TProtMonitor* ProtMonitor;

// The last lines of a protocol log's tail: the last tail_bytes bytes (all of a shorter file)
// split at line ends, the first line dropped as it is usually cut, at most max_lines kept.
std::vector<std::string> ProtocolTailLines(const std::string& bytes, size_t max_lines);

// The program's message handler: it shows the protocol log live on the protocol monitor page.
class TQvMsgHandler : public TMsgHandler {
public:
  static constexpr size_t kTailBytes = 3000;

  using TMsgHandler::TMsgHandler;
  // Forgets the page; the monitor book frees its pages itself.
  ~TQvMsgHandler() override;
  std::string ClassName() const override { return "TQvMsgHandler"; }

  void WriteProtocol(const std::string& line) override;
  void ProtocolStopped() override;
  void ProtocolStarted() override;

  // Adds the page to the monitor book (group 1100) and fills it with the log's tail; nothing
  // when it is open or there is no book. A log that cannot be read counts as an empty tail.
  virtual void OpenProtMonitor();
  virtual void CloseProtMonitor();
  virtual void ProtMonitorDestroyed(TComponent* monitor);
};

// Opens the protocol monitor while the handler writes the protocol, else closes it.
void UpdateProtMonitor(TMsgHandler* handler);

}  // namespace qv
