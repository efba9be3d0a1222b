#pragma once
// What a renderer asks of its owner (the live stream): whether an OSD hook is set and, if
// so, to call it with the record and the picture size.
#include "Corvane/osd.h"

namespace corvane {

class OsdHookOwner {
 public:
  virtual ~OsdHookOwner() = default;
  // False when no hook is set; otherwise calls it and returns true.
  virtual bool callOsdHook(IpcOsdItems* items, int width, int height) = 0;
};

}  // namespace corvane
