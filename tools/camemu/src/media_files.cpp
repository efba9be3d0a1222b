// File search, download and playback connections. Requests name files by the layouts the
// device layer builds: the download request's name at 4, the playback request's at 8.
#include <algorithm>
#include <string>

#include "media_state.h"

namespace camemu {

namespace {

constexpr uint16_t kSearch = 0x5101, kSearchReply = 0x5102;
constexpr uint16_t kDownload = 0x5201, kDownloadReply = 0x5202;
constexpr uint16_t kPlayback = 0x5001;
// The length fields of the three requests: the records they carry.
constexpr uint16_t kSearchLength = 144, kDownloadLength = 132, kPlaybackLength = 136;
constexpr uint16_t kFileData = 0xFE03, kFileRecord = 0xFE04, kEnd = 0xFE07;
constexpr uint16_t kPlayOpen = 0x50AA, kPlayPause = 0x50A1, kPlayNormal = 0x50A2;
constexpr uint16_t kAudioTypeInPlayback = 10;
constexpr int kPlaybackFrameMs = 40;
constexpr int kZeroPackets = 3;

std::string nameAt(const uint8_t* p, size_t span) {
  size_t n = 0;
  while (n < span && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

bool findFile(MediaState& m, const std::string& name, StoredFile& out) {
  std::lock_guard<std::mutex> lk(m.mutex);
  for (const auto& f : m.files)
    if (f.name == name) {
      out = f;
      return true;
    }
  return false;
}

bool send(Connection& c, uint16_t code, uint16_t status, const std::vector<uint8_t>& payload,
          int lengthField = -1) {
  Bytes msg = message(code, status, payload);
  if (lengthField >= 0) put16(msg.data() + 6, static_cast<uint16_t>(lengthField));
  return c.write(msg.data(), msg.size());
}

}  // namespace

void serveSearch(Camera::State& st, Connection& c, const Header&) {
  MediaState& m = mediaOf(st);
  Bytes req{};
  if (!st.readMessage(c, req) || Header::parse(req.data()).code != kSearch) return;
  if (Header::parse(req.data()).length != kSearchLength) {
    send(c, kSearchReply, 0, {});
    idleUntilClosed(st, c);
    return;
  }
  std::vector<StoredFile> files;
  {
    std::lock_guard<std::mutex> lk(m.mutex);
    m.conditions.emplace_back(req.begin() + kHeaderSize, req.begin() + kHeaderSize + 144);
    files = m.files;
  }
  st.changed.notify_all();
  const FileFault fault = m.take(m.fileFault);
  if (fault == FileFault::Refuse) {
    send(c, kSearchReply, 0, {});
    idleUntilClosed(st, c);
    return;
  }
  if (!send(c, kSearchReply, 1, {})) return;
  for (const auto& f : files)
    if (!send(c, kFileRecord, 1, Media::fileRecord(f))) return;
  if (!send(c, kEnd, 1, {})) return;
  // A record behind the end mark: the client reads on after the end mark.
  if (fault == FileFault::RecordAfterEnd && !files.empty())
    send(c, kFileRecord, 1, Media::fileRecord(files.front()));
  idleUntilClosed(st, c);
}

void serveDownload(Camera::State& st, Connection& c, const Header&) {
  MediaState& m = mediaOf(st);
  Bytes req{};
  if (!st.readMessage(c, req) || Header::parse(req.data()).code != kDownload) return;
  const std::string name = nameAt(req.data() + kHeaderSize + 4, 128);
  StoredFile file;
  const FileFault fault = m.take(m.fileFault);
  if (fault == FileFault::Refuse || Header::parse(req.data()).length != kDownloadLength ||
      !findFile(m, name, file)) {
    send(c, kDownloadReply, 0, {});
    idleUntilClosed(st, c);
    return;
  }
  std::vector<uint8_t> info(132, 0);
  put32(info.data(), static_cast<uint32_t>(file.bytes.size()));
  std::copy_n(file.name.begin(), std::min<size_t>(file.name.size(), 127), info.begin() + 4);
  if (!send(c, kDownloadReply, 1, info)) return;
  for (size_t off = 0; off < file.bytes.size(); off += kPayloadSize) {
    const size_t n = std::min(kPayloadSize, file.bytes.size() - off);
    std::vector<uint8_t> piece(file.bytes.begin() + off, file.bytes.begin() + off + n);
    // The fault announces more than a message holds on the first piece.
    const int lengthField = fault == FileFault::PayloadOver532 && off == 0 ? 600 : -1;
    if (!send(c, kFileData, 1, piece, lengthField)) return;
  }
  if (!send(c, kEnd, 1, info)) return;
  idleUntilClosed(st, c);
}

namespace {

struct PlaybackSession {
  PlaybackSession(Camera::State& s, Connection& conn, MediaState& ms) : st(s), c(conn), m(ms) {}
  Camera::State& st;
  Connection& c;
  MediaState& m;
  StoredFile file;
  bool playing = false;
  bool paused = false;
  size_t next = 0;
  uint32_t stamp = 0;
  FileFault fault = FileFault::None;

  bool packet(uint16_t status, uint32_t whole, const uint8_t* data, size_t n, uint16_t type,
              const MediaFrame* f) {
    uint8_t p[kPacketSize] = {};
    put16(p, kMagic);
    put16(p + 2, status);
    put32(p + 12, stamp);
    put32(p + 16, whole);
    put16(p + 22, static_cast<uint16_t>(n));
    if (f) {
      put16(p + 24, f->width);
      put16(p + 26, f->height);
      put16(p + 30, f->key ? kKeyFlagKey : kKeyFlagOther);
    }
    put16(p + 28, type);
    put32(p + 32, file.start + stamp / 25);
    put32(p + 36, (stamp % 25) * 40000);
    if (n) std::copy(data, data + n, p + kPacketHeaderSize);
    return c.write(p, sizeof p);
  }

  bool sendFrame(const MediaFrame& f, size_t per) {
    ++stamp;
    const auto whole = static_cast<uint32_t>(f.data.size());
    for (size_t off = 0; off < f.data.size(); off += per) {
      const size_t n = std::min(per, f.data.size() - off);
      if (!packet(0, whole, f.data.data() + off, n, f.codec, &f)) return false;
      if (off == 0 && fault == FileFault::DataLengthZero) {
        fault = FileFault::None;
        for (int i = 0; i < kZeroPackets; ++i)
          if (!packet(0, whole, nullptr, 0, f.codec, &f)) return false;
      }
    }
    return true;
  }

  // Handles one request; false when the connection is gone.
  bool request(const Bytes& msg) {
    const Header h = Header::parse(msg.data());
    if (h.code != kPlayback) return true;
    {
      std::lock_guard<std::mutex> lk(m.mutex);
      m.playbackArgs.push_back(h.argument);
    }
    st.changed.notify_all();
    if (h.argument == kPlayPause) paused = true;
    if (h.argument == kPlayNormal) paused = false;
    if (h.argument != kPlayOpen) return true;
    paused = false;
    next = 0;
    fault = m.take(m.fileFault);
    playing = h.length == kPlaybackLength &&
              findFile(m, nameAt(msg.data() + kHeaderSize + 8, 128), file) &&
              fault != FileFault::Refuse;
    if (!playing) return packet(kServerFull, 0, nullptr, 0, 0, nullptr);
    return true;
  }
};

}  // namespace

void servePlayback(Camera::State& st, Connection& c, const Header&) {
  PlaybackSession ps(st, c, mediaOf(st));
  // Ends when the peer goes or the emulator stops.
  while (!st.stopping.load()) {
    const bool sending = ps.playing && !ps.paused;
    const plat::WaitResult r = plat::waitReadable(c.sock.fd(), sending ? 0 : 50, &st.wake);
    if (r == plat::WaitResult::Ready) {
      Bytes msg{};
      if (!st.readMessage(c, msg) || !ps.request(msg)) return;
      continue;
    }
    if (r != plat::WaitResult::Timeout || !sending) continue;
    size_t per;
    int audioEvery;
    {
      std::lock_guard<std::mutex> lk(ps.m.mutex);
      per = ps.m.packetData;
      audioEvery = ps.m.playbackAudioEvery;
    }
    if (ps.next >= ps.file.frames.size()) {
      ps.playing = false;
      if (!ps.packet(kServerFull, 0, nullptr, 0, 0, nullptr)) return;  // end of the file
      continue;
    }
    if (!ps.sendFrame(ps.file.frames[ps.next], per)) return;
    ++ps.next;
    bool audio = false;
    {
      std::lock_guard<std::mutex> lk(ps.m.mutex);
      ++ps.m.playbackFrames;
      audio = audioEvery > 0 && ps.next % static_cast<size_t>(audioEvery) == 0;
      if (audio) ++ps.m.playbackAudio;
    }
    if (audio) {
      uint32_t phase = 0;
      const std::vector<uint8_t> tone = toneBlock(kAudioTypeInPlayback, phase);
      if (!ps.packet(0, static_cast<uint32_t>(tone.size()), tone.data(), tone.size(),
                     kAudioTypeInPlayback, nullptr))
        return;
    }
    st.changed.notify_all();
    if (!st.pause(kPlaybackFrameMs)) return;
  }
}

}  // namespace camemu
