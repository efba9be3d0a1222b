#pragma once
// The program's side of the device access layer: start-up and shut-down of the device side,
// the pool of alarm message blocks, and the alarm and exception callbacks that arrive on the
// SDK's threads. Callbacks reach the UI only by posted window messages to the target window
// (the preview page); an SDK thread never waits for the UI thread.
#include <cstdint>

#include "plat/window.h"

struct MsgAlarmInfo;
class MemoryPool;

constexpr int kMsgBlockSize = 400;
constexpr int kMsgBlocksAtStart = 100;
constexpr int kMsgBlocksMax = 300;

// UI thread, once each. StartSystem's result is informative only: the program runs on
// without a working device side. StopSystem deletes only what exists and may run without a
// StartSystem before it.
bool StartSystem();
void StopSystem();

// The program's process-wide services (preview list, device list, recording ring, user, cycles,
// notifier, unlock pace, settings): ReleaseServices deletes them in the order the shut-down
// does, the settings last; RenewServices lets them be made again, as StartSystem does.
void ReleaseServices();
void RenewServices();

// The window that receives WM_DEVICE_ALARM and WM_DEVICE_EXCEPTION (0: none). Set by the
// main window once its preview page exists, cleared before that page goes.
void SetDeviceMessageTarget(plat::WindowHandle target);
plat::WindowHandle DeviceMessageTarget();

// Registered with the device layer (SDK threads).
void OnDeviceMessageCallback(MsgAlarmInfo* block);
void OnDeviceExceptionCallback(uint32_t type, int32_t loginId, int32_t handle, void* user);
void* AllocMsgBuffer();
// Gives a block from AllocMsgBuffer back; anything else (null, a block given back already,
// a foreign pointer) is ignored.
void FreeMsgBuffer(MsgAlarmInfo* block);

// The pool while the device side runs (null otherwise) and the blocks handed out now.
MemoryPool* MsgBufferPool();
int OutstandingMsgBuffers();
