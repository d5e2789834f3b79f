#include "comm/connection.h"

#include <chrono>
#include <exception>
#include <thread>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "base/select_dlg.h"
#include "base/utils.h"
#include "comm/com_port_list.h"
#include "comm/comm_gui_hooks.h"
#include "comm/process_window_service.h"
#include "serial/ser_base_component.h"
#include "serial/serial_exception.h"

namespace qv {

TConnection* Connection = nullptr;

namespace {

const char* const kConnTypeNames[kConnTypeCount] = {"Direct", "Modem", "Funk", "GSM", "Tapi"};
const char* const kSection = "Connection";

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

const char* ConnTypeName(TConnType type) { return type < kConnTypeCount ? kConnTypeNames[type] : ""; }

TConnection::TConnection()
    : Sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      port_(std::make_unique<TQvComPort>()) {
  // A protocol that runs then ends on its own; the user learns here that the port is gone.
  port_->OnLineLost = [this](TComponent*) {
    const std::string text = port_->LineLostText();
    if (OnLineLost && OnLineLost(text)) return;
    // Nobody answers the dialog of a log line: no button text is glued to it.
    if (MsgHandler)
      MsgHandler->HandleMessage(text, "TConnection", TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
    else
      SerialShowException(Exception(text));
  };
  ReadSettings();
}

TConnection::~TConnection() {
  try {
    WriteSettings();
  } catch (const std::exception& e) {
    if (MsgHandler)
      MsgHandler->HandleMessage(e.what(), "TConnection.WriteSettings", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                mkDiagnoseOnly);
  }
  SetCommMenu(nullptr);
  port_.reset();
  if (Connection == this) Connection = nullptr;
}

void TConnection::ReadSettings() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  std::string perm = Upper(ini.ReadString(kSection, "PermCTypes", "$$Invalid$$"));
  TConnTypes found = 0;
  for (int t = 0; t < kConnTypeCount; ++t)
    if (RemoveToken(perm, Upper(kConnTypeNames[t]) + "-")) found |= ConnTypeBit(static_cast<TConnType>(t));
  if (perm.empty()) SetPermCTypes(found);

  const std::string type = Upper(ini.ReadString(kSection, "ConnType", ""));
  for (int t = 0; t < kConnTypeCount; ++t)
    if (type == Upper(kConnTypeNames[t])) SetConnType(static_cast<TConnType>(t));

  const int32_t number = ini.ReadInteger(kSection, "ComNumber", 0);
  if (number > 0 && number <= 0xFFFF) port_->SetComNumber(static_cast<uint16_t>(number));
}

void TConnection::WriteSettings() const {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  ini.WriteString(kSection, "ConnType", ConnTypeName(conn_type_));
  std::string perm;
  for (int t = 0; t < kConnTypeCount; ++t)
    if (perm_ctypes_ & ConnTypeBit(static_cast<TConnType>(t))) AddToken(perm, std::string(kConnTypeNames[t]) + "-");
  ini.WriteString(kSection, "PermCTypes", perm);
  ini.WriteInteger(kSection, "ComNumber", port_->ComNumber());
}

void TConnection::SetPermCTypes(TConnTypes types) {
  types &= static_cast<TConnTypes>((1u << kConnTypeCount) - 1);
  if (types == perm_ctypes_) return;
  if (types & ConnTypeBit(conn_type_)) {
    perm_ctypes_ = types;
    return;
  }
  if (in_process_)
    throw EAlreadyOpen("Error in TConnection.SetPermCTypes: Can not modify ConnectType. Connection in process!");
  if (types == 0) return;
  perm_ctypes_ = types;
  for (int t = 0; t < kConnTypeCount; ++t)
    if (types & ConnTypeBit(static_cast<TConnType>(t))) {
      conn_type_ = static_cast<TConnType>(t);
      break;
    }
}

void TConnection::SetConnType(TConnType type) {
  if (type == conn_type_ || type >= kConnTypeCount || !(perm_ctypes_ & ConnTypeBit(type))) return;
  if (in_process_)
    throw EAlreadyOpen("Error in TConnection.SetConnType: Can not modify ConnectType. Connection in process!");
  conn_type_ = type;
}

void TConnection::SetCommMenu(TMenuItem* item) {
  if (item == CommMenu()) return;
  comm_menu_.reset();
  comm_menu_ = BindMenuItem(item, [this] {
    if (!in_process_) Edit();
  });
  UpdateMenu();
}

TMenuItem* TConnection::CommMenu() const { return comm_menu_ ? comm_menu_->Item() : nullptr; }

void TConnection::UpdateMenu() {
  if (comm_menu_) comm_menu_->SetEnabled(!in_process_);
}

void TConnection::SetInProcess(bool value) {
  if (value == in_process_) return;
  in_process_ = value;
  UpdateMenu();
}

bool TConnection::Connect() {
  if (in_process_) throw EAlreadyOpen("TConnection.Connect: Can not connect. Connection in process!");
  int failures = 0;
  for (;;) {
    if (conn_type_ != ctDirect) throw Exception("Error in TConnection.Connect: connect type not supported!");
    try {
      port_->SetOpen(true);
    } catch (const EAlreadyOpen&) {
      throw EAlreadyOpen(LoadResString("sco_AlreadyOpen"));
    } catch (const EBadId&) {
      throw EBadId(LoadResString("sco_BadId"));
    } catch (const ENoPortSelected& e) {
      // The user declined to choose a port: asking again twice would not respect that.
      if (MsgHandler)
        MsgHandler->HandleMessage(e.what(), "exception open com port", TMsgDlgType::mtError, 0, 0, 0, true, mkLogOnly);
      SetInProcess(port_->Open());
      return port_->Open();
    } catch (const std::exception& e) {
      ++failures;
      const bool last = failures >= 3;
      if (MsgHandler) {
        if (last)
          MsgHandler->HandleMessage(e.what(), "exception open com port", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                    mkAlert);
        else
          MsgHandler->HandleMessage(e.what(), "exception open com port (retrying)", TMsgDlgType::mtError, 0, 0, 0, true,
                                    mkLogOnly);
      }
      try {
        port_->SetOpen(false);
      } catch (const std::exception& close_error) {
        if (MsgHandler)
          MsgHandler->HandleMessage(close_error.what(), "exception closing com port", TMsgDlgType::mtError, 0, 0, 0,
                                    true, mkLogOnly);
      }
      if (!last && Sleep) Sleep(1000);
      SetInProcess(port_->Open());
      if (last) break;
      continue;
    }
    SetInProcess(port_->Open());
    if (in_process_) break;
  }
  return port_->Open();
}

void TConnection::Reopen() {
  if (conn_type_ != ctDirect) throw Exception("Error in TConnection.Reopen: connect type not supported!");
  try {
    try {
      port_->SetOpen(false);
    } catch (const std::exception&) {
      // A port whose line is gone may fail to close cleanly; it is opened afresh all the same.
    }
    port_->SetOpen(true);
  } catch (...) {
    SetInProcess(port_->Open());
    throw;
  }
  SetInProcess(port_->Open());
}

bool TConnection::DisConnect() {
  if (!in_process_) return true;
  if (conn_type_ != ctDirect) throw Exception("Error in TConnection.DisConnect: connect type not supported!");
  try {
    port_->SetOpen(false);
  } catch (const std::exception& e) {
    if (MsgHandler) {
      if (port_->Open())
        MsgHandler->HandleMessage(e.what(), "exception closing com port", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                  mkAlert);
      else
        MsgHandler->HandleMessage(e.what(), "exception closing com port", TMsgDlgType::mtError, 0, 0, 0, true,
                                  mkLogOnly);
    }
  }
  SetInProcess(port_->Open());
  if (!port_->Open() && OnDisConnect) OnDisConnect(this);
  return !port_->Open();
}

void TConnection::Edit() {
  if (in_process_) throw EAlreadyOpen("Error in TConnection.Edit: Can not modify. Connection in process!");
  if (perm_ctypes_ != ConnTypeBit(ctDirect)) throw Exception("Error in TConnection.Edit: connect types not supported!");
  TStringList list;
  list.SetSorted(false);
  ListComPorts(list);
  int32_t index = port_->ComNumber() == 0 ? -1 : list.IndexOf("COM" + std::to_string(port_->ComNumber()));
  if (!SelectDlgProc) return;
  const int result =
      SelectDlgProc(LoadResString("con_EditParCaption"), LoadResString("con_EditComNo"), "", 2, list, index);
  if (result == 1 && index >= 0 && index < list.Count())
    port_->SetComNumber(static_cast<uint16_t>(ComPortNumber(list[index])));
}

}  // namespace qv
