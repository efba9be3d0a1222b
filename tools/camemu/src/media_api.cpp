// The Media switches and logs, and the choice of handler for the media and file channels.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "media_state.h"

namespace camemu {

MediaState& mediaOf(Camera::State& st) {
  std::lock_guard<std::mutex> lk(st.mutex);
  if (!st.media) st.media = std::make_shared<MediaState>();
  return *st.media;
}

ChannelHandler mediaHandlerFor(uint16_t channel) {
  switch (channel) {
    case kChanVideo: return serveVideo;
    case kChanAudio: return serveAudio;
    case kChanTalk: return serveTalk;
    case kChanPlayback: return servePlayback;
    case kChanDownload: return serveDownload;
    case kChanSearch: return serveSearch;
    default: return nullptr;
  }
}

void idleUntilClosed(Camera::State& st, Connection& c) {
  uint8_t sink[256];
  // Ends when the peer closes or the emulator stops.
  while (!st.stopping.load()) {
    const plat::WaitResult r = plat::waitReadable(c.sock.fd(), 100, &st.wake);
    if (r == plat::WaitResult::Timeout) continue;
    if (r != plat::WaitResult::Ready) return;
    if (plat::recvSome(c.sock.fd(), sink, sizeof sink, 0) < 0) return;
  }
}

Media::Media(Camera& camera) : st_(camera.state_.get()) { mediaOf(*st_); }

#define CAMEMU_MEDIA_SET(expr)                     \
  MediaState& m = mediaOf(*st_);                   \
  std::lock_guard<std::mutex> lk(m.mutex);         \
  expr

void Media::setLiveFrames(std::vector<MediaFrame> frames, bool loop) {
  CAMEMU_MEDIA_SET(m.live = std::move(frames); m.loop = loop;);
}
void Media::setFrameInterval(int productMs) { CAMEMU_MEDIA_SET(m.frameIntervalMs = productMs;); }
void Media::setWallClockTimes(bool on) { CAMEMU_MEDIA_SET(m.wallClock = on;); }
void Media::injectVideoFault(VideoFault fault) { CAMEMU_MEDIA_SET(m.videoFault = fault;); }
std::vector<SentFrame> Media::sentFrames() const { CAMEMU_MEDIA_SET(return m.sent;); }
size_t Media::videoFramesSent() const { CAMEMU_MEDIA_SET(return m.sent.size();); }
void Media::setAudioType(uint16_t type) { CAMEMU_MEDIA_SET(m.audioType = type;); }
void Media::setAudioInterval(int productMs) { CAMEMU_MEDIA_SET(m.audioIntervalMs = productMs;); }
void Media::injectAudioFault(AudioFault fault) { CAMEMU_MEDIA_SET(m.audioFault = fault;); }
size_t Media::audioPacketsSent() const { CAMEMU_MEDIA_SET(return m.audioSent;); }
std::vector<TalkPacket> Media::talkPackets() const { CAMEMU_MEDIA_SET(return m.talk;); }
void Media::setFiles(std::vector<StoredFile> files) { CAMEMU_MEDIA_SET(m.files = std::move(files);); }
void Media::setFileTimes(uint32_t start, uint32_t end) {
  CAMEMU_MEDIA_SET(for (StoredFile& f : m.files) { f.start = start; f.end = end; });
}
void Media::injectFileFault(FileFault fault) { CAMEMU_MEDIA_SET(m.fileFault = fault;); }
void Media::setPlaybackPacketData(size_t bytes) {
  CAMEMU_MEDIA_SET(m.packetData = std::clamp<size_t>(bytes, 1, kPacketDataSize););
}
void Media::setPlaybackAudioEvery(int n) { CAMEMU_MEDIA_SET(m.playbackAudioEvery = n;); }
std::vector<uint16_t> Media::playbackArguments() const { CAMEMU_MEDIA_SET(return m.playbackArgs;); }
std::vector<std::vector<uint8_t>> Media::searchConditions() const {
  CAMEMU_MEDIA_SET(return m.conditions;);
}
size_t Media::playbackFramesSent() const { CAMEMU_MEDIA_SET(return m.playbackFrames;); }
size_t Media::playbackAudioSent() const { CAMEMU_MEDIA_SET(return m.playbackAudio;); }

#undef CAMEMU_MEDIA_SET

std::vector<uint8_t> Media::fileRecord(const StoredFile& f) {
  std::vector<uint8_t> r(kPayloadSize, 0);
  put16(r.data(), f.channel);
  put16(r.data() + 2, f.type);
  put32(r.data() + 4, static_cast<uint32_t>(f.bytes.size()));
  put32(r.data() + 8, f.start);
  put32(r.data() + 12, f.end);
  std::copy_n(f.name.begin(), std::min<size_t>(f.name.size(), 127), r.begin() + 16);
  return r;
}

}  // namespace camemu

namespace camemu {

bool Media::loadClip(const std::string& path) {
  std::ifstream data(path, std::ios::binary);
  std::ifstream idx(path + ".idx");
  if (!data || !idx) return false;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(data)),
                                   std::istreambuf_iterator<char>());
  std::string line, hash, codec;
  int width = 0, height = 0, fps = 0;
  if (!std::getline(idx, line)) return false;
  std::istringstream head(line);
  if (!(head >> hash >> codec >> width >> height >> fps) || hash != "#" || width <= 0 ||
      height <= 0 || fps <= 0)
    return false;
  std::vector<MediaFrame> frames;
  // Bounded by the index file's lines.
  while (std::getline(idx, line)) {
    std::istringstream in(line);
    uint64_t index = 0, offset = 0, size = 0;
    int key = 0;
    // Compared without a sum, which a hostile offset could wrap past the clip's end.
    if (!(in >> index >> offset >> size >> key) || offset > bytes.size() ||
        size > bytes.size() - offset)
      return false;
    MediaFrame f;
    f.data.assign(bytes.begin() + static_cast<ptrdiff_t>(offset),
                  bytes.begin() + static_cast<ptrdiff_t>(offset + size));
    f.codec = codec == "mpeg4" ? 1 : 2;
    f.key = key != 0;
    f.width = static_cast<uint16_t>(width);
    f.height = static_cast<uint16_t>(height);
    frames.push_back(std::move(f));
  }
  if (frames.empty()) return false;
  StoredFile file;
  file.name = path.substr(path.find_last_of('/') + 1);
  file.bytes = bytes;
  file.frames = frames;
  setLiveFrames(std::move(frames), true);
  setFrameInterval(1000 / fps);
  setFiles({std::move(file)});
  return true;
}

}  // namespace camemu
