#pragma once
// What the logger modules use of the device handler collection, which lives above the device
// model: reading a module's configuration from its logger, writing it back, and the connection
// the exchange runs over. The collection installs itself here while it exists.
#include <string>

namespace qv {

class TDevice;

class TDevHandlService {
public:
  virtual ~TDevHandlService() = default;
  // Reads the logger's configuration into the module; changed tells whether it differed.
  virtual bool ReadCfgDevice(TDevice* module, bool interactive, bool& changed, bool ask) = 0;
  // Writes the module's configuration image to the logger.
  virtual bool WriteConfig(TDevice* module, bool interactive) = 0;
  virtual void CloseConnection() = 0;
  // Lets the user choose the connection settings.
  virtual void EditConnection() = 0;
};

// The program's collection; null while there is none.
extern TDevHandlService* DevHandlService;

}  // namespace qv
