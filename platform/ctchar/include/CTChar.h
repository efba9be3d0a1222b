#pragma once
// One text kept in a narrow form (for the device libraries, which take GBK text) and a wide
// form (UTF-16, for the program). Header-only: the program, the device access layer and the
// configuration library share this one declaration. The narrow form is the text the device
// libraries read, at most 511 bytes (as a 512-byte field holds it); the wide form holds at
// most 1023 characters. Each takes only the room its text needs, so a record of ten texts (a
// device) stays well under a kilobyte and ten thousand devices load without paging in 57 MB.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "plat/text.h"

class CTChar {
 public:
  static constexpr size_t kNarrowSize = 512;
  static constexpr size_t kWideSize = 1024;
  static constexpr size_t NARROW_BYTES = kNarrowSize;
  static constexpr size_t WIDE_CHARS = kWideSize;

  CTChar() { Clear(); }
  explicit CTChar(std::u16string_view wide) {
    Clear();
    SetWide(wide);
  }
  explicit CTChar(std::string_view narrow) {
    Clear();
    SetNarrow(narrow);
  }
  CTChar(const char16_t* wide) {  // NOLINT: converts like the strings it wraps
    Clear();
    SetWide(wide ? std::u16string_view(wide) : std::u16string_view());
  }
  CTChar(const char* narrow) {  // NOLINT
    Clear();
    SetNarrow(narrow ? std::string_view(narrow) : std::string_view());
  }
  virtual ~CTChar() = default;
  CTChar(const CTChar&) = default;
  CTChar& operator=(const CTChar&) = default;
  CTChar(CTChar&&) noexcept = default;
  CTChar& operator=(CTChar&&) noexcept = default;

  // A text of kWideSize characters or more changes nothing. The narrow form is cut at a
  // character boundary when it does not fit its 512 bytes.
  void SetWide(std::u16string_view text) {
    if (text.size() >= kWideSize) return;
    wide_.assign(text.substr(0, text.find(u'\0')));  // read back as a terminated text
    const std::string gbk = plat::utf16ToGbk(text, kNarrowSize - 1);
    setNarrowText(std::string_view(gbk).substr(0, plat::fieldLength(gbk, kNarrowSize)));
  }
  // A text of kNarrowSize bytes or more changes nothing.
  void SetNarrow(std::string_view text) {
    if (text.size() >= kNarrowSize) return;
    setNarrowText(text);
    wide_ = plat::gbkToUtf16(text);
    wide_.resize(std::min({wide_.size(), wide_.find(u'\0'), kWideSize - 1}));
  }
  const char* GetNarrow() const { return narrow_.c_str(); }
  const char16_t* GetWide() const { return wide_.c_str(); }
  std::u16string Wide() const { return wide_; }

 private:
  void Clear() {
    narrow_.clear();
    wide_.clear();
  }
  // Read back as a terminated text: up to its first zero byte.
  void setNarrowText(std::string_view text) { narrow_.assign(text.substr(0, text.find('\0'))); }
  // Each form takes the room of its text: a device list of thousands holds ten of each a
  // device.
  std::string narrow_;   // shorter than kNarrowSize bytes
  std::u16string wide_;  // shorter than kWideSize
};
