#pragma once
// The process-wide list of devices and stream-media servers, and the table Tb_Device of
// Tarnwick.db that keeps it between runs.
//
// Threads: the UI thread owns the model: it alone adds and removes devices and uses the
// pointers it finds. A device it removed is destroyed on its own queue after the work in
// progress there (devices/DeviceWork.h), so a job on that queue may use the pointer it found
// (FindListed) for its whole run. Device-layer callbacks never look a device up: they hand
// its id (login id, host) to the UI thread, which looks it up there. The look-ups by name,
// GUID, host and login id hold the list lock, and no device is destroyed while it is held;
// the rest (IsDuplicate, Count, GetDeviceText, the list GetList hands out) is the UI
// thread's alone.
#include <list>
#include <string>

#include "devices/Device.h"
#include "shell/Lock.h"
#include "shell/Singleton.h"

class CDeviceManager {
 public:
  static CDeviceManager* GetInstance() { return SingletonAccess<CDeviceManager>::GetInstance(); }
  static void ReleaseInstance() { SingletonAccess<CDeviceManager>::ReleaseInstance(); }
  // For device queues: the listed device with this GUID, or null (also while the list is
  // being released); never makes the list.
  static CDevice* FindListed(const std::u16string& guid);

  // On success the list owns the device; on false the caller keeps it.
  bool Add(CDevice* device);
  bool Remove(CDevice* device);
  // mode 0: by Name, mode 1: by Guid.
  CDevice* FindDevice(const std::u16string& text, int mode);
  CDevice* FindDeviceByIP(const char* ip);
  // Makes the login objects on the way (none logs in); a device without one is passed over.
  CDevice* FindDeviceByLoginId(intptr_t id);
  // The list itself, for the UI thread to walk.
  const std::list<CDevice*>& GetList();
  int Count();
  bool IsDuplicate(CDevice* device);
  void GetDeviceText(const std::u16string& guid, std::u16string& out);

  CChannel* GetChannel(CDevice* device, int number);
  CChannel* GetChannelByName(const std::u16string& name, int number);
  CChannel* GetChannelByGuid(const std::u16string& guid, int number);
  // create 1 makes the preview (logging in) or PTZ object when missing; 0 only looks.
  IDevPreview* GetChannelPreview(CDevice* device, int number, int create = 1);
  IDevPreview* GetChannelPreviewByName(const std::u16string& name, int number, int create = 1);
  IDevPreview* GetChannelPreviewByGuid(const std::u16string& guid, int number, int create = 1);
  IDevCtlPtz* GetChannelPtz(CDevice* device, int number, int create = 1);
  IDevCtlPtz* GetChannelPtzByName(const std::u16string& name, int number, int create = 1);
  IDevCtlPtz* GetChannelPtzByGuid(const std::u16string& guid, int number, int create = 1);

  // Adds the stored devices whose name and host are free (Add, row by row); read once, when
  // the list is new.
  bool Load();
  // Rewrites Tb_Device in one transaction: a failed save leaves the previous table as it was.
  bool Save();

  static const char16_t* const kCreateTable;

 private:
  friend class SingletonAccess<CDeviceManager>;
  CDeviceManager() = default;
  ~CDeviceManager();

  CLock lock_;
  std::list<CDevice*> devices_;
};
