#include "camera_common/CameraPtzConfig.h"

#include <cstring>

#include "Corvane.h"
#include "camera_common/IpcHandle.h"
#include "plat/bytes.h"

namespace hollin {

int CameraPtz::Send(int command, bool stop, int argument, int point, int value) {
  if (!session_) return 0;
  std::memset(command_, 0, sizeof command_);
  command_[kIpcPtzCommandByteOffset] = static_cast<uint8_t>(command & 0xFF);
  command_[kIpcPtzStopOffset] = stop ? 1 : 0;
  command_[kIpcPtzArgumentOffset] = static_cast<uint8_t>(argument & 0xFF);
  command_[kIpcPtzPointOffset] = static_cast<uint8_t>(point & 0xFF);
  plat::putLe16(command_ + kIpcPtzValueOffset, static_cast<uint16_t>(value));
  return IPC_SetPtzCommand(AsIpc(session_), command_);
}

int CameraConfig::GetConfig(tagDevConfigRequest* request) {
  if (devType_ != DEV_TYPE_IPC) return 0;
  // The caller reads its record after a success: it is filled, or the read fails. A camera
  // reports no preset as set, so the recorder layout comes back with every flag clear.
  if (!request || !request->record || request->configType != kConfigTypeDecoder ||
      request->recordSize < static_cast<int32_t>(kDecoderConfigSize))
    return 0;
  if (IPC_GetPtzParam(AsIpc(session_), ptz_) != 1) return 0;
  read_ = true;
  std::memset(request->record, 0, kDecoderConfigSize);
  request->returned = static_cast<uint32_t>(kDecoderConfigSize);
  return 1;
}

int CameraConfig::SetConfig(tagDevConfigRequest*) {
  // Never write back parameters that were not read first: that would wipe the camera's.
  if (!read_) return 0;
  return IPC_SetPtzParam(AsIpc(session_), ptz_);
}

}  // namespace hollin
