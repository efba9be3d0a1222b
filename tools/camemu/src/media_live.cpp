// Live video, live audio and talk connections.
#include <sys/time.h>

#include <algorithm>
#include <chrono>

#include "media_state.h"
#include "plat/clock.h"

namespace camemu {

namespace {

constexpr uint32_t kBaseSeconds = 1700000000;
constexpr uint32_t kOversizeExtra = 5000;

void putFrameHeader(uint8_t* h, const SentFrame& f, uint16_t width, uint16_t height,
                    uint16_t magic, uint16_t status, uint32_t flag) {
  std::fill(h, h + kFrameHeaderSize, uint8_t{0});
  put16(h, magic);
  put16(h + 2, status);
  put32(h + 12, f.stamp);
  put32(h + 16, f.length);
  put32(h + 20, flag);
  put32(h + 24, f.length);
  put16(h + 28, width);
  put16(h + 30, height);
  put16(h + 32, f.codec);
  put16(h + 34, f.keyFlag);
  put32(h + 36, f.seconds);
  put32(h + 40, f.microseconds);
}

}  // namespace

void serveVideo(Camera::State& st, Connection& c, const Header&) {
  MediaState& m = mediaOf(st);
  size_t index = 0;
  std::vector<uint8_t> out;
  // Frames leave on a fixed schedule, however long each write took.
  auto due = std::chrono::steady_clock::now();
  // Ends when the frames run out (then idles), the peer goes or the emulator stops.
  while (!st.stopping.load()) {
    MediaFrame frame;
    SentFrame f;
    int interval;
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      if (m.live.empty() || (index >= m.live.size() && !m.loop)) break;
      const size_t i = index % m.live.size();
      frame = m.live[i];
      interval = m.frameIntervalMs;
      f.stamp = m.nextStamp++;
      f.codec = frame.codec;
      f.keyFlag = frame.key ? kKeyFlagKey : kKeyFlagOther;
      if (m.wallClock) {
        timeval now{};
        gettimeofday(&now, nullptr);
        f.seconds = static_cast<uint32_t>(now.tv_sec);
        f.microseconds = static_cast<uint32_t>(now.tv_usec);
      } else {
        // 25 frames a second of camera time.
        f.seconds = kBaseSeconds + static_cast<uint32_t>(index / 25);
        f.microseconds = static_cast<uint32_t>(index % 25) * 40000;
      }
    }
    const VideoFault fault = m.take(mediaOf(st).videoFault);
    if (fault == VideoFault::Stall) break;
    out.assign(kFrameHeaderSize, 0);
    out.insert(out.end(), frame.data.begin(), frame.data.end());
    if (fault == VideoFault::Oversize) {
      // Padding the frame past the largest the client keeps; the first bytes are the frame.
      out.resize(kFrameHeaderSize + kMaxFrame + kOversizeExtra, 0);
    }
    f.length = static_cast<uint32_t>(out.size() - kFrameHeaderSize);
    putFrameHeader(out.data(), f, frame.width, frame.height,
                   fault == VideoFault::BadMagic ? 0x1234 : kMagic,
                   fault == VideoFault::ServerFull ? kServerFull : 0,
                   fault == VideoFault::WrongFlag ? 2 : 1);
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      m.sent.push_back(f);
    }
    st.changed.notify_all();
    if (fault == VideoFault::Truncated) {
      c.write(out.data(), kFrameHeaderSize + f.length / 2);
      return;  // the connection ends mid-frame
    }
    if (!c.write(out.data(), out.size())) return;
    ++index;
    due += plat::scaledDuration(interval);
    const auto now = std::chrono::steady_clock::now();
    // A sender held up for more than a second starts its schedule anew instead of bursting.
    if (now - due > std::chrono::seconds(1)) due = now;
    if (!st.pauseUntil(due)) return;
  }
  idleUntilClosed(st, c);
}

void serveAudio(Camera::State& st, Connection& c, const Header&) {
  MediaState& m = mediaOf(st);
  uint32_t phase = 0;
  uint32_t stamp = 0;
  uint8_t packet[kPacketSize];
  // Ends when the peer goes or the emulator stops.
  while (!st.stopping.load()) {
    uint16_t type;
    int interval;
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      type = m.audioType;
      interval = m.audioIntervalMs;
    }
    const AudioFault fault = m.take(m.audioFault);
    const std::vector<uint8_t> data = toneBlock(type, phase);
    std::fill(packet, packet + sizeof packet, uint8_t{0});
    put16(packet, fault == AudioFault::BadMagic ? 0x1234 : kMagic);
    put16(packet + 2, fault == AudioFault::EndStatus ? kServerFull : 0);
    put32(packet + 12, ++stamp);
    const uint32_t length = fault == AudioFault::OverLength ? 5000
                            : fault == AudioFault::ZeroLength ? 0
                                                              : static_cast<uint32_t>(data.size());
    put32(packet + 16, length);
    put16(packet + 28, type);
    put32(packet + 32, stamp / 16);
    put32(packet + 36, (stamp % 16) * 64000);
    std::copy(data.begin(), data.end(), packet + kPacketHeaderSize);
    if (!c.write(packet, sizeof packet)) return;
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      ++m.audioSent;
    }
    st.changed.notify_all();
    if (fault == AudioFault::EndStatus || !st.pause(interval)) return;
  }
}

void serveTalk(Camera::State& st, Connection& c, const Header&) {
  MediaState& m = mediaOf(st);
  uint8_t packet[kPacketSize];
  // Ends when the peer goes or the emulator stops.
  while (!st.stopping.load()) {
    const size_t got = plat::recvAll(c.sock.fd(), packet, sizeof packet, 1000, &st.wake);
    if (got == 0) {
      if (plat::waitReadable(c.sock.fd(), 0) == plat::WaitResult::Timeout) continue;
      return;
    }
    TalkPacket p;
    p.size = got;
    p.magic = get16(packet);
    p.status = get16(packet + 2);
    p.stamp = get32(packet + 12);
    p.length = get32(packet + 16);
    p.type = get16(packet + 28);
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      m.talk.push_back(p);
    }
    st.changed.notify_all();
    if (got != sizeof packet) return;
  }
}

}  // namespace camemu
