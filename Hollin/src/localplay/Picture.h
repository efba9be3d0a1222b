#pragma once
// One decoded picture of a local file: I420 planes (Y, then U, then V) and its time.
#include <cstdint>
#include <vector>

namespace hollin::localplay {

struct Picture {
  int width = 0;   // even
  int height = 0;  // even
  double time = 0;  // seconds from the start of the file
  std::vector<uint8_t> i420;
  bool valid() const { return width > 0 && height > 0 && !i420.empty(); }
};

}  // namespace hollin::localplay
