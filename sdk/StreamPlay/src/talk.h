#pragma once
// Talk: microphone blocks, coded as G.711 mu-law, go to the talk callback; received talk
// audio is played. One talk at a time in the process.
#include <cstdint>
#include <memory>
#include <mutex>

#include "StreamPlay.h"
#include "plat/audio.h"


namespace streamplay {

class Talk {
 public:
  bool open(SPlayTalkCallBack callback, uint32_t value1, uint32_t value2);
  bool input(const uint8_t* data, uint32_t length, uint32_t codec, uint32_t value2);
  bool close();
  // Hands an already coded block to the callback as if captured; -1 without a talk.
  int feedCapture(const uint8_t* data, uint32_t length);
  ~Talk();

 private:
  void captured(const uint8_t* pcm, size_t bytes);
  std::mutex mu_;
  SPlayTalkCallBack callback_ = nullptr;
  uint32_t value1_ = 0, value2_ = 0;
  std::unique_ptr<plat::AudioInput> in_;
  std::unique_ptr<plat::AudioOutput> out_;
};

Talk& talk();

}  // namespace streamplay
