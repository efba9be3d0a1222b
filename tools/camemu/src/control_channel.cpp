// The control channel: parameter get and set from the store, keep-alive, reboot, alarm close.
#include "state.h"

namespace camemu {

namespace {

constexpr uint16_t kReboot = 0x0E03;
constexpr uint16_t kUnsupported = 2;  // status of a reply to a command the camera lacks

}  // namespace

void serveControl(Camera::State& st, Connection& c, const Header&) {
  Bytes m{};
  // Ends when the client closes, the camera stops or a message does not arrive whole.
  while (st.readMessage(c, m)) {
    const Header h = Header::parse(m.data());
    st.logRequest(loggedRequest(c.channel, m));
    if (h.magic != kMagic) return;  // not a message of the protocol: the camera hangs up
    const uint16_t replyCode = static_cast<uint16_t>(h.code + 1);
    if (h.code == kKeepAlive) {
      st.reply(c, replyCode, 1, {}, true);
      continue;
    }
    if (h.code == kReboot) {
      {
        std::lock_guard<std::mutex> lk(st.mutex);
        ++st.reboots;
      }
      st.reply(c, replyCode, 1, {});
      continue;
    }
    ParamCommand cmd;
    if (!findParamCommand(h.code, cmd)) {
      st.reply(c, replyCode, kUnsupported, {});
      continue;
    }
    std::vector<uint8_t> payload;
    std::function<void(uint16_t, const std::vector<uint8_t>&)> stored;
    {
      std::lock_guard<std::mutex> lk(st.mutex);
      auto& rec = st.records[cmd.getCode];
      if (cmd.sets) {
        rec.assign(m.begin() + kHeaderSize, m.begin() + kHeaderSize + cmd.size);
        stored = st.recordStored;
      }
      payload = rec;
    }
    // Told before the reply goes out, so whoever watches sees the record once the client
    // has its answer.
    if (stored) stored(cmd.getCode, payload);
    st.reply(c, replyCode, 1, payload);
  }
}

}  // namespace camemu
