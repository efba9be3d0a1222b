// Login and logout.
#include "Saxtrum.h"
#include "api/requests.h"
#include "plat/clock.h"

using namespace saxtrum;

namespace {
constexpr uint32_t kCredentialsSize = 64;
constexpr size_t kInfoBytesAt = 48, kInfoBytes = 9;

void credentials(const std::array<char, 32>& user, const std::array<char, 32>& password,
                 uint8_t* out) {
  std::memcpy(out, user.data(), 32);
  std::memcpy(out + 32, password.data(), 32);
}

int32_t failLogin(int32_t userId, const std::shared_ptr<DvrConnection>& conn) {
  freeLoginSlot(userId);
  conn->stop();
  return -1;
}
}  // namespace

extern "C" {

int32_t QX_DVR_Login(const char* address, uint16_t port, const char* userName,
                     const char* password, QX_DVR_DEVICEINFO* deviceInfo) {
  Library& lib = library();
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    if (!lib.initialised) return -1;
  }
  if (!address || !userName) return -1;
  const int32_t userId = allocLoginSlot();
  if (userId < 0) return -1;

  DvrConnection::Settings s;
  s.host = fieldText(address, 32);
  s.user = fieldText(userName, 32);
  s.password = fieldText(password, 32);
  s.port = port;
  s.connectTimeMs = lib.connectTimeMs;
  std::shared_ptr<DvrConnection> conn;
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    s.reconnectInterval = lib.reconnectInterval;
    s.reconnectFlag = lib.reconnectFlag;
    conn = DvrConnection::create(s, userId);
    LoginEntry& e = lib.logins[userId];
    e.conn = conn;
    copyField(reinterpret_cast<uint8_t*>(e.user.data()), 32, userName);
    copyField(reinterpret_cast<uint8_t*>(e.password.data()), 32, password);
  }

  const int64_t start = plat::monotonicMs();
  const int wait = replyWaitMs();
  if (!conn->waitConnected(wait)) {
    freeLoginSlot(userId);
    conn->stop();
    return -1;
  }
  const int slot = conn->allocSlot();
  if (slot < 0) return failLogin(userId, conn);
  uint8_t payload[kCredentialsSize];
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    credentials(lib.logins[userId].user, lib.logins[userId].password, payload);
  }
  // The reply wait is counted from the request's send: what the connect took comes off it.
  const int spent = static_cast<int>((plat::monotonicMs() - start) / plat::timeScale());
  int left = wait - spent;
  // Never 0, which would wait without end: the connect time as the connect uses it.
  if (left <= 0) left = connectWaitMs(lib.connectTimeMs);
  if (conn->sendPacket(static_cast<uint32_t>(makeStreamHandle(userId, slot)), NET_LOGIN, payload,
                       kCredentialsSize) != 0)
    return failLogin(userId, conn);
  if (conn->waitSlot(slot, left, false) != 0) return failLogin(userId, conn);
  bool ok = false;
  std::array<uint8_t, kLoginReplySize> reply{};
  conn->withSlot(slot, [&](RequestSlot& r) {
    ok = r.status == kStatusOk;
    reply = r.loginReply;
  });
  if (!ok) return failLogin(userId, conn);
  if (deviceInfo) {
    std::memset(deviceInfo, 0, sizeof *deviceInfo);
    std::memcpy(deviceInfo->sSerialNumber, reply.data(), sizeof deviceInfo->sSerialNumber);
    std::memcpy(deviceInfo->byInfo, reply.data() + kInfoBytesAt, kInfoBytes);
  }
  conn->releaseSlot(slot);
  return userId;
}

int QX_DVR_Logout(int32_t userId) {
  Library& lib = library();
  if (userId < 0 || userId >= kMaxLogins) {
    lib.lastError = QX_DVR_ERROR_NO_LOGIN_SLOT;
    return 0;
  }
  auto conn = loginConnection(userId);
  if (!conn) return 0;
  const int slot = conn->allocSlot();
  if (slot < 0) return 0;
  uint8_t payload[kCredentialsSize];
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    credentials(lib.logins[userId].user, lib.logins[userId].password, payload);
    if (lib.talk.active && lib.talk.userId == userId) lib.talk = TalkState{};
  }
  conn->sendPacket(static_cast<uint32_t>(makeStreamHandle(userId, slot)), NET_LOGOUT, payload,
                   kCredentialsSize);
  freeLoginSlot(userId);
  conn->stop();
  return 1;
}

}  // extern "C"
