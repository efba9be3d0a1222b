// The firmware channel: one upload request with the header, the file's bytes raw, then the
// confirmation.
#include "state.h"

namespace camemu {

namespace {
constexpr uint32_t kMaxFirmware = 64u << 20;
constexpr size_t kSizeOffset = kHeaderSize + 4;
constexpr int kPieceWaitMs = 5000;
}  // namespace

void serveFirmware(Camera::State& st, Connection& c, const Header&) {
  Bytes m{};
  if (!st.readMessage(c, m)) return;
  const Header h = Header::parse(m.data());
  st.logRequest(loggedRequest(c.channel, m));
  if (h.code != kFirmwareUpload) return;
  const uint32_t size = get32(m.data() + kSizeOffset);
  if (size > kMaxFirmware) return;
  std::vector<uint8_t> data(size);
  if (size > 0 &&
      plat::recvAll(c.sock.fd(), data.data(), size, kPieceWaitMs, &st.wake) != size)
    return;
  {
    std::lock_guard<std::mutex> lk(st.mutex);
    st.firmwareAnnounced = size;
    st.firmware = std::move(data);
    ++st.firmwareUploads;
  }
  st.changed.notify_all();
  st.reply(c, static_cast<uint16_t>(kFirmwareUpload + 1), 1, {});
}

}  // namespace camemu
