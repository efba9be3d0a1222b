#pragma once
// The decoder libraries, loaded by name at run time and driven through their one entry.
#include <cstdint>

#include "picture.h"

namespace streamplay {

class Decoder {
 public:
  Decoder() = default;
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Decodes one frame of the codec (VideoCodec); true when it produced a picture.
  bool decode(uint8_t codec, const uint8_t* data, uint32_t length, Picture& out);
  void close();

 private:
  uint8_t codec_ = 0;
  intptr_t handle_ = 0;
  void (*entry_)(int, void*, void*) = nullptr;
};

}  // namespace streamplay
