#include "comm/dev_handler0.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "base/app_globals.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "comm/recorder.h"
#include "devices/device.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr const char* kSWFlowNames[] = {"None", "Receive", "Transmit", "Both"};
constexpr const char* kParityNames[] = {"None", "Odd", "Even", "Mark", "Space"};
constexpr const char* kHWFlowNames[] = {"UseDTR", "UseRTS", "RequireDSR", "RequireCTS"};

// The index of name in names ignoring case, or -1.
template <size_t N>
int IndexOfName(const std::string& name, const char* const (&names)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (SameText(name, names[i])) return static_cast<int>(i);
  return -1;
}

// Integer key taken only inside [lo, hi]; a missing or bad key keeps value.
template <class T>
void ReadRanged(const TIniFile& ini, const std::string& section, const std::string& key, int32_t lo, int32_t hi,
                T& value) {
  int32_t v = ini.ReadInteger(section, key, lo - 1);
  if (v >= lo && v <= hi) value = static_cast<T>(v);
}

}  // namespace

const char* SWFlowName(TSWFlowOptions options) { return kSWFlowNames[options & 3]; }
const char* ParityName(TParity parity) { return parity <= pSpace ? kParityNames[parity] : kParityNames[0]; }

std::string HWFlowToText(THWFlowOptions options) {
  std::string text;
  for (int i = 0; i < 4; ++i)
    if (options & (1u << i)) text += std::string(kHWFlowNames[i]) + "-";
  return text;
}

bool TextToHWFlow(const std::string& text, THWFlowOptions& options) {
  THWFlowOptions result = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t dash = text.find('-', start);
    if (dash == std::string::npos) return false;
    int index = IndexOfName(text.substr(start, dash - start), kHWFlowNames);
    if (index < 0) return false;
    result = static_cast<THWFlowOptions>(result | (1u << index));
    start = dash + 1;
  }
  options = result;
  return true;
}

TDevHandler0::~TDevHandler0() { FreeProtocols(); }

void TDevHandler0::LoadSettings() {
  if (IniFileName.empty()) return;
  TIniFile ini(IniFileName);
  ReadSettings(ini, SectionName());
}

void TDevHandler0::StoreSettings() const {
  if (IniFileName.empty()) return;
  try {
    TIniFile ini(IniFileName);
    WriteSettings(ini, SectionName());
  } catch (const std::exception& e) {
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), ClassName() + ".WriteSettings", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                mkError);
  }
}

void TDevHandler0::ReadSettings(const TIniFile& ini, const std::string& section) {
  for (int t = 0; t < kConnTypeCount; ++t) {
    std::string name = ConnTypeName(static_cast<TConnType>(t));
    int32_t baud = ini.ReadInteger(section, "Baud" + name, Baud[t]);
    Baud[t] = baud < 1 ? -1 : baud;
    ReadRanged(ini, section, "DevRespTO" + name, 1, 3600, DevRespTO[t]);
  }
  ReadRanged(ini, section, "DataBits", 1, 65535, DataBits);
  if (ini.ValueExists(section, "HWFlowOptions"))
    TextToHWFlow(ini.ReadString(section, "HWFlowOptions", ""), HWFlowOptions);
  int sw = IndexOfName(ini.ReadString(section, "SWFlowOptions", ""), kSWFlowNames);
  if (sw >= 0) SWFlowOptions = static_cast<TSWFlowOptions>(sw);
  ReadRanged(ini, section, "InSize", 1, 65535, InSize);
  ReadRanged(ini, section, "OutSize", 1, 65535, OutSize);
  int parity = IndexOfName(ini.ReadString(section, "Parity", ""), kParityNames);
  if (parity >= 0) Parity = static_cast<TParity>(parity);
  ReadRanged(ini, section, "StopBits", 1, 2, StopBits);
  for (int t = 0; t < kConnTypeCount; ++t)
    if (SameText(ini.ReadString(section, "ConnType", ""), ConnTypeName(static_cast<TConnType>(t))))
      ConnType = static_cast<TConnType>(t);
  ReadRanged(ini, section, "SendDataTimeOut", 1, 3600, SendDataTimeOut);
}

void TDevHandler0::WriteSettings(TIniFile& ini, const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> values;
  for (int t = 0; t < kConnTypeCount; ++t) {
    std::string name = ConnTypeName(static_cast<TConnType>(t));
    if (Baud[t] < 1)
      ini.DeleteKey(section, "Baud" + name);
    else
      values.emplace_back("Baud" + name, std::to_string(Baud[t]));
  }
  values.emplace_back("DataBits", std::to_string(DataBits));
  values.emplace_back("HWFlowOptions", HWFlowToText(HWFlowOptions));
  values.emplace_back("SWFlowOptions", SWFlowName(SWFlowOptions));
  values.emplace_back("InSize", std::to_string(InSize));
  values.emplace_back("OutSize", std::to_string(OutSize));
  values.emplace_back("Parity", ParityName(Parity));
  values.emplace_back("StopBits", std::to_string(StopBits));
  values.emplace_back("ConnType", ConnTypeName(ConnType));
  values.emplace_back("SendDataTimeOut", std::to_string(SendDataTimeOut));
  for (int t = 0; t < kConnTypeCount; ++t)
    values.emplace_back(std::string("DevRespTO") + ConnTypeName(static_cast<TConnType>(t)),
                        std::to_string(DevRespTO[t]));
  ini.WriteValues(section, values);
}

void TDevHandler0::NotSupported(const char* operation) const {
  throw EInvalidOperation(Format("Error: function %s.%s not supported", ClassName(), std::string(operation)));
}

void TDevHandler0::IdentifyDevice() { NotSupported("IdentifyDevice"); }
bool TDevHandler0::ReadCfgAnonym(bool, bool) { NotSupported("ReadCfgAnonym"); }
bool TDevHandler0::ReadCfgDevice(TDevice*, bool, bool&, bool) { NotSupported("ReadCfgDevice"); }
bool TDevHandler0::WriteConfig(TDevice*, bool) { NotSupported("WriteConfig"); }
bool TDevHandler0::ReadMemAnonym(bool, bool) { NotSupported("ReadMemAnonym"); }
bool TDevHandler0::ReadMemDevice(TDevice*, bool) { NotSupported("ReadMemDevice"); }
bool TDevHandler0::ClearMemAnonym(bool, bool) { NotSupported("ClearMemAnonym"); }
bool TDevHandler0::ClearMemDevice(TDevice*, bool) { NotSupported("ClearMemDevice"); }
bool TDevHandler0::ReadOnline(TDevice*, bool) { NotSupported("ReadOnline"); }
bool TDevHandler0::SyncClock(bool, bool) { NotSupported("SyncClock"); }

int TDevHandler0::ConnTypeCount() const { return std::popcount(static_cast<unsigned>(GetConnTypes() & 0x1F)); }

void TDevHandler0::KeepProtocol(std::unique_ptr<TComProtocol> protocol) {
  protocol->SendTimeOut = SendDataTimeOut;
  protocol->AnswerTimeOut = GetAnswerTimeOut();
  protocols_.push_back(std::move(protocol));
  Connection->OnDisConnect = [this](TConnection*) { FreeProtocols(); };
}

bool TDevHandler0::ProtocolRunning() const {
  return std::any_of(protocols_.begin(), protocols_.end(), [](const auto& p) { return p->Running(); });
}

void TDevHandler0::EndCommand() noexcept {
  if (--command_depth_ > 0) return;
  const bool keep_line = std::exchange(keep_line_, false);
  if (!OnCommandEnd) return;
  try {
    OnCommandEnd(keep_line);
  } catch (const std::exception& e) {
    // Closing the line after a command has nobody to raise to.
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), ClassName() + ".EndCommand", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                mkDiagnoseOnly);
  }
}

void TDevHandler0::FreeProtocols() {
  // Taken out first: a protocol's destructor may close the connection, which calls back here.
  auto protocols = std::move(protocols_);
  protocols_.clear();
  protocols.clear();
}

bool TDevHandler0::HandlesModul(const TDevice* module) const {
  // A handler without a family name claims no module.
  return module && !GetName().empty() &&
         UpperCase(module->GetTypeName()).find(UpperCase(GetName())) != std::string::npos;
}

void TDevHandler0::ApplyConnTypes(bool ask) {
  if (!Connection) return;
  Connection->SetPermCTypes(GetConnTypes());
  Connection->SetConnType(ConnType);
  if (ask && ConnTypeCount() > 1) Connection->Edit();
}

void TDevHandler0::TakeConnType() {
  if (Connection && (GetConnTypes() & ConnTypeBit(Connection->ConnType()))) ConnType = Connection->ConnType();
}

void TDevHandler0::ApplyPortSettings() {
  if (!Connection || !Connection->Port()) return;
  TQvComPort* port = Connection->Port();
  if (GetBaud() > 0) port->SetBaud(static_cast<uint32_t>(GetBaud()));
  port->SetDataBits(DataBits);
  port->SetHWFlowOptions(HWFlowOptions);
  port->SetSWFlowOptions(SWFlowOptions);
  port->SetInSize(InSize);
  port->SetOutSize(OutSize);
  port->SetParity(Parity);
  port->SetStopBits(StopBits);
}

void TDevHandler0::SetRecorderHooks(TRecorder* recorder) {
  if (!recorder) return;
  recorder->RecPrepareTasks = [this] { RecPrepareTasks(); };
  recorder->RecInitProtocols = [this] { RecInitProtocols(); };
  recorder->RecInsertStartRec = [this] { RecInsertStartRec(); };
  recorder->RecOnSaveData = [this] { RecOnSaveData(); };
  recorder->RecReserved = [this] { RecReserved(); };
  recorder->RecSyncClock = [this] { RecSyncClock(); };
  recorder->RecProcessSample = [this](int32_t task) { RecProcessSample(task); };
  recorder->RecInsertSample = [this](int32_t task) { RecInsertSample(task); };
  recorder->RecGetLastTime = [this](int32_t task, TDtStamp& stamp) { RecGetLastTime(task, stamp); };
  recorder->RecDone = [this] { RecDone(); };
  recorder->RecDetachData = [this] { RecDetachData(); };
}

void TDevHandler0::RecSyncClock() {
  if (Recorder) Recorder->ChildSucceeded(nullptr);
}

}  // namespace qv
