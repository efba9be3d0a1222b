#pragma once
// A file written under a name of its own beside the file it is to become, and put in that
// file's place with one rename only once it is whole: a transfer that fails, hangs or is
// stopped half way leaves whatever stood at the target as it was, and a reader never sees a
// half-written file under the target's name. The part is named
// "<target>.<six letters or digits>.part" in the target's folder, so the rename never crosses
// file systems and a folder listing shows the part beside the file it belongs to. A process
// that is killed or crashes leaves its part there.
#include <cstddef>
#include <string>

namespace plat {

// Writes all `size` bytes to the descriptor, going on after interruptions; false (errno set)
// when the disk refused some of them.
bool writeAll(int fd, const void* data, size_t size);

class PartFile {
 public:
  PartFile() = default;
  ~PartFile();  // removes a part that was not put in place
  PartFile(PartFile&& other) noexcept;
  PartFile& operator=(PartFile&& other) noexcept;
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Makes a new, empty part beside `target` and keeps it open for writing (a part this object
  // held before is removed). False, with errno set, when the folder does not take it.
  bool create(const std::string& target);
  bool active() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }  // where the bytes go meanwhile
  const std::string& target() const { return target_; }
  // The descriptor the part was made with (-1 when none): its bytes go through it, so the
  // part is never opened again by a name someone else could have replaced meanwhile.
  int fd() const { return fd_; }
  // Appends to the part; false (errno set) when the disk refused some of the bytes.
  bool write(const void* data, size_t size);
  // The part takes the target's place, its bytes on the disk before its name is, so a power
  // loss leaves the earlier file or the whole new one, never a short one. False (errno set)
  // when it cannot; the part is removed then as well. Either way the object holds no part
  // afterwards.
  bool commit();
  // The part is removed; the target is not touched.
  void discard();

 private:
  void release();  // forgets the part without touching the disk

  std::string path_;
  std::string target_;
  int fd_ = -1;
};

}  // namespace plat
