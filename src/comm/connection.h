#pragma once
// The program's single way to a logger: it owns the program's port, knows the connect type and
// the types the current device handler permits, opens the port with retries (Connect), closes
// it (DisConnect), lets the user choose the serial port (Edit) and keeps its settings in
// section "Connection" of the program's INI file.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/qv_com_port.h"

namespace qv {

class TBoundMenuItem;
class TMenuItem;

// The connect types; only a direct cable can connect.
enum TConnType : uint8_t { ctDirect, ctModem, ctFunk, ctGSM, ctTapi };
using TConnTypes = uint8_t;  // set of TConnType, bit n for type n
constexpr TConnTypes ConnTypeBit(TConnType t) { return static_cast<TConnTypes>(1u << t); }
constexpr int kConnTypeCount = 5;
// "Direct", "Modem", "Funk", "GSM", "Tapi".
const char* ConnTypeName(TConnType type);

class TConnection {
public:
  // Reads the settings.
  TConnection();
  // Writes the settings and clears the global Connection when it is this one.
  ~TConnection();
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  bool InProcess() const { return in_process_; }
  TConnType ConnType() const { return conn_type_; }
  // Ignored when unchanged or not permitted; EAlreadyOpen while a connection is open.
  void SetConnType(TConnType type);
  TConnTypes PermCTypes() const { return perm_ctypes_; }
  void SetPermCTypes(TConnTypes types);
  TQvComPort* Port() const { return port_.get(); }

  // Binds the communication menu item: its click runs Edit unless a connection is open, and it
  // is enabled only while none is. Null unbinds; an item freed first is forgotten.
  void SetCommMenu(TMenuItem* item);
  TMenuItem* CommMenu() const;

  // Opens the port, at most three attempts one second apart. A port in use or missing raises
  // EAlreadyOpen or EBadId at once; other failures end in an alert and false.
  bool Connect();
  // Closes the port; true when it is closed afterwards. OnDisConnect fires after a close.
  bool DisConnect();
  // Lets the user choose the serial port.
  void Edit();

  // One quiet attempt to open the port again after its line went away: no retries, pauses or
  // dialogs, as whoever calls it tries again later. The open's error passes on.
  void Reopen();

  // Fired with the connection after DisConnect has closed the port.
  std::function<void(TConnection* sender)> OnDisConnect;
  // Asked first when the port's line goes away, with the port's words for it; answering true
  // takes the report over (a running recording tells the user itself).
  std::function<bool(const std::string& text)> OnLineLost;
  // The wait between two open attempts (tests replace it); the calling thread sleeps.
  std::function<void(int ms)> Sleep;

  void ReadSettings();
  void WriteSettings() const;

private:
  void SetInProcess(bool value);
  void UpdateMenu();

  bool in_process_ = false;
  TConnType conn_type_ = ctDirect;
  TConnTypes perm_ctypes_ = ConnTypeBit(ctDirect);
  std::unique_ptr<TQvComPort> port_;
  std::unique_ptr<TBoundMenuItem> comm_menu_;
};

// The program's one connection; null when there is none.
extern TConnection* Connection;

}  // namespace qv
