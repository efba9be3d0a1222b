#pragma once
// A recording played from disk as it plays: frames are read through a small window that
// moves along the file, and only the video key frames are remembered (thinned to a fixed
// number), so memory stays the same whatever the file's length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream_format.h"

namespace streamplay {

class FileSource {
 public:
  // Scans the whole file once (frame count, key frames, stream header). Null when it cannot
  // be read or holds no frame.
  static std::unique_ptr<FileSource> Open(const std::string& path);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // The next frame (its offset is the payload's place in the file); false at the end.
  bool next(FrameRef& frame, std::vector<uint8_t>& payload);
  // Reads on from the file offset of a frame header (or a place the scan started from).
  void seek(uint64_t offset);
  // The remembered key frame at or before frame `number` (a frame count from the start):
  // where to read from and that frame's number. The start of the file when none.
  void keyFrameBefore(uint64_t number, uint64_t& offset, uint64_t& frame) const;

  uint64_t frames() const { return frames_; }
  const StreamInfo& info() const { return info_; }

 private:
  explicit FileSource(int fd) : fd_(fd) {}
  bool fill();

  struct Mark {
    uint64_t offset;  // of the frame header
    uint64_t frame;
  };
  int fd_;
  uint64_t frames_ = 0;
  StreamInfo info_;
  std::vector<Mark> marks_;
  uint64_t markEvery_ = 1;  // every n-th key frame is remembered
  std::vector<uint8_t> buf_;
  uint64_t bufStart_ = 0;  // file offset of buf_[0]
  size_t pos_ = 0;
  bool eof_ = false;
};

}  // namespace streamplay
