#pragma once
// Decodes the video of a local file. H.264 and MPEG-4 go through the decoder libraries,
// loaded by name at run time as the live players load them; other codecs libavcodec
// decodes itself, when it gives planar 4:2:0 pictures.
#include <cstdint>
#include <memory>

#include "localplay/Picture.h"

struct AVCodecParameters;

namespace hollin::localplay {

class VideoDecoder {
 public:
  // Null when no decoder serves the codec.
  static std::unique_ptr<VideoDecoder> Create(const AVCodecParameters* params);
  virtual ~VideoDecoder() = default;
  // One packet in; true when it gave a picture (time left for the caller to set).
  virtual bool Decode(const uint8_t* data, uint32_t length, Picture& out) = 0;
  // Forgets every reference picture (after a seek).
  virtual void Reset() = 0;
};

}  // namespace hollin::localplay
