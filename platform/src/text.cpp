#include "plat/text.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>

namespace plat {

namespace {

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns its length or 0 when invalid.
size_t decodeUtf8(std::string_view s, size_t i, char32_t& c) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = b(i);
  size_t n;
  if (b0 < 0x80) {
    c = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    c = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b(i + k) & 0x3F);
  }
  static const char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < minimum[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

// iconv descriptors are not thread-safe, and opening one costs far more than converting the
// short texts this layer carries: each thread keeps one per direction, opened when a text
// first needs it (plain ASCII never does) and reset to its initial state before each use.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : to_(to), from_(from) {}
  ~Iconv() {
    if (opened_ && ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  // The descriptor, opened on first use; null-like (-1) when the conversion is unknown.
  iconv_t get() {
    if (!opened_) {
      cd_ = iconv_open(to_, from_);
      opened_ = true;
    } else if (ok()) {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return cd_;
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

 private:
  const char* to_;
  const char* from_;
  bool opened_ = false;
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

Iconv& gbkToUtf16Converter() {
  thread_local Iconv cv("UTF-16LE", "GBK");
  return cv;
}

Iconv& utf16ToGbkConverter() {
  thread_local Iconv cv("GBK", "UTF-16LE");
  return cv;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    size_t n = decodeUtf8(s, i, c);
    if (n == 0) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    appendUtf16(out, c);
    i += n;
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool isValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    size_t n = decodeUtf8(s, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u16string withoutControls(std::u16string text) {
  std::erase_if(text, [](char16_t c) { return isControlChar(c); });
  return text;
}

int textToInt(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  constexpr long long kLimit = 2147483648LL;  // |INT_MIN|
  long long v = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    v = v * 10 + (text[i] - u'0');
    if (v > kLimit) v = kLimit;
  }
  if (negative) v = -v;
  if (v > kLimit - 1) v = kLimit - 1;
  return static_cast<int>(v);
}

std::u16string gbkToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  iconv_t cd = nullptr;  // taken at the first character beyond ASCII
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (!cd) cd = gbkToUtf16Converter().get();
    const bool ok = cd != reinterpret_cast<iconv_t>(-1);
    char16_t buf[2];
    size_t take = (i + 1 < s.size()) ? 2 : 1;
    char* in = const_cast<char*>(s.data() + i);
    size_t inLeft = take;
    char* o = reinterpret_cast<char*>(buf);
    size_t oLeft = sizeof buf;
    if (ok && iconv(cd, &in, &inLeft, &o, &oLeft) != static_cast<size_t>(-1) && inLeft == 0) {
      size_t produced = (sizeof buf - oLeft) / 2;
      out.append(buf, produced);
      i += take;
    } else {
      if (ok) iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out.push_back(u'\uFFFD');
      ++i;
    }
  }
  return out;
}

std::string utf16ToGbk(std::u16string_view s, size_t maxBytes) {
  std::string out;
  out.reserve(s.size() * 2);
  iconv_t cd = nullptr;  // taken at the first character beyond ASCII
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    char enc[4];
    size_t encLen = 0;
    if (c < 0x80) {
      enc[0] = static_cast<char>(c);
      encLen = 1;
    } else {
      if (!cd) cd = utf16ToGbkConverter().get();
      const bool ok = cd != reinterpret_cast<iconv_t>(-1);
      size_t units = (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) ? 2 : 1;
      char16_t in16[2] = {c, units == 2 ? s[i + 1] : u'\0'};
      char* in = reinterpret_cast<char*>(in16);
      size_t inLeft = units * 2;
      char* o = enc;
      size_t oLeft = sizeof enc;
      if (ok && iconv(cd, &in, &inLeft, &o, &oLeft) != static_cast<size_t>(-1)) {
        encLen = sizeof enc - oLeft;
      } else {
        if (ok) iconv(cd, nullptr, nullptr, nullptr, nullptr);
        enc[0] = '?';
        encLen = 1;
      }
      i += units - 1;
    }
    if (maxBytes != std::string::npos && out.size() + encLen > maxBytes) break;
    out.append(enc, encLen);
  }
  return out;
}

std::string utf8ToGbk(std::string_view s, size_t maxBytes) {
  return utf16ToGbk(utf8ToUtf16(s), maxBytes);
}

std::string gbkToUtf8(std::string_view s) { return utf16ToUtf8(gbkToUtf16(s)); }

size_t fieldLength(std::string_view gbk, size_t fieldSize) {
  if (fieldSize == 0) return 0;
  // Keep whole double-byte characters only, and room for the terminator.
  size_t limit = fieldSize - 1, n = 0;
  while (n < gbk.size()) {
    size_t len = static_cast<unsigned char>(gbk[n]) >= 0x81 && n + 1 < gbk.size() ? 2 : 1;
    if (n + len > limit) break;
    n += len;
  }
  return n;
}

void copyToField(char* field, size_t fieldSize, std::string_view gbk) {
  if (!field || fieldSize == 0) return;
  std::memset(field, 0, fieldSize);
  if (size_t n = fieldLength(gbk, fieldSize)) std::memcpy(field, gbk.data(), n);
}

std::string fieldText(const char* field, size_t fieldSize) {
  size_t n = 0;
  while (n < fieldSize && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace plat
