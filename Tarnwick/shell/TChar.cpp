#include "shell/TChar.h"

#include <algorithm>
#include <string>

#include "plat/text.h"

CTChar::CTChar() = default;
CTChar::CTChar(std::u16string_view wide) { SetWide(wide); }
CTChar::CTChar(std::string_view narrow) { SetNarrow(narrow); }
CTChar::CTChar(const char16_t* wide) { SetWide(wide ? std::u16string_view(wide) : u""); }
CTChar::CTChar(const char* narrow) { SetNarrow(narrow ? std::string_view(narrow) : ""); }
CTChar::~CTChar() = default;

void CTChar::SetWide(std::u16string_view wide) {
  if (wide.size() >= WIDE_CHARS) return;
  std::copy(wide.begin(), wide.end(), m_wide);
  m_wide[wide.size()] = 0;
  std::string gbk = plat::utf16ToGbk(wide, NARROW_BYTES - 1);
  std::copy(gbk.begin(), gbk.end(), m_narrow);
  m_narrow[gbk.size()] = 0;
}

void CTChar::SetNarrow(std::string_view narrow) {
  if (narrow.size() >= NARROW_BYTES) return;
  std::copy(narrow.begin(), narrow.end(), m_narrow);
  m_narrow[narrow.size()] = 0;
  // At most 511 bytes make at most 511 UTF-16 units: the wide buffer always has room.
  std::u16string wide = plat::gbkToUtf16(narrow);
  size_t n = std::min(wide.size(), WIDE_CHARS - 1);
  std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(n), m_wide);
  m_wide[n] = 0;
}
