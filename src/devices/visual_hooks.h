#pragma once
// What the device model uses of the monitors: the monitor book's pages, whose diagram
// monitors are retitled when a device's short name changes, and the automatic-monitor
// builder, told of every change of the device tree. The visual layer installs them; both may
// be absent.
#include <string>

namespace qv {

class TDevice;

class TMonitorBookService {
public:
  virtual ~TMonitorBookService() = default;
  virtual int GetMonitorCount() const = 0;
  virtual int GetTabIndex() const = 0;
  // Selects page index when 0 <= index < count.
  virtual void SetTabIndex(int index) = 0;
  // The selected page's monitor when it is a monitor of diagrams and a table: sets its custom
  // title and answers true; otherwise false.
  virtual bool SetSelDiagramTitle(const std::string& title) = 0;
};

class TAutoMonitorService {
public:
  virtual ~TAutoMonitorService() = default;
  virtual bool Enabled() const = 0;
  // Queues the rebuild of the automatic monitors that the changed node affects.
  virtual void DeviceModified(TDevice* node) = 0;
};

extern TMonitorBookService* MonitorBook;
extern TAutoMonitorService* AutoMonitor;

}  // namespace qv
