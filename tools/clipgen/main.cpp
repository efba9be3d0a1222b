// clipgen: writes a short test clip and its frame index.
//   clipgen [--codec h264|mpeg4] [--size WxH] [--frames N] [--fps N] [--gop N] [--preset NAME]
//           [--profile NAME] [--bitrate BPS] OUT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "clipgen/clipgen.h"

int main(int argc, char** argv) {
  clipgen::Options o;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--codec") {
      o.codec = std::strcmp(next(), "mpeg4") == 0 ? clipgen::Codec::Mpeg4 : clipgen::Codec::H264;
    } else if (a == "--size") {
      if (std::sscanf(next(), "%dx%d", &o.width, &o.height) != 2) {
        std::fprintf(stderr, "clipgen: --size takes WxH\n");
        return 2;
      }
    } else if (a == "--frames") {
      o.frames = std::atoi(next());
    } else if (a == "--fps") {
      o.fps = std::atoi(next());
    } else if (a == "--preset") {
      o.preset = next();
    } else if (a == "--gop") {
      o.gop = std::atoi(next());
    } else if (a == "--profile") {
      o.profile = next();
    } else if (a == "--bitrate") {
      o.bitrate = std::atoi(next());
    } else if (!a.empty() && a[0] != '-') {
      out = a;
    } else {
      std::fprintf(stderr, "usage: clipgen [--codec h264|mpeg4] [--size WxH] [--frames N] "
                           "[--fps N] [--gop N] [--preset NAME] [--profile NAME] [--bitrate BPS] OUT\n");
      return 2;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "clipgen: no output file\n");
    return 2;
  }
  clipgen::Clip clip;
  std::string error;
  if (!clipgen::generate(o, &clip, &error) || !clipgen::writeClip(clip, out, &error)) {
    std::fprintf(stderr, "clipgen: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu frames, %zu bytes\n", out.c_str(), clip.frames.size(), clip.data.size());
  return 0;
}
