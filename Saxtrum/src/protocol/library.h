#pragma once
// The library's globals: the 128-entry login table, settings, callbacks and talk state.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "plat/hook.h"

#include "Saxtrum.h"
#include "protocol/connection.h"

namespace saxtrum {

struct StreamEntry {
  void* user = nullptr;
  uint32_t channelIndex = 0;  // channel number - 1, as sent
  intptr_t window = 0;        // 0 when none
  uint32_t subStream = 0;
  QX_DVR_DataCallBack live = nullptr;
  QX_DVR_DataCallBack playback = nullptr;
};

struct LoginEntry {
  bool inUse = false;
  std::shared_ptr<DvrConnection> conn;
  std::array<char, 32> user{};
  std::array<char, 32> password{};
  std::array<StreamEntry, kSlotCount> streams{};
};

struct TalkState {
  bool active = false;
  int32_t userId = -1;
  int32_t handle = -1;
  uint32_t counter = 0;
};

struct Library {
  std::recursive_mutex tableMutex;
  bool initialised = false;
  std::array<LoginEntry, kMaxLogins> logins{};
  int loginCount = 0;
  std::atomic<uint32_t> lastError{0};
  // The client's callbacks, each with its user values; called with no library lock held.
  plat::Hook<std::function<void(char* alarmer, char* alarm, uint32_t length)>> message;
  plat::Hook<std::function<void(uint32_t type, int32_t userId)>> exception;
  std::atomic<int> replyWaitMs{4000};
  std::atomic<int> connectTimeMs{2000};
  int reconnectInterval = 0;
  int reconnectFlag = 0;
  TalkState talk;
};

Library& library();
int replyWaitMs();

int allocLoginSlot();
int freeLoginSlot(int32_t userId);

// A login's connection when the user id is valid, the entry in use and connected to a
// connection object; null otherwise.
std::shared_ptr<DvrConnection> loginConnection(int32_t userId);

struct StreamRef {
  int32_t userId = -1;
  int slot = -1;
  std::shared_ptr<DvrConnection> conn;
};
// Checks a stream handle: below 0x800000, slot below 32, login in use with a connection.
bool resolveHandle(int32_t handle, StreamRef& out);

// Stops every login (used by start-up again and clean-up).
void stopAllLogins();

}  // namespace saxtrum
