#include "dvremu/stream.h"

#include <cmath>

#include "clipgen/clipgen.h"
#include "dvremu/wire.h"

namespace dvremu {

namespace {
constexpr uint32_t kStreamMagic = 0x4D525453;  // "STRM"
constexpr uint32_t kFrameMagic = 0x314D5246;   // "FRM1"
constexpr uint8_t kKindVideo = 1, kKindAudio = 2;
constexpr int kAudioRate = 8000;

uint8_t mulaw(int16_t s) {
  int sample = s;
  const int sign = sample < 0 ? 0x80 : 0;
  if (sample < 0) sample = -sample;
  if (sample > 32635) sample = 32635;
  sample += 0x84;
  int exponent = 7;
  for (int mask = 0x4000; (sample & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  return static_cast<uint8_t>(~(sign | exponent << 4 | ((sample >> (exponent + 3)) & 0x0F)));
}

StreamClip fromGenerated(const clipgen::Clip& c, bool audio) {
  StreamClip s;
  s.videoCodec = c.codec == clipgen::Codec::H264 ? 1 : 2;
  s.audioCodec = audio ? 1 : 0;
  s.width = static_cast<uint16_t>(c.width);
  s.height = static_cast<uint16_t>(c.height);
  s.fps = static_cast<uint16_t>(c.fps > 0 ? c.fps : 25);
  const uint32_t frameMs = 1000u / s.fps;
  for (size_t i = 0; i < c.frames.size(); ++i) {
    StreamFrame f;
    f.video = true;
    f.codec = s.videoCodec;
    f.key = c.frames[i].key;
    f.timestamp = static_cast<uint32_t>(i) * frameMs;
    f.bytes = c.frameBytes(i);
    s.frames.push_back(std::move(f));
    if (audio) {
      StreamFrame a;
      a.video = false;
      a.codec = 1;
      a.timestamp = f.timestamp;
      const int samples = kAudioRate * static_cast<int>(frameMs) / 1000;
      for (int k = 0; k < samples; ++k)
        a.bytes.push_back(mulaw(static_cast<int16_t>(8000 * std::sin(k * 2 * M_PI * 440 / kAudioRate))));
      s.frames.push_back(std::move(a));
    }
  }
  return s;
}
}  // namespace

std::vector<uint8_t> streamHeader(const StreamClip& clip) {
  std::vector<uint8_t> h(kStreamHeaderBytes, 0);
  put32(h.data(), kStreamMagic);
  put16(h.data() + 4, 1);
  h[6] = clip.videoCodec;
  h[7] = clip.audioCodec;
  put16(h.data() + 8, clip.width);
  put16(h.data() + 10, clip.height);
  put16(h.data() + 12, clip.fps);
  return h;
}

std::vector<uint8_t> frameBytes(const StreamFrame& f) {
  std::vector<uint8_t> out(kFrameHeaderBytes + f.bytes.size(), 0);
  put32(out.data(), kFrameMagic);
  out[4] = f.video ? kKindVideo : kKindAudio;
  out[5] = f.codec;
  out[6] = f.key ? 1 : 0;
  put32(out.data() + 8, f.timestamp);
  put32(out.data() + 12, static_cast<uint32_t>(f.bytes.size()));
  std::copy(f.bytes.begin(), f.bytes.end(), out.begin() + kFrameHeaderBytes);
  return out;
}

std::vector<uint8_t> streamFile(const StreamClip& clip) {
  std::vector<uint8_t> out = streamHeader(clip);
  for (const StreamFrame& f : clip.frames) {
    const auto b = frameBytes(f);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

bool generatedClip(bool mpeg4, int width, int height, int frames, int fps, bool audio,
                   StreamClip* out, std::string* error) {
  clipgen::Options o;
  o.codec = mpeg4 ? clipgen::Codec::Mpeg4 : clipgen::Codec::H264;
  o.width = width;
  o.height = height;
  o.frames = frames;
  o.fps = fps;
  clipgen::Clip c;
  if (!clipgen::generate(o, &c, error)) return false;
  *out = fromGenerated(c, audio);
  return true;
}

bool clipFromFile(const std::string& path, StreamClip* out, std::string* error) {
  clipgen::Clip c;
  if (!clipgen::readClip(path, &c, error)) return false;
  *out = fromGenerated(c, false);
  return true;
}

}  // namespace dvremu
