#pragma once
// A device handler knows how to talk to one family of devices: it keeps the serial settings per
// connect type in section "DH" + its class name of the program's INI file and creates the
// protocols of a connection. The base refuses every device operation and every "can" predicate
// says no; a family's handler implements what its devices support.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/com_protocol.h"
#include "comm/connection.h"

namespace qv {

class TDevice;
class TIniFile;
class TRecorder;
struct TDtStamp;

class TDevHandler0 {
public:
  // A handler of class H with the defaults, then the settings of its section (read once the
  // whole object exists, so that the section and ReadSettings are those of H).
  template <class H>
  static std::unique_ptr<H> Create() {
    std::unique_ptr<H> handler(new H());
    handler->LoadSettings();
    return handler;
  }
  // Whoever frees a handler calls StoreSettings first (the collection does), for the same reason.
  TDevHandler0() = default;
  // Frees the protocols of the connection.
  virtual ~TDevHandler0();
  TDevHandler0(const TDevHandler0&) = delete;
  TDevHandler0& operator=(const TDevHandler0&) = delete;

  virtual std::string ClassName() const { return "TDevHandler0"; }
  // "DH" + ClassName().
  std::string SectionName() const { return "DH" + ClassName(); }

  virtual void IdentifyDevice();
  virtual void ReadSettings(const TIniFile& ini, const std::string& section);
  virtual void WriteSettings(TIniFile& ini, const std::string& section) const;

  // Binds the recorder's eleven hooks to the Rec operations below.
  virtual void SetRecorderHooks(TRecorder* recorder);
  // What the online recorder asks of the selected handler. The base prepares no task, so it
  // never records; its clock synchronisation is done at once.
  virtual void RecPrepareTasks() {}
  virtual void RecInitProtocols() {}
  virtual void RecInsertStartRec() {}
  virtual void RecOnSaveData() {}
  virtual void RecReserved() {}
  virtual void RecSyncClock();
  virtual void RecProcessSample(int32_t /*task*/) {}
  virtual void RecInsertSample(int32_t /*task*/) {}
  // Stamp in and out: the newest recorded time of the task when later than the one given.
  virtual void RecGetLastTime(int32_t /*task*/, TDtStamp& /*stamp*/) {}
  virtual void RecDone() {}
  virtual void RecDetachData() {}

  virtual TConnTypes GetConnTypes() const { return ConnTypeBit(ctDirect); }
  // The family's name; a module belongs to the handler whose name its type name contains.
  virtual std::string GetName() const { return ""; }
  virtual bool CanRecord() const { return false; }

  virtual bool ReadCfgAnonym(bool interactive, bool disconnect);
  virtual bool ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool ask);
  virtual bool WriteConfig(TDevice* module, bool interactive);
  virtual bool ReadMemAnonym(bool interactive, bool disconnect);
  virtual bool ReadMemDevice(TDevice* module, bool interactive);
  virtual bool ClearMemAnonym(bool interactive, bool disconnect);
  virtual bool ClearMemDevice(TDevice* module, bool interactive);
  virtual bool ReadOnline(TDevice* module, bool disconnect);
  virtual bool SyncClock(bool interactive, bool disconnect);

  virtual bool CanReadCfgAnonym() const { return false; }
  virtual bool CanReadCfgDevice(TDevice* /*module*/) const { return false; }
  virtual bool CanWriteConfig(TDevice* /*module*/) const { return false; }
  virtual bool CanReadMemAnonym() const { return false; }
  virtual bool CanReadMemDevice(TDevice* /*module*/) const { return false; }
  virtual bool CanClearMemAnonym() const { return false; }
  virtual bool CanClearMemDevice(TDevice* /*module*/) const { return false; }
  virtual bool CanReadOnline() const { return false; }
  virtual bool CanSyncClock() const { return false; }

  // Usable as a selection: it can read a configuration or the memory of an unknown device.
  bool Usable() const { return CanReadCfgAnonym() || CanReadMemAnonym(); }

  // A new protocol of class P kept until the connection closes; null without a connection.
  template <class P>
  P* NewProtocol() {
    if (!Connection) return nullptr;
    auto protocol = std::make_unique<P>();
    P* result = protocol.get();
    KeepProtocol(std::move(protocol));
    return result;
  }
  void FreeProtocols();
  int ProtocolCount() const { return static_cast<int>(protocols_.size()); }
  // A read, write or scan of this handler is under way on the line.
  bool ProtocolRunning() const;

  // A command of this handler (configuration read or write, memory read, clock, clear, current
  // values, recorder start) owns the line and its protocols until the outermost one ends: a
  // device change meanwhile, its own new logger included, takes effect only then.
  class TCommand {
  public:
    explicit TCommand(TDevHandler0& handler) : handler_(handler) { ++handler_.command_depth_; }
    ~TCommand() { handler_.EndCommand(); }
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;
    // The line goes on to the recorder that this command starts: a device change meanwhile
    // leaves it open.
    void KeepLine() { handler_.keep_line_ = true; }

  private:
    TDevHandler0& handler_;
  };
  bool InCommand() const { return command_depth_ > 0; }
  // Called when the outermost command has ended, with whether its line goes on to the recorder.
  std::function<void(bool keep_line)> OnCommandEnd;

  int32_t GetAnswerTimeOut() const { return DevRespTO[ConnType]; }
  int32_t GetBaud() const { return Baud[ConnType]; }
  bool HandlesModul(const TDevice* module) const;
  // Gives the connection the permitted types and this handler's type; asks the user for the
  // type when asked and more than one is permitted.
  void ApplyConnTypes(bool ask);
  // Takes the connection's current type when this handler permits it.
  void TakeConnType();
  void ApplyPortSettings();
  // The number of connect types GetConnTypes permits.
  int ConnTypeCount() const;

  std::array<int32_t, kConnTypeCount> Baud{19200, -1, -1, -1, -1};
  TConnType ConnType = ctDirect;
  uint16_t DataBits = 8;
  THWFlowOptions HWFlowOptions = 0;
  TSWFlowOptions SWFlowOptions = swfNone;
  uint16_t InSize = 4096;
  uint16_t OutSize = 4096;
  TParity Parity = pNone;
  uint16_t StopBits = 1;
  int32_t SendDataTimeOut = 5;
  std::array<int32_t, kConnTypeCount> DevRespTO{5, 10, 10, 10, 10};

  // Reads or writes the handler's section of the program's INI file; a write error is reported.
  void LoadSettings();
  void StoreSettings() const;

protected:
  // Raises EInvalidOperation "Error: function <class>.<operation> not supported".
  [[noreturn]] void NotSupported(const char* operation) const;

private:
  void KeepProtocol(std::unique_ptr<TComProtocol> protocol);
  void EndCommand() noexcept;

  std::vector<std::unique_ptr<TComProtocol>> protocols_;
  int command_depth_ = 0;
  bool keep_line_ = false;
};

// Names of the flow and parity settings as stored.
const char* SWFlowName(TSWFlowOptions options);
const char* ParityName(TParity parity);
// "UseDTR-UseRTS-" for the set options; parsing ignores case and fails on any unknown name.
std::string HWFlowToText(THWFlowOptions options);
bool TextToHWFlow(const std::string& text, THWFlowOptions& options);

}  // namespace qv
