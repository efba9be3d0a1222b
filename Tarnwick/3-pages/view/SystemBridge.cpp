#include "view/SystemBridge.h"

#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_set>

#include "Hollin/Global.h"
#include "controls/TaskbarNotifier.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "devices/MemoryPool.h"
#include "plat/log.h"
#include "shell/AppMessages.h"
#include "shell/LocalSettings.h"
#include "shell/SettingsReload.h"
#include "shell/Singleton.h"
#include "shell/UnlockBackoff.h"
#include "shell/User.h"
#include "view/CyclePreview.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"

namespace {

// One lock over the pool pointer, the blocks handed out and the target: the callbacks read
// them on SDK threads while the UI thread starts or stops the device side.
std::mutex gBridgeLock;
std::unique_ptr<MemoryPool> gPool;
std::unordered_set<void*> gOutstanding;
plat::WindowHandle gTarget = 0;
bool gSdkStarted = false;

void ReturnBlockLocked(void* block) {
  if (!gPool || gOutstanding.erase(block) == 0) return;
  gPool->Free(block);
}

// Everything but the settings, which outlive the device libraries' clean-up.
void ReleaseLiveServices() {
  FreePreviewManager();
  CDeviceManager::ReleaseInstance();
  // Work on a device queue that is not the list's own (a settings dialog closing its camera
  // session) ends here too: the device libraries are cleaned up next.
  devwork::Drain();
  CRecordFileRing::ReleaseInstance();
  CUser::ReleaseInstance();
  FreeCyclePreviewManager();
  FreeNotifier();
  CUnlockBackoff::ReleaseInstance();
}

}  // namespace

void RenewServices() {
  SingletonAccess<CPreviewManager>::Renew();
  SingletonAccess<CDeviceManager>::Renew();
  SingletonAccess<CRecordFileRing>::Renew();
  SingletonAccess<CUser>::Renew();
  SingletonAccess<CCyclePreviewManager>::Renew();
  SingletonAccess<CTaskbarNotifier>::Renew();
  SingletonAccess<CUnlockBackoff>::Renew();
  SingletonAccess<CLocalSettings>::Renew();
}

void ReleaseServices() {
  ReleaseLiveServices();
  CLocalSettings::ReleaseInstance();
}

bool StartSystem() {
  RenewServices();
  {
    std::lock_guard<std::mutex> lock(gBridgeLock);
    if (!gPool) {
      try {
        gPool = std::make_unique<MemoryPool>(kMsgBlockSize, kMsgBlocksAtStart, kMsgBlocksMax);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
  }
  CDeviceManager::GetInstance();
  CLocalSettings* settings = CLocalSettings::GetInstance();
  if (!settings) return false;
  ReloadSettingsTellingDamage(*settings);
  // Opened and closed again: nothing of the saved session is brought back.
  CPreviewManager::GetInstance()->LoadSession();

  if (!gSdkStarted) {
    CQXGlobal::Startup();
    gSdkStarted = true;
  }
  CQXGlobal::RegisterHandleMessage(reinterpret_cast<void*>(&OnDeviceMessageCallback));
  CQXGlobal::RegisterAllocator(reinterpret_cast<void*>(&AllocMsgBuffer));
  CQXGlobal::RegisterAlarmCallback(nullptr, nullptr);
  CQXGlobal::RegisterHandleException(reinterpret_cast<void*>(&OnDeviceExceptionCallback));
  CQXGlobal::RegisterExceptionCallBack();
  return true;
}

void StopSystem() {
  // Nothing is delivered from here on; blocks already posted come back below.
  SetDeviceMessageTarget(0);
  ReleaseLiveServices();
  if (gSdkStarted) {
    CQXGlobal::StopListen();
    CQXGlobal::Cleanup();
    gSdkStarted = false;
  }
  CQXGlobal::RegisterHandleMessage(nullptr);
  CQXGlobal::RegisterAllocator(nullptr);
  CQXGlobal::RegisterHandleException(nullptr);
  CLocalSettings::ReleaseInstance();

  std::lock_guard<std::mutex> lock(gBridgeLock);
  if (!gPool) return;
  // Blocks whose messages were posted to a window that went away never reached a handler.
  for (void* block : gOutstanding) gPool->Free(block);
  gOutstanding.clear();
  gPool.reset();
}

void SetDeviceMessageTarget(plat::WindowHandle target) {
  std::lock_guard<std::mutex> lock(gBridgeLock);
  gTarget = target;
}

plat::WindowHandle DeviceMessageTarget() {
  std::lock_guard<std::mutex> lock(gBridgeLock);
  return gTarget;
}

void OnDeviceMessageCallback(MsgAlarmInfo* block) {
  if (!block) return;
  const plat::WindowHandle target = DeviceMessageTarget();
  if (!target) {
    FreeMsgBuffer(block);
    return;
  }
  // A message the page never takes (gone at the post or before its turn) gives its block back.
  plat::postMessage(target, WM_DEVICE_ALARM, reinterpret_cast<uintptr_t>(block), 0,
                    [](uint32_t, uintptr_t b, intptr_t) {
                      FreeMsgBuffer(reinterpret_cast<MsgAlarmInfo*>(b));
                    });
}

void OnDeviceExceptionCallback(uint32_t, int32_t loginId, int32_t, void*) {
  if (loginId < 0) return;
  std::lock_guard<std::mutex> lock(gBridgeLock);
  if (gTarget) plat::postMessage(gTarget, WM_DEVICE_EXCEPTION, static_cast<uintptr_t>(loginId), 0);
}

void* AllocMsgBuffer() {
  std::lock_guard<std::mutex> lock(gBridgeLock);
  if (!gPool) return nullptr;
  try {
    void* block = gPool->Alloc();
    gOutstanding.insert(block);
    return block;
  } catch (const std::exception& e) {
    PLAT_LOGW("bridge", "alarm dropped: %s", e.what());
    return nullptr;
  }
}

void FreeMsgBuffer(MsgAlarmInfo* block) {
  if (!block) return;
  std::lock_guard<std::mutex> lock(gBridgeLock);
  ReturnBlockLocked(block);
}

MemoryPool* MsgBufferPool() {
  std::lock_guard<std::mutex> lock(gBridgeLock);
  return gPool.get();
}

int OutstandingMsgBuffers() {
  std::lock_guard<std::mutex> lock(gBridgeLock);
  return static_cast<int>(gOutstanding.size());
}
