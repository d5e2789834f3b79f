#pragma once
// The logger handler on a logger line: the program's connection on the simulator's
// pseudo-terminal, the device tree of the home folder, a recording audit trail and the handler.
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/archive_hooks.h"
#include "comm/connection.h"
#include "comm/tv10_dev_hndl.h"
#include "comm_fixture.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/tv10_modul.h"

namespace qv::test {

class RecordingAudit : public TAuditService {
public:
  std::vector<std::pair<TDY_AuditEventKind, std::string>> events;

protected:
  void RecordEvent(TDY_AuditEventKind kind, const std::string& subject, const std::string&) override {
    events.emplace_back(kind, subject);
  }
};

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The logger line with the program's connection on it, the device tree of the home folder and
// the logger handler.
class HandlerLine {
public:
  explicit HandlerLine(sim::SimConfig config) : line(std::move(config)) {
    line.Port().SetOpen(false);  // the connection opens its own port
    DevClassRegistry = &registry;
    AuditManager = &audit;
    connection = std::make_unique<TConnection>();
    Connection = connection.get();
    connection->Port()->SetComNumber(LoggerLine::kCom);
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    handler = TDevHandler0::Create<TTv10DevHndl>();
    handler->Sleep = [](int) {};
  }
  ~HandlerLine() {
    handler.reset();
    shell.reset();
    connection.reset();
    AuditManager = nullptr;
    DevClassRegistry = nullptr;
  }
  TDevice* Root() const { return shell->Root(); }
  // A logger module already in the tree, with an image file of its own.
  TTv10Modul* AddModule(uint8_t kind, int32_t kennung, const std::string& image) {
    auto m = TDevice::Create<TTv10Modul>(Root());
    m->SetTavraTyp(kind);
    m->SetKennung(kennung);
    m->SetId(Root()->FindNextId(1, TDevice::MaxId));
    m->SetName("Logger_1");
    EXPECT_TRUE(m->SetUpDevice());
    TTv10Modul* module = m.release();
    module->EEImage().Clear();
    module->EEImage().WriteBuffer(image.data(), static_cast<int32_t>(image.size()));
    module->SaveEEParCfg();
    return module;
  }
  TTv10Modul* Module(int index) const { return dynamic_cast<TTv10Modul*>(Root()->GetChild(index)); }
  // On a loaded machine an answer of the paced logger can come after its time-out; a user would
  // try again, and so do the tests that are not about failures.
  void RetryLateAnswers() {
    line.Handler().Answer = [](const std::string&, TMsgDlgButtons buttons) {
      if (buttons & mbRetry) return static_cast<int>(mrRetry);
      return static_cast<int>((buttons & mbAbort) ? mrAbort : mrOk);
    };
  }
  std::string FirstWarning() {
    auto w = line.Handler().Texts(mkWarning);
    return w.empty() ? "" : w.front();
  }
  std::string LoggerImage() {
    auto image = line.Logger().Image();
    return std::string(image.begin(), image.end());
  }

  LoggerLine line;
  TTv10DevClassReg registry;
  RecordingAudit audit;
  std::unique_ptr<TConnection> connection;
  std::unique_ptr<TDbShell> shell;
  std::unique_ptr<TTv10DevHndl> handler;
};

}  // namespace qv::test
