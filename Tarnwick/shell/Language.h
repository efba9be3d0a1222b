#pragma once
// Language choice and the string loader. Every caption, label and message of the program
// is a string id; its text comes from the English language library when English is chosen
// and from the program's own (Chinese) table otherwise.
#include <cstdint>
#include <functional>
#include <string>

inline constexpr uint16_t LANGUAGE_ID_CHINESE = 4;
inline constexpr uint16_t LANGUAGE_ID_ENGLISH = 9;
// Pages load skin image N for Chinese and N + 10000 for English.
inline constexpr int ENGLISH_IMAGE_OFFSET = 10000;

// Chooses the language from the LangID setting (0 Chinese, 1 English, anything else the
// system's language) and loads the language library for English. Stores the resolved
// choice (0 or 1) in the settings object without saving it.
void SelectLanguage();
// 4 for Chinese, 9 for English.
uint16_t GetLanguageId();
// The text of a string id: the language library's when it has one, else the program's own
// table; the empty text when neither knows the id. Safe from any thread.
std::u16string LoadResString(uint32_t id);
// A notice naming a file: the text of `id`, a separator, and where the file is on this
// machine (a drive-letter path of the settings is mapped to its folder).
std::u16string TextWithPath(uint32_t id, const std::u16string& path);
// Frees the language library, if one is loaded.
void FreeLanguageLibrary();

// The system's default language id (primary language in the low 10 bits: 4 Chinese,
// 9 English, 12 French, 17 Japanese ...), taken from the locale environment.
uint16_t GetSystemDefaultLangId();

// Test seams: the system language, and the file the language library is loaded from
// (default: libLangEng.so beside the running executable). Empty function / path restores
// the default.
void SetSystemLangIdProvider(std::function<uint16_t()> provider);
void SetLanguageLibraryPath(const std::string& path);
// Installs a lookup in place of a loaded library (as if a library answering it were
// loaded); nullptr removes it.
void SetLanguageLookupForTest(const char16_t* (*lookup)(uint32_t id));
