#include "shell/Language.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "LangEng.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/LocalSettings.h"
#include "shell/QtTexts.h"
#include "shell/StringIds.h"

const char16_t* BuiltinStringTable(uint32_t id);  // generated from the strings file

namespace {

using Lookup = const char16_t* (*)(uint32_t);

// Read by LoadResString on any thread; written on the UI thread only (start-up, login
// dialog), so atomics suffice.
std::atomic<Lookup> g_lookup{nullptr};
std::atomic<uint16_t> g_languageId{LANGUAGE_ID_CHINESE};
void* g_library = nullptr;  // guarded by g_stateMutex
std::mutex g_stateMutex;
std::function<uint16_t()> g_systemLang;
std::string g_libraryPath;

std::string libraryPath() {
  if (!g_libraryPath.empty()) return g_libraryPath;
  std::string exe = plat::programFilePath();
  size_t slash = exe.rfind('/');
  return (slash == std::string::npos ? std::string() : exe.substr(0, slash + 1)) +
         LANGENG_LIBRARY_NAME;
}

void loadLibraryLocked() {
  void* lib = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  // Beside the program first, then wherever the loader finds it by name.
  if (!lib && g_libraryPath.empty()) lib = dlopen(LANGENG_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    // Not reported to the user: texts simply come from the program's own table.
    PLAT_LOGW("language", "library not loaded: %s", dlerror());
    return;
  }
  auto fn = reinterpret_cast<Lookup>(dlsym(lib, LANGENG_ENTRY_NAME));
  if (!fn) {
    PLAT_LOGW("language", "library lacks its entry %s", LANGENG_ENTRY_NAME);
    dlclose(lib);
    return;
  }
  g_library = lib;
  g_lookup.store(fn);
}

void freeLibraryLocked() {
  g_lookup.store(nullptr);
  if (g_library) {
    dlclose(g_library);
    g_library = nullptr;
  }
}

uint16_t langIdFromLocale(std::string_view loc) {
  // "zh_CN.UTF-8", "en_US", "fr_FR@euro", "C", "POSIX" ...
  std::string_view lang = loc.substr(0, loc.find_first_of("_.@"));
  struct Known {
    std::string_view code;
    uint16_t id;
  };
  static constexpr Known known[] = {{"zh", 0x0804}, {"en", 0x0409}, {"fr", 0x040C},
                                    {"de", 0x0407}, {"ja", 0x0411}, {"ko", 0x0412},
                                    {"es", 0x0C0A}, {"it", 0x0410}, {"ru", 0x0419},
                                    {"pt", 0x0816}};
  for (const auto& k : known)
    if (lang == k.code) return k.id;
  return 0x0409;
}

}  // namespace

uint16_t GetSystemDefaultLangId() {
  {
    std::lock_guard<std::mutex> lk(g_stateMutex);
    if (g_systemLang) return g_systemLang();
  }
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* v = std::getenv(var); v && *v) return langIdFromLocale(v);
  return 0x0409;
}

void SelectLanguage() {
  CLocalSettings* settings = CLocalSettings::GetInstance();
  int langSetting = settings->GetLangID();
  bool english;
  if (langSetting == 1)
    english = true;
  else if (langSetting == 0)
    english = false;
  else
    english = (GetSystemDefaultLangId() & 0x3FF) != LANGUAGE_ID_CHINESE;

  SetQtTextsLanguage(english);
  std::lock_guard<std::mutex> lk(g_stateMutex);
  if (english) {
    settings->SetLangID(1);
    if (!g_library && !g_lookup.load()) loadLibraryLocked();
    g_languageId.store(LANGUAGE_ID_ENGLISH);
  } else {
    settings->SetLangID(0);
    freeLibraryLocked();  // a library left from an earlier English choice must not answer
    g_languageId.store(LANGUAGE_ID_CHINESE);
  }
}

uint16_t GetLanguageId() { return g_languageId.load(); }

std::u16string LoadResString(uint32_t id) {
  if (Lookup fn = g_lookup.load()) {
    if (const char16_t* text = fn(id); text && *text) return text;
  }
  const char16_t* own = BuiltinStringTable(id);
  return own ? std::u16string(own) : std::u16string();
}

std::u16string TextWithPath(uint32_t id, const std::u16string& path) {
  return LoadResString(id) + LoadResString(IDS_PATH_SEPARATOR) + plat::utf8ToUtf16(plat::toNativePath(path));
}

void FreeLanguageLibrary() {
  std::lock_guard<std::mutex> lk(g_stateMutex);
  freeLibraryLocked();
}

void SetSystemLangIdProvider(std::function<uint16_t()> provider) {
  std::lock_guard<std::mutex> lk(g_stateMutex);
  g_systemLang = std::move(provider);
}

void SetLanguageLibraryPath(const std::string& path) {
  std::lock_guard<std::mutex> lk(g_stateMutex);
  g_libraryPath = path;
}

void SetLanguageLookupForTest(const char16_t* (*lookup)(uint32_t id)) {
  std::lock_guard<std::mutex> lk(g_stateMutex);
  freeLibraryLocked();
  g_lookup.store(lookup);
}
