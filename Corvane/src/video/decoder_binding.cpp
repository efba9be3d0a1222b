#include "video/decoder_binding.h"

#include <mutex>

#include "plat/library.h"

namespace corvane {
namespace {

std::mutex g_mutex;
void* g_h264Module = nullptr;
void* g_mpeg4Module = nullptr;
DecoderEntries g_entries;

void bind(const char* file, const char* name, void** module, CTDecEntry* entry) {
  if (*module) return;
  *module = plat::openLibrary(file);
  if (*module) *entry = reinterpret_cast<CTDecEntry>(plat::librarySymbol(*module, name));
}

}  // namespace

DecoderEntries LoadDecoders() {
  std::lock_guard<std::mutex> lk(g_mutex);
  bind(kCTdec264Library, kCTdec264Entry, &g_h264Module, &g_entries.h264);
  bind(kCTMp4DecLibrary, kCTMp4DecEntry, &g_mpeg4Module, &g_entries.mpeg4);
  return g_entries;
}

}  // namespace corvane
