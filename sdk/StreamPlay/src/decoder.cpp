#include "decoder.h"

#include <new>

#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ctdec/ctdec.h"
#include "plat/log.h"
#include "stream_format.h"

namespace streamplay {

namespace {
// The largest picture side the player keeps (a 4:2:0 picture of 8192 x 8192 is 96 MiB).
constexpr int kMaxPictureSide = 8192;
}  // namespace

namespace {
// The decoder libraries lie beside the player library; they are looked for there first, so
// the search does not depend on who calls dlopen (sanitizer runtimes intercept it).
void* openBeside(const char* lib) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&openBeside), &info) && info.dli_fname) {
    std::string path = info.dli_fname;
    const size_t cut = path.find_last_of('/');
    if (cut != std::string::npos) {
      path = path.substr(0, cut + 1) + lib;
      if (void* h = dlopen(path.c_str(), RTLD_NOW)) return h;
    }
  }
  return dlopen(lib, RTLD_NOW);
}

CTDecEntry loadEntry(uint8_t codec) {
  static std::mutex mu;
  static CTDecEntry entries[3] = {};
  static bool tried[3] = {};
  if (codec != kVideoH264 && codec != kVideoMpeg4) return nullptr;
  std::lock_guard<std::mutex> lock(mu);
  if (!tried[codec]) {
    tried[codec] = true;
    const char* lib = codec == kVideoH264 ? kCTdec264Library : kCTMp4DecLibrary;
    const char* name = codec == kVideoH264 ? kCTdec264Entry : kCTMp4DecEntry;
    void* h = openBeside(lib);
    if (!h) {
      PLAT_LOGW("StreamPlay", "decoder library %s not loaded: %s", lib, dlerror());
      return nullptr;
    }
    entries[codec] = reinterpret_cast<CTDecEntry>(dlsym(h, name));
  }
  return entries[codec];
}
}  // namespace

Decoder::~Decoder() { close(); }

void Decoder::close() {
  if (entry_ && handle_) {
    DecoderHandleBlock block{handle_, nullptr, 0};
    entry_(CTDEC_CLOSE, &block, nullptr);
  }
  handle_ = 0;
  entry_ = nullptr;
  codec_ = 0;
}

bool Decoder::decode(uint8_t codec, const uint8_t* data, uint32_t length, Picture& out) {
  if (codec != codec_) {
    close();
    CTDecEntry e = loadEntry(codec);
    if (!e) return false;
    DecoderHandleBlock block{0, nullptr, 0};
    e(CTDEC_OPEN, &block, nullptr);
    if (!block.handle) return false;
    entry_ = reinterpret_cast<void (*)(int, void*, void*)>(e);
    handle_ = block.handle;
    codec_ = codec;
  }
  bool got = false;
  uint32_t done = 0;
  // A frame normally is one access unit; the loop takes whatever else it holds.
  for (int guard = 0; done < length && guard < 64; ++guard) {
    DecoderHandleBlock block{handle_, data + done, length - done};
    DecoderOutput o{};
    reinterpret_cast<CTDecEntry>(entry_)(CTDEC_DECODE, &block, &o);
    if (o.pictureReady > 0 && o.width > 0 && o.height > 0 && o.y && o.u && o.v) {
      const int w = o.width & ~1, h = o.height & ~1;
      if (w > kMaxPictureSide || h > kMaxPictureSide) {
        PLAT_LOGW("StreamPlay", "picture of %d x %d refused: larger than the player shows", w, h);
        return false;
      }
      // The decoder's own picture is kept as it lies; only a decoder that cannot keep its
      // pictures has them copied.
      Picture pic;
      pic.width = w;
      pic.height = h;
      pic.planes = plat::I420Planes{o.y, o.u, o.v, o.yStride, o.uStride, o.vStride, w, h};
      intptr_t hold = 0;
      reinterpret_cast<CTDecEntry>(entry_)(CTDEC_HOLD, &block, &hold);
      if (hold) {
        const CTDecEntry entry = reinterpret_cast<CTDecEntry>(entry_);
        pic.keep = std::shared_ptr<const void>(reinterpret_cast<const void*>(hold), [entry](const void* p) {
          DecoderHandleBlock none{};
          intptr_t h = reinterpret_cast<intptr_t>(p);
          entry(CTDEC_RELEASE, &none, &h);
        });
      } else {
        std::shared_ptr<std::vector<uint8_t>> copy;
        try {
          copy = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(w) * h * 3 / 2);
        } catch (const std::bad_alloc&) {
          PLAT_LOGW("StreamPlay", "no memory for a picture of %d x %d", w, h);
          return false;
        }
        uint8_t* dst = copy->data();
        pic.planes = plat::I420Planes::packed(dst, dst + w * h, dst + w * h + (w / 2) * (h / 2), w, h);
        for (int r = 0; r < h; ++r, dst += w) std::memcpy(dst, o.y + r * o.yStride, w);
        for (int r = 0; r < h / 2; ++r, dst += w / 2) std::memcpy(dst, o.u + r * o.uStride, w / 2);
        for (int r = 0; r < h / 2; ++r, dst += w / 2) std::memcpy(dst, o.v + r * o.vStride, w / 2);
        pic.keep = std::move(copy);
      }
      out = std::move(pic);
      got = true;
    }
    if (o.bytesConsumed <= 0) break;
    done += static_cast<uint32_t>(o.bytesConsumed);
  }
  return got;
}

}  // namespace streamplay
