#include "record/avi_recorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "plat/bytes.h"
#include "plat/log.h"
#include "plat/paths.h"

namespace corvane {
namespace {

constexpr int kMaxNameAttempts = 100;

bool isVideo(int type) { return type == kCodecMjpeg || type == kCodecMpeg4 || type == kCodecH264; }
bool isWrittenAudio(int type) {
  return type == 6 || type == 8 || type == 9 || type == 10 || type == 11 || type == 12;
}

struct AudioParams {
  uint16_t formatTag;
  uint32_t samplesPerSecond;
  uint16_t bitsPerSample;
};

AudioParams audioParamsFor(int type) {
  switch (type) {
    case 8: return {2, 8000, 16};
    case 9: return {310, 16000, 16};
    // mu-law blocks are 8-bit codes and type 6 is 16-bit PCM: the header says so, so
    // players take the stream at its true rate.
    case 10: return {7, 8000, 8};
    case 6: return {1, 8000, 16};
    default: return {1, 8000, 8};
  }
}

const char* compressorFor(int codec) {
  switch (codec) {
    case kCodecMjpeg: return "MJPG";
    case kCodecMpeg4: return "XVID";
    case kCodecH264: return "H264";
    default: return "\0\0\0\0";
  }
}

}  // namespace

std::array<uint8_t, kClosedFileRecordSize> encodeClosedFileRecord(const ClosedFileInfo& info) {
  std::array<uint8_t, kClosedFileRecordSize> r{};
  plat::putLe32(r.data() + 0, 0);
  plat::putLe32(r.data() + 4, info.startTime);
  plat::putLe32(r.data() + 8, info.endTime);
  plat::putLe32(r.data() + 12, info.bytes);
  size_t n = std::min(info.fileName.size(), kRecordFileNameSize - 1);
  std::memcpy(r.data() + 16, info.fileName.data(), n);
  return r;
}

AviRecorder::AviRecorder() {
  clock_.unixTime = [] { return static_cast<uint32_t>(std::time(nullptr)); };
}

AviRecorder::~AviRecorder() { Shutdown(); }

void AviRecorder::SetClosedFileHook(ClosedFileHook hook) {
  std::unique_lock<std::mutex> lock(mutex_);
  closedHook_ = std::move(hook);
  hookCalls_.waitIdle(lock);
}
void AviRecorder::SetOsdHook(OsdHook hook) {
  std::unique_lock<std::mutex> lock(mutex_);
  osdHook_ = std::move(hook);
  hookCalls_.waitIdle(lock);
}
void AviRecorder::SetFailureHook(FailureHook hook) {
  std::unique_lock<std::mutex> lock(mutex_);
  failureHook_ = std::move(hook);
  hookCalls_.waitIdle(lock);
}
void AviRecorder::SetClock(RecordClock clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!clock.unixTime) clock.unixTime = clock_.unixTime;
  clock_ = std::move(clock);
}
void AviRecorder::SetSizeLimit(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  sizeLimit_ = bytes;
}
void AviRecorder::SetWriterOptions(AviWriterOptions options) {
  std::lock_guard<std::mutex> lock(mutex_);
  writerOptions_ = std::move(options);
}

bool AviRecorder::IsRecording() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writer_ != nullptr;
}
std::string AviRecorder::FileName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fileName_;
}
int AviRecorder::FileIndex() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fileIndex_;
}

int AviRecorder::StartRecord(const std::string& baseName) {
  std::unique_lock<std::mutex> lock(mutex_);
  generation_++;
  fileIndex_ = 1;
  return OpenRecordFile(lock, baseName) ? 1 : 0;
}

int AviRecorder::StopRecord() {
  std::unique_lock<std::mutex> lock(mutex_);
  generation_++;
  return CloseRecordFile(lock);
}

void AviRecorder::Shutdown() {
  std::unique_lock<std::mutex> lock(mutex_);
  generation_++;
  CloseRecordFile(lock);
  closedHook_ = nullptr;
  osdHook_ = nullptr;
  failureHook_ = nullptr;
  hookCalls_.waitIdle(lock);
}

std::string AviRecorder::pickFileName(const std::string& baseName, int attempt) const {
  plat::LocalTime t = clock_.localTime();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  std::string name = baseName + stamp;
  if (attempt > 1) name += "_" + std::to_string(attempt);
  return name + ".avi";
}

bool AviRecorder::OpenRecordFile(std::unique_lock<std::mutex>& lock,
                                 const std::string& baseName, const std::string& replaceable) {
  baseName_ = baseName;
  if (writer_) CloseRecordFile(lock);
  // Two files begun within one second would share a name: never replace one that exists
  // (it may be a recording already announced); number the newcomer instead. Only the empty
  // file just closed may be replaced: nothing of it is lost.
  AviWriterOptions options = writerOptions_;
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::string name = pickFileName(baseName, attempt);
    options.exclusive = name != replaceable;
    if (name.size() >= kRecordFileNameSize) {
      PLAT_LOGW("Corvane", "record file name too long: %s", name.c_str());
      return false;
    }
    int error = 0;
    writer_ = AviWriter::Open(plat::toNativePath(name), options, &error);
    if (writer_) {
      fileName_ = name;
      break;
    }
    if (error != EEXIST) {
      PLAT_LOGW("Corvane", "cannot create %s: %s", name.c_str(), std::strerror(error));
      return false;
    }
  }
  if (!writer_) return false;
  startTime_ = clock_.unixTime();
  startTick_ = clock_.tickMs();
  checkpointTick_ = startTick_;
  frames_ = 0;
  bytes_ = 0;
  if (OsdHook osd = osdHook_) hookCalls_.run(lock, [&] { osd(true); });
  return true;
}

void AviRecorder::describeFile() {
  AudioParams audio = audioParamsFor(audioType_);
  uint32_t elapsed = (clock_.tickMs() - startTick_) / 1000;
  if (elapsed < 1) elapsed = 1;
  uint32_t rate = frames_ / elapsed;
  double frameRate = rate > 1 ? static_cast<double>(rate) : 1.0;
  writer_->SetVideo(width_, height_, frameRate, compressorFor(codec_));
  writer_->SetAudio(1, audio.samplesPerSecond, audio.bitsPerSample, audio.formatTag);
}

void AviRecorder::checkpoint(std::unique_lock<std::mutex>& lock, bool due) {
  const uint32_t now = clock_.tickMs();
  if (!due && now - checkpointTick_ < kRecordCheckpointMs) return;
  checkpointTick_ = now;
  describeFile();
  if (writer_->Checkpoint() != 0) endOnDiskError(lock);
}

int AviRecorder::endOnDiskError(std::unique_lock<std::mutex>& lock) {
  const int error = writer_->diskError() ? writer_->diskError() : EIO;
  PLAT_LOGW("Corvane", "recording %s ended: %s", fileName_.c_str(), std::strerror(error));
  generation_++;
  CloseRecordFile(lock);
  if (FailureHook failed = failureHook_) hookCalls_.run(lock, [&] { failed(error); });
  return 0;
}

int AviRecorder::CloseRecordFile(std::unique_lock<std::mutex>& lock) {
  if (!writer_) return 0;
  describeFile();
  int closed = AviWriter::Close(std::move(writer_));
  if (closed != 0) PLAT_LOGW("Corvane", "could not finish %s", fileName_.c_str());

  ClosedFileInfo info;
  info.startTime = startTime_;
  info.endTime = clock_.unixTime();
  info.bytes = bytes_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes_);
  info.fileName = fileName_;
  auto record = encodeClosedFileRecord(info);
  ClosedFileHook closedHook = closedHook_;
  OsdHook osdHook = osdHook_;
  if (closedHook || osdHook)
    hookCalls_.run(lock, [&] {
      if (closedHook) closedHook(record.data(), record.size());
      if (osdHook) osdHook(false);
    });
  return closed == 0 ? 1 : 0;
}

int AviRecorder::WriteRecordFrame(const void* data, uint32_t length, int type, int keyFlag,
                                  int width, int height) {
  std::unique_lock<std::mutex> lock(mutex_);
  // Another writer is switching files (its hooks run unlocked): this frame waits for the
  // next file rather than being dropped.
  const auto self = std::this_thread::get_id();
  switched_.wait(lock, [&] { return switcher_ == std::thread::id{} || switcher_ == self; });
  if (!writer_) return 0;
  bool firstFrame = false;
  if (isVideo(type)) {
    const bool key = keyFlag == 0;
    // The stored picture starts as none: the first frame of a recording is a change too,
    // which closes and announces the file just opened, empty, and opens the next.
    const bool changed = type != codec_ || width != width_ || height != height_;
    if (changed || (bytes_ > sizeLimit_ && key)) {
      const uint32_t generation = generation_;
      switcher_ = self;
      struct SwitchDone {
        AviRecorder* r;
        ~SwitchDone() {
          r->switcher_ = {};
          r->switched_.notify_all();
        }
      } switchDone{this};
      const std::string closedName = bytes_ == 0 ? fileName_ : std::string();
      CloseRecordFile(lock);
      codec_ = static_cast<int16_t>(type);
      width_ = static_cast<uint16_t>(width);
      height_ = static_cast<uint16_t>(height);
      if (generation != generation_) {
        // The closed file's hook (or another thread) stopped or restarted the recording:
        // that stands, and a restarted recording takes this frame into its own new file.
        if (!writer_) return 0;
      } else {
        fileIndex_++;
        // The new file's hook may have stopped it again.
        if (!OpenRecordFile(lock, baseName_, closedName) || !writer_) return 0;
      }
    }
    if (frames_ == 0 && !key) return 1;  // a file starts with a key frame
    // A chunk refused for the file's size limit or for memory is not written, but counted:
    // only the disk failing ends the recording.
    if (writer_->WriteVideo(data, length, key) != 0 && writer_->diskError())
      return endOnDiskError(lock);
    firstFrame = frames_++ == 0;
  } else if (isWrittenAudio(type)) {
    audioType_ = static_cast<int16_t>(type);
    if (writer_->WriteAudio(data, length) != 0 && writer_->diskError())
      return endOnDiskError(lock);
  }
  bytes_ += length;
  // The file's first frame gives the stream's codec and size: the header says them at once,
  // so a file cut short before the next checkpoint still opens in readers.
  checkpoint(lock, firstFrame);
  return 1;
}

}  // namespace corvane
