#pragma once
// A recursive folder walk that reports every file to a callback and can be stopped from
// another thread (the local recording search runs on it). Folders may be given in the
// program's drive-letter form ("D:\\rec") or as native paths; files are reported in the
// same form, with the same separator.
#include <cstdint>
#include <string>

#include "plat/event.h"

class CFileFindEx {
 public:
  using Callback = void (*)(std::u16string path, uint32_t sizeLow32, void* user);

  CFileFindEx();
  virtual ~CFileFindEx();
  CFileFindEx(const CFileFindEx&) = delete;
  CFileFindEx& operator=(const CFileFindEx&) = delete;

  void SetCallback(Callback cb, void* user);
  // Never reset: every later walk of a stopped walker ends at its first entry.
  void Stop();
  // 1 when the walk ran to its end, 0 when it ended because Stop() was seen.
  int FindFiles(const std::u16string& folder);

 private:
  Callback callback_ = nullptr;
  void* user_ = nullptr;
  plat::Event stop_{true, false};
};
