#include "devices/DeviceManager.h"

#include <algorithm>

#include "devices/ChannelSettingsTable.h"
#include "devices/DeviceWork.h"
#include "plat/log.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"

const char16_t* const CDeviceManager::kCreateTable =
    u"CREATE TABLE [Tb_Device] (Name varchar NOT NULL,IP varchar NOT NULL,Port integer NOT NULL, "
    u"\t\t\t\t  UserName varchar,Pwd varchar,ChnNum integer,MultiIP varchar,Dns varchar,SN "
    u"varchar,Manfacture \t\t\t\t  varchar, ManufactureID integer,AddrType integer,DevType "
    u"integer,Guid varchar NOT NULL, \t\t\t\t  RegionGuid varchar NOT NULL);";

namespace {

constexpr const char16_t* kDatabase = u"Tarnwick.db";

int ToInt(const char16_t* t) { return t ? plat::textToInt(t) : 0; }

}  // namespace

namespace {
// The device left the list: whoever works on it lets go (UI thread), then it is destroyed on
// its own queue after the work in progress, which may still use it.
void Retire(CDevice* device) {
  device->RunReleaseHooks();
  devwork::Retire(device->GetGuid(), [device] { delete device; });
}
}  // namespace

CDeviceManager::~CDeviceManager() {
  std::list<CDevice*> gone;
  {
    CScopedLock lk(lock_);
    gone.swap(devices_);
  }
  for (CDevice* d : gone) Retire(d);
  // The list goes at the program's end (and between tests): the devices' connections are
  // closed before the device libraries are cleaned up. Each device call is bounded.
  devwork::Drain();
}

namespace {
bool SameText(const CTChar& text, std::u16string_view other) { return std::u16string_view(text.GetWide()) == other; }
}  // namespace

// No lock: the list changes only on the UI thread, which is where this is asked.
bool CDeviceManager::IsDuplicate(CDevice* device) {
  if (!device) return true;
  const std::u16string name = device->GetDevInfo().GetName();
  const std::u16string ip = device->GetDevInfo().GetIP();
  for (CDevice* d : devices_) {
    if (SameText(d->GetDevInfo().Name, name) || SameText(d->GetDevInfo().IP, ip)) return true;
  }
  return false;
}

bool CDeviceManager::Add(CDevice* device) {
  if (!device || IsDuplicate(device)) return false;
  CScopedLock lk(lock_);
  // A device deleted and brought back keeps its GUID: its queue takes work again, from
  // before anyone can find it listed.
  devwork::Reopen(device->GetGuid());
  devices_.push_back(device);
  return true;
}

int CDeviceManager::Count() { return static_cast<int>(devices_.size()); }

bool CDeviceManager::Remove(CDevice* device) {
  CDevice* found = nullptr;
  {
    CScopedLock lk(lock_);
    auto it = std::find(devices_.begin(), devices_.end(), device);
    if (it == devices_.end()) return false;
    found = *it;
    devices_.erase(it);
  }
  Retire(found);
  return true;
}

CDevice* CDeviceManager::FindDevice(const std::u16string& text, int mode) {
  if (mode != 0 && mode != 1) return nullptr;
  CScopedLock lk(lock_);
  for (CDevice* d : devices_) {
    const std::u16string key = mode == 0 ? d->GetDevInfo().GetName() : d->GetGuid();
    if (key == text) return d;
  }
  return nullptr;
}

CDevice* CDeviceManager::FindListed(const std::u16string& guid) {
  CDeviceManager* list = SingletonAccess<CDeviceManager>::Existing();
  return list ? list->FindDevice(guid, 1) : nullptr;
}

CDevice* CDeviceManager::FindDeviceByIP(const char* ip) {
  if (!ip) return nullptr;
  CScopedLock lk(lock_);
  for (CDevice* d : devices_)
    if (std::string_view(d->GetDevInfo().GetNarrowIP()) == ip) return d;
  return nullptr;
}

// Login objects are made on the way (making one does not log in); a device without one (a
// stream-media server) is passed over.
CDevice* CDeviceManager::FindDeviceByLoginId(intptr_t id) {
  if (id == -1) return nullptr;
  CScopedLock lk(lock_);
  for (CDevice* d : devices_) {
    IDevUserLogin* login = d->GetUserLogin(1);
    if (login && login->GetLoginID(0) == id) return d;
  }
  return nullptr;
}

const std::list<CDevice*>& CDeviceManager::GetList() {
  { CScopedLock lk(lock_); }
  return devices_;
}

// No lock, as the names are asked for on the UI thread.
void CDeviceManager::GetDeviceText(const std::u16string& guid, std::u16string& out) {
  for (CDevice* d : devices_)
    if (SameText(d->GetDevInfo().Guid, guid)) out = d->GetDevInfo().GetName();
}

CChannel* CDeviceManager::GetChannel(CDevice* device, int number) {
  return device ? device->GetOrAddChannel(number) : nullptr;
}

CChannel* CDeviceManager::GetChannelByName(const std::u16string& name, int number) {
  return GetChannel(FindDevice(name, 0), number);
}

CChannel* CDeviceManager::GetChannelByGuid(const std::u16string& guid, int number) {
  return GetChannel(FindDevice(guid, 1), number);
}

IDevPreview* CDeviceManager::GetChannelPreview(CDevice* device, int number, int create) {
  CChannel* ch = GetChannel(device, number);
  return ch ? ch->GetPreview(create) : nullptr;
}

IDevPreview* CDeviceManager::GetChannelPreviewByName(const std::u16string& name, int number,
                                                     int create) {
  return GetChannelPreview(FindDevice(name, 0), number, create);
}

IDevPreview* CDeviceManager::GetChannelPreviewByGuid(const std::u16string& guid, int number,
                                                     int create) {
  return GetChannelPreview(FindDevice(guid, 1), number, create);
}

IDevCtlPtz* CDeviceManager::GetChannelPtz(CDevice* device, int number, int create) {
  CChannel* ch = GetChannel(device, number);
  return ch ? ch->GetPtz(create) : nullptr;
}

IDevCtlPtz* CDeviceManager::GetChannelPtzByName(const std::u16string& name, int number,
                                                int create) {
  CChannel* ch = GetChannelByName(name, number);
  return ch ? ch->GetPtzWithNumber(create) : nullptr;
}

IDevCtlPtz* CDeviceManager::GetChannelPtzByGuid(const std::u16string& guid, int number,
                                                int create) {
  CChannel* ch = GetChannelByGuid(guid, number);
  return ch ? ch->GetPtzWithNumber(create) : nullptr;
}

bool CDeviceManager::Load() {
  CppSQLite3DB db;
  const bool existed = FileExistsInProgramDir(kDatabase) == 1;
  if (!OpenDatabaseInProgramDir(db, kDatabase)) {
    // Whatever stands in its place (a folder, a file this user may not read) is said at once,
    // and kept aside whole before the first save, rather than found out at the exit.
    const std::string why = WhyFileUnreadable(plat::utf16ToUtf8(ProgramDirPath(kDatabase)));
    if (existed || !why.empty()) ReportDamagedFile(kDatabase, why.empty() ? "the file does not open" : why);
    return false;
  }
  // Rows read and rows skipped for a duplicate are normal; anything else that stops the read
  // (a damaged page, a table without its columns) is reported, and the next save keeps the
  // file aside instead of writing the loss over it.
  std::string damage;
  int rows = 0;
  try {
    if (db.TableExists(u"Tb_Device")) {
      CppSQLite3Query q = db.Query(u"select * from Tb_Device;");
      if (q.FieldCount() < 15) {
        damage = "the device table has " + std::to_string(q.FieldCount()) + " columns, not 15";
      } else {
        for (; !q.Eof(); q.NextRow()) {
          ++rows;
          CDevInfo info(FieldString(q, 0), FieldString(q, 1), ToInt(q.FieldText(2)),
                        FieldString(q, 3), FieldString(q, 4), ToInt(q.FieldText(5)),
                        FieldString(q, 6), FieldString(q, 7), FieldString(q, 8),
                        FieldString(q, 9), ToInt(q.FieldText(10)), ToInt(q.FieldText(11)),
                        ToInt(q.FieldText(12)), FieldString(q, 13), FieldString(q, 14));
          auto* device = new CDevice(std::move(info));
          if (!Add(device)) {
            PLAT_LOGW("devices", "skipping stored device \"%s\" (%s): its name or host is taken",
                      plat::utf16ToUtf8(device->GetDevInfo().GetName()).c_str(), device->GetDevInfo().GetNarrowIP());
            delete device;
          }
        }
      }
      ReadChannelSettings(db, GetList());
    }
  } catch (const CppSQLite3Exception& e) {
    damage = "reading stopped after " + std::to_string(rows) + " rows: " + e.Detail();
  }
  db.Close();
  if (!damage.empty()) ReportDamagedFile(kDatabase, damage);
  return true;
}

bool CDeviceManager::Save() {
  const std::list<CDevice*>& devices = GetList();  // the UI thread's: none goes meanwhile
  return SaveKeepingDamagedAside(kDatabase, [&devices] {
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, kDatabase)) return false;
    int ok = RunInTransaction(db, [&devices](CppSQLite3DB& d) {
      if (d.TableExists(u"Tb_Device")) d.Execute(u"DROP TABLE Tb_Device;");
      d.Execute(kCreateTable);
      for (CDevice* dev : devices) {
        const CDevInfo& i = dev->GetDevInfo();
        d.Execute(u"insert into Tb_Device values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
                  {i.GetName(), i.GetIP(), int64_t{i.GetPort()}, i.GetUserName(), i.GetPwd(),
                   int64_t{i.GetChnNum()}, i.GetMultiIP(), i.GetDns(), i.GetSN(),
                   i.GetManfacture(), int64_t{i.GetManufactureID()}, int64_t{i.GetAddrType()},
                   int64_t{i.GetDevType()}, i.GetGuid(), i.GetRegionGuid()});
      }
      WriteChannelSettings(d, devices);
      return true;
    });
    db.Close();
    return ok == 1;
  });
}
