#include "talk.h"

#include <vector>

#include "audio_codec.h"
#include "plat/audio.h"
#include "plat/bytes.h"
#include "stream_format.h"

namespace streamplay {

namespace {
constexpr size_t kCaptureBlockBytes = 320;  // 20 ms of 8 kHz 16-bit mono

plat::AudioFormat talkFormat() {
  plat::AudioFormat f;
  f.channels = 1;
  f.bitsPerSample = 16;
  f.samplesPerSecond = kAudioRate;
  return f;
}
}  // namespace

Talk& talk() {
  static Talk t;
  return t;
}

Talk::~Talk() { close(); }

bool Talk::open(SPlayTalkCallBack callback, uint32_t value1, uint32_t value2) {
  if (!callback) return false;
  std::unique_ptr<plat::AudioInput> old;
  {
    std::lock_guard<std::mutex> lock(mu_);
    callback_ = callback;
    value1_ = value1;
    value2_ = value2;
    old = std::move(in_);
    if (!out_) out_ = plat::AudioOutput::open(talkFormat());
  }
  old.reset();
  auto in = plat::AudioInput::open(talkFormat(), kCaptureBlockBytes,
                                   [this](const uint8_t* d, size_t n) { captured(d, n); });
  if (in) in->start();
  std::lock_guard<std::mutex> lock(mu_);
  in_ = std::move(in);
  return true;
}

void Talk::captured(const uint8_t* pcm, size_t bytes) {
  std::vector<uint8_t> coded;
  coded.reserve(bytes / 2);
  for (size_t i = 0; i + 1 < bytes; i += 2)
    coded.push_back(linearToMulaw(plat::getLeS16(pcm + i)));
  feedCapture(coded.data(), static_cast<uint32_t>(coded.size()));
}

int Talk::feedCapture(const uint8_t* data, uint32_t length) {
  SPlayTalkCallBack cb;
  {
    std::lock_guard<std::mutex> lock(mu_);
    cb = callback_;
  }
  if (!cb) return -1;
  // The first value names the coding of the block, the second is the caller's.
  return cb(data, length, kAudioMulaw, value2_);
}

bool Talk::input(const uint8_t* data, uint32_t length, uint32_t codec, uint32_t) {
  if (!data && length) return false;
  const std::vector<int16_t> pcm =
      decodeAudio(codec ? static_cast<uint8_t>(codec) : static_cast<uint8_t>(kAudioMulaw), data, length);
  std::lock_guard<std::mutex> lock(mu_);
  if (!callback_ || !out_) return false;
  if (pcm.empty()) return true;
  return out_->write(pcm.data(), pcm.size() * sizeof(int16_t));
}

bool Talk::close() {
  std::unique_ptr<plat::AudioInput> in;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!callback_) return false;
    callback_ = nullptr;
    in = std::move(in_);
    out_.reset();
  }
  in.reset();  // waits for a running capture callback
  return true;
}

}  // namespace streamplay
