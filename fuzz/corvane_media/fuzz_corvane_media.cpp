// Arbitrary camera bytes into the live video, live audio and playback receive steps and the
// search and download exchanges. The camera is an in-memory peer (a socket pair) that writes
// the bytes from its own thread and closes its side, so every read ends instead of waiting.
//
// Input: byte 0 chooses the path (mod 5); the rest is what the camera sends.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "dvrfile/file_task.h"
#include "dvrfile/playback.h"
#include "plat/clock.h"
#include "stream/live_stream.h"
#include "stream/media_wire.h"

namespace {

using namespace corvane;

unsigned g_sum = 0;

// Touches every byte the client says it has, so an overrun shows under the sanitizer.
void touch(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) g_sum += p[i];
}

void onSearch(int kind, const void* record, void*) {
  if (kind == kIpcSearchRecord) touch(static_cast<const uint8_t*>(record), kIpcFileRecordSize);
}

void onDownload(int kind, const void* info, const void* data, int length, void*) {
  if (info) touch(static_cast<const uint8_t*>(info), kIpcMsgPayloadSize);
  if (kind == kIpcDownloadData && data) touch(static_cast<const uint8_t*>(data), length);
}

void checkBuffer(const uint8_t* buffer, size_t dataMax) {
  const MediaBuffer mh = MediaBuffer::read(buffer);
  if (mh.length > dataMax) __builtin_trap();
  touch(buffer + kMediaHeaderSize, mh.length);
}

// Bounded: the camera's bytes are finite and every step that gets nothing ends the loop.
constexpr int kMaxUnits = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1024 * 1024) return 0;
  plat::setTimeScale(0.0001);  // a 5 s wait becomes 1 ms
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
  plat::Socket client(sv[0]);
  plat::Socket peer(sv[1]);
  std::thread camera([&] {
    plat::sendAll(peer.fd(), data + 1, size - 1, 100000);
    ::shutdown(peer.fd(), SHUT_WR);
  });
  static std::vector<uint8_t> frame(kFrameBufferSize);
  static std::vector<uint8_t> block(kAudioBufferSize);
  const int fd = client.fd();
  switch (data[0] % 5) {
    case 0:
      for (int i = 0; i < kMaxUnits && readFrame(fd, frame.data(), nullptr) == FrameRead::Frame; ++i)
        checkBuffer(frame.data(), kFrameDataMax);
      break;
    case 1:
      for (int i = 0; i < kMaxUnits && readAudioPacket(fd, block.data(), nullptr); ++i)
        checkBuffer(block.data(), kAudioDataMax);
      break;
    case 2: {
      auto onAudio = [](const uint8_t* packet, size_t got) {
        touch(packet, got);
      };
      for (int i = 0; i < kMaxUnits; ++i) {
        const PlaybackRead r = readPlaybackUnit(fd, frame.data(), onAudio, nullptr);
        if (r == PlaybackRead::End) break;
        if (r == PlaybackRead::Frame || r == PlaybackRead::FrameEndedEarly)
          checkBuffer(frame.data(), kFrameDataMax);
      }
      break;
    }
    case 3:
      searchOn(fd, IpcFileSearchCond{}, onSearch, nullptr, nullptr);
      break;
    default:
      downloadOn(fd, IpcDownloadRequest{}, onDownload, nullptr, nullptr);
      break;
  }
  client.shutdownBoth();
  camera.join();
  return 0;
}
