#include "view/PreviewManager.h"

#include <algorithm>
#include <atomic>

#include "devices/Device.h"
#include "plat/log.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Singleton.h"

namespace {

std::atomic<CPreviewManager::SaveStepHook> g_saveStepHook{nullptr};

void SaveStep(const char* step) {
  if (auto hook = g_saveStepHook.load()) hook(step);
}

// Whatever releases a device's channels asks the live list to let go of them first.
void PurgeDeviceItems(const std::u16string& guid) {
  if (SingletonAccess<CPreviewManager>::HasInstance())
    SingletonAccess<CPreviewManager>::GetInstance()->StopDeviceAll(guid);
}

}  // namespace

CPreviewManager* CPreviewManager::GetInstance() {
  static const bool hooked = (AddDeviceReleaseHook(&PurgeDeviceItems), true);
  (void)hooked;
  return SingletonAccess<CPreviewManager>::GetInstance();
}

void FreePreviewManager() { SingletonAccess<CPreviewManager>::ReleaseInstance(); }

void CPreviewManager::SetSaveStepHook(SaveStepHook hook) { g_saveStepHook.store(hook); }

CPreviewManager::CPreviewManager() : CPreviewManager(true) {}
CPreviewManager::CPreviewManager(bool persistent) : persistent_(persistent) {}

CPreviewManager::~CPreviewManager() { RemoveAll(); }

bool CPreviewManager::Add(const PreviewItemPtr& item) {
  if (!item) return false;
  CScopedLock lock(lock_);
  for (const PreviewItemPtr& i : items_)
    if (i->SameSlot(*item)) return false;
  items_.push_back(item);
  return true;
}

bool CPreviewManager::Contains(const PreviewItemPtr& item) {
  if (!item) return false;
  CScopedLock lock(lock_);
  return std::any_of(items_.begin(), items_.end(),
                     [&](const PreviewItemPtr& i) { return i->SameSlot(*item); });
}

bool CPreviewManager::Holds(const PreviewItemPtr& item) {
  CScopedLock lock(lock_);
  return std::find(items_.begin(), items_.end(), item) != items_.end();
}

PreviewItemPtr CPreviewManager::FindConnecting(int window) {
  CScopedLock lock(lock_);
  for (const PreviewItemPtr& i : items_)
    if (i->GetWindow() == window && i->IsConnecting()) return i;
  return nullptr;
}

std::vector<PreviewItemPtr> CPreviewManager::ItemsOfDevice(const std::u16string& guid) {
  CScopedLock lock(lock_);
  std::vector<PreviewItemPtr> found;
  for (const PreviewItemPtr& i : items_)
    if (i->GetDeviceGuid() == guid) found.push_back(i);
  return found;
}

bool CPreviewManager::IsShown(IDevPreview* preview, int window) {
  CScopedLock lock(lock_);
  return std::any_of(items_.begin(), items_.end(), [&](const PreviewItemPtr& i) {
    return i->GetDevPreview() == preview && (window == -1 || i->GetWindow() == window);
  });
}

PreviewItemPtr CPreviewManager::FindByDeviceChannel(const std::u16string& guid, int channel) {
  CScopedLock lock(lock_);
  for (const PreviewItemPtr& i : items_)
    if (i->GetChannel() == channel && i->GetDeviceGuid() == guid) return i;
  return nullptr;
}

PreviewItemPtr CPreviewManager::FindByWindow(int window) {
  CScopedLock lock(lock_);
  for (const PreviewItemPtr& i : items_) {
    if (i->GetWindow() != window) continue;
    IDevPreview* p = i->GetDevPreview();
    if (p && p->IsPreviewing()) return i;
  }
  return nullptr;
}

PreviewItemPtr CPreviewManager::FindByPreview(IDevPreview* preview) {
  CScopedLock lock(lock_);
  for (const PreviewItemPtr& i : items_)
    if (i->GetDevPreview() == preview) return i;
  return nullptr;
}

bool CPreviewManager::HasWindow(int window) {
  CScopedLock lock(lock_);
  return std::any_of(items_.begin(), items_.end(),
                     [&](const PreviewItemPtr& i) { return i->GetWindow() == window; });
}

void CPreviewManager::StopItems(const std::vector<PreviewItemPtr>& items) {
  for (const PreviewItemPtr& i : items) {
    devwork::Run(
        i->GetDeviceGuid(),
        // A device's items leave the list before it is retired (its release hooks), so their
        // stops are dropped with its queue, or refused once it was retired, and it stops them
        // itself.
        [i] { i->StopAll(); },
        [this, guid = i->GetDeviceGuid(), channel = i->GetChannel()] {
          if (stopped_) stopped_(guid, channel);
        },
        owner_);
  }
}

bool CPreviewManager::Remove(const PreviewItemPtr& item) {
  if (!item) return false;
  {
    CScopedLock lock(lock_);
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return false;
    items_.erase(it);
  }
  StopItems({item});
  return true;
}

bool CPreviewManager::StopDeviceAll(const std::u16string& guid) {
  std::vector<PreviewItemPtr> gone;
  {
    CScopedLock lock(lock_);
    for (auto it = items_.begin(); it != items_.end();) {
      if ((*it)->GetDeviceGuid() == guid) {
        gone.push_back(*it);
        it = items_.erase(it);
      } else {
        ++it;
      }
    }
  }
  StopItems(gone);
  return true;
}

bool CPreviewManager::RemoveAll() {
  std::vector<PreviewItemPtr> gone;
  {
    CScopedLock lock(lock_);
    gone.assign(items_.begin(), items_.end());
    items_.clear();
  }
  StopItems(gone);
  return true;
}

int CPreviewManager::GetCount() {
  CScopedLock lock(lock_);
  return static_cast<int>(items_.size());
}

void CPreviewManager::SetPlayScreen(ILiveScreen* screen) { screen_ = screen; }

void CPreviewManager::SetActiveWindow(int index, int relayout) {
  if (screen_) screen_->SetActiveIndex(index, relayout);
}

void CPreviewManager::SetActiveWindowByHwnd(HWND wnd, int relayout) {
  if (screen_) screen_->SetActiveIndex(screen_->FindIndexByHwnd(wnd), relayout);
}

ILiveWindow* CPreviewManager::GetPlayWnd(int index) {
  return screen_ ? screen_->GetWnd(index) : nullptr;
}

bool CPreviewManager::SaveSession() {
  if (!persistent_) return false;
  const int mode = screen_ ? screen_->GetLayoutMode() : kModeWithoutScreen;
  return SaveKeepingDamagedAside(kDatabase, [&] {
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, kDatabase)) return false;
    const int ok = RunInTransaction(db, [&](CppSQLite3DB& d) {
      if (d.TableExists(u"Tb_Preview")) d.Execute(u"DROP TABLE [Tb_Preview];");
      SaveStep("dropped");
      d.Execute(u"CREATE TABLE [Tb_Preview] (DevGuid varchar,Chn varchar,PlayWnd integer,"
                u"IsSubStream integer);");
      SaveStep("created");
      {
        // The rows are the list as it stands while they are written.
        CScopedLock lock(lock_);
        for (const PreviewItemPtr& i : items_)
          d.Execute(u"insert into [Tb_Preview] values(?, ?, ?, ?);",
                    {i->GetDeviceGuid(), int64_t{i->GetChannel()}, int64_t{i->GetWindow()},
                     int64_t{i->GetStreamType()}});
      }
      SaveStep("rows");
      if (d.TableExists(u"Tb_PlayScreen")) d.Execute(u"DROP TABLE [Tb_PlayScreen];");
      d.Execute(u"CREATE TABLE [Tb_PlayScreen] (DevideScreenMode integer);");
      d.Execute(u"insert into [Tb_PlayScreen] values(?);", {int64_t{mode}});
      return true;
    });
    CloseDatabase(db);
    return ok == 1;
  });
}

bool CPreviewManager::LoadSession() {
  if (!persistent_) return false;
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, kDatabase)) {
    // Something that cannot be read stands in its place: said now, moved aside at the save.
    const std::string why = WhyFileUnreadable(plat::utf16ToUtf8(ProgramDirPath(kDatabase)));
    if (!why.empty()) ReportDamagedFile(kDatabase, why);
    return false;
  }
  // The saved session is not brought back: a new run opens only what the user or a cycle
  // opens. The tables are only read through, so that damage is said now, not at the exit.
  try {
    for (const char16_t* table : {u"Tb_PlayScreen", u"Tb_Preview"})
      if (db.TableExists(table)) db.QueryTable(std::u16string(u"select * from [") + table + u"];");
  } catch (const CppSQLite3Exception& e) {
    ReportDamagedFile(kDatabase, e.Detail());
  }
  CloseDatabase(db);
  return false;
}
