// Firmware upload on a channel of its own: one 544-byte request carrying the 136-byte header
// with the file's size, the file's bytes raw, then one confirmation.
#include <cstdio>
#include <memory>

#include "Corvane/params.h"
#include "Corvane/records.h"
#include "plat/bytes.h"
#include "plat/log.h"
#include "protocol/channel.h"
#include "session/cam_session.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

int upload(corvane::CamSession& s, uint8_t* header, const char* path,
           IpcProgressCallback progress, void* user) {
  using namespace corvane;
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return 0;
  plat::Socket ch = OpenChannel(kIpcChanFirmware, kIpcChanDefaultArg, s.login, kNoOption,
                                kReplyTimeoutSec, nullptr, &s.closeWake);
  if (!ch.valid()) return 0;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return 0;
  const long end = std::ftell(file.get());
  if (end < 0 || end > 0xFFFFFFFFL) return 0;
  std::rewind(file.get());
  const uint64_t size = static_cast<uint64_t>(end);
  plat::putLe32(header + kIpcFirmwareSizeOffset, static_cast<uint32_t>(size));

  MsgHeader h;
  h.code = kIpcCmdFirmware;
  const Message req = buildMessage(h, header, kIpcFirmwareHeaderSize);
  // Each message and each piece goes out within the reply time; the confirmation comes within
  // it counted from the last piece.
  const int waitMs = kReplyTimeoutSec * 1000;
  if (SendAll(ch.fd(), req.data(), req.size(), plat::Deadline::after(waitMs), &s.closeWake) !=
      req.size())
    return 0;

  uint8_t piece[kIpcMsgSize];
  uint64_t sent = 0;
  // Bounded by the file's size: every pass sends at least one byte or leaves.
  while (sent < size) {
    const size_t n = std::fread(piece, 1, sizeof piece, file.get());
    if (n == 0) break;
    if (SendAll(ch.fd(), piece, n, plat::Deadline::after(waitMs), &s.closeWake) != n) return 0;
    sent += n;
    if (progress) progress(1, static_cast<int>(sent * 100 / size), user);
  }
  Message reply{};
  const auto confirms = [](const uint8_t* header) {
    return MsgHeader::read(header).code == kIpcCmdFirmwareReply;
  };
  if (RecvReply(ch.fd(), reply, plat::Deadline::after(waitMs), confirms, &s.closeWake) !=
      ReplyRead::Whole)
    return 0;
  // A 0-byte file reaches 100 % only here, on the camera's confirmation.
  if (progress) progress(1, 100, user);
  return 1;
}

}  // namespace

extern "C" int IPC_FirewareUpdate(IPC_HANDLE session, void* header, const char* path,
                                  IpcProgressCallback progress, void* user) {
  auto s = corvane::findSession(session);
  if (!s || !header || !path) return 0;
  const int r = upload(*s, static_cast<uint8_t*>(header), path, progress, user);
  if (!r) PLAT_LOGI("corvane", "firmware upload of %s failed", path);
  return r;
}
