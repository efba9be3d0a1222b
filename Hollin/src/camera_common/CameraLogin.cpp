#include "camera_common/CameraLogin.h"

#include <arpa/inet.h>

#include <cstring>

#include "Corvane.h"
#include "camera_common/IpcHandle.h"
#include "camera_common/SessionRoutes.h"
#include "plat/log.h"
#include "plat/socket.h"

namespace hollin {

namespace {

// The camera's name fields hold 16 bytes; a longer text is cut there.
void CopyName(char (&field)[16], const char* text) {
  std::memset(field, 0, sizeof field);
  if (text) std::memcpy(field, text, strnlen(text, sizeof field));
}

}  // namespace

CameraLogin::~CameraLogin() {
  if (session_) IPC_SessionClose(AsIpc(session_));
}

DevHandle CameraLogin::Login() {
  if (!info_) return 0;
  IpcLoginInfo li{};
  // An unknown host is a failed login, not a login to the broadcast address.
  uint32_t netOrder = 0;
  const char* host = info_->IP.GetNarrow();
  if (!*host || !plat::resolveIPv4(host, netOrder)) {
    PLAT_LOGI("hollin", "login: cannot resolve \"%s\"", info_->IP.GetNarrow());
    return 0;
  }
  li.address = ntohl(netOrder);
  li.port = static_cast<uint16_t>(info_->Port);
  CopyName(li.user, info_->UserName.GetNarrow());
  CopyName(li.password, info_->Pwd.GetNarrow());
  // A camera is reached during the call; a recorder's session connects in the background.
  li.connectNow = devType_ == DEV_TYPE_IPC ? 1 : 0;
  session_ = reinterpret_cast<DevHandle>(IPC_SessionOpen(&li));
  return session_;
}

int CameraLogin::Logout() {
  if (!session_) return 0;
  const int r = IPC_SessionClose(AsIpc(session_));
  session_ = 0;
  talkStream_ = 0;
  return r;
}

DevHandle CameraLogin::GetLoginID(int loginIfNeeded) {
  if (!session_ && loginIfNeeded == 1) Login();
  if (!session_ && loginIfNeeded == 0) return -1;
  return session_;
}

int CameraLogin::StartVoiceCom(intptr_t, intptr_t, intptr_t, intptr_t) {
  const DevHandle stream = session_ ? routes::LastStream(session_) : 0;
  if (!stream) return 0;
  const int r = IPC_StartSpeak(AsIpc(stream), 1);
  if (r == 1) talkStream_ = stream;
  return r;
}

int CameraLogin::StopVoiceCom() {
  if (!talkStream_) return 0;
  const int r = IPC_StartSpeak(AsIpc(talkStream_), 0);
  talkStream_ = 0;
  return r;
}

}  // namespace hollin
