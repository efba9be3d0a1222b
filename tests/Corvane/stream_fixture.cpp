#include "stream_fixture.h"

#include <filesystem>
#include <fstream>
#include <map>

#include "plat/surface.h"
#include "support/ShownFrame.h"

namespace cvtest {

const clipgen::Clip& testClip(clipgen::Codec codec) {
  static std::mutex m;
  static std::map<clipgen::Codec, clipgen::Clip> clips;
  std::lock_guard<std::mutex> lk(m);
  auto it = clips.find(codec);
  if (it == clips.end()) {
    clipgen::Options o;
    o.codec = codec;
    o.frames = 25;
    clipgen::Clip clip;
    std::string error;
    EXPECT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    it = clips.emplace(codec, std::move(clip)).first;
  }
  return it->second;
}

std::vector<camemu::MediaFrame> framesOf(const clipgen::Clip& clip) {
  std::vector<camemu::MediaFrame> out;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = clip.frameBytes(i);
    f.codec = clip.codec == clipgen::Codec::H264 ? 2 : 1;
    f.key = clip.frames[i].key;
    f.width = static_cast<uint16_t>(clip.width);
    f.height = static_cast<uint16_t>(clip.height);
    out.push_back(std::move(f));
  }
  return out;
}

int threadCount() {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)e;
    ++n;
  }
  return n;
}

int threadsNamed(const std::string& name) {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(e.path() / "comm");
    std::string line;
    if (std::getline(comm, line) && line == name) ++n;
  }
  return n;
}

void FrameLog::hook(const uint8_t* data, int length, int codec, uint32_t seconds,
                    uint32_t microseconds, uint32_t stamp, void* user) {
  auto* self = static_cast<FrameLog*>(user);
  HookFrame f{std::vector<uint8_t>(data, data + length), codec, seconds, microseconds, stamp};
  std::lock_guard<std::mutex> lk(self->m_);
  self->frames_.push_back(std::move(f));
  self->lastAt_ = std::chrono::steady_clock::now();
}

std::chrono::steady_clock::time_point FrameLog::lastAt() const {
  std::lock_guard<std::mutex> lk(m_);
  return lastAt_;
}

std::vector<HookFrame> FrameLog::frames() const {
  std::lock_guard<std::mutex> lk(m_);
  return frames_;
}

size_t FrameLog::size() const {
  std::lock_guard<std::mutex> lk(m_);
  return frames_.size();
}

int HeadlessWindow::presentedIndex() const { return testsupport::ShownFrameNumber(handle); }

}  // namespace cvtest
