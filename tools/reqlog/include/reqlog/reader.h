#pragma once
// Reads back a request log written by reqlog::LogFile (see log_file.h), for tests that run an
// emulator as a process of its own.
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace reqlog {

struct Entry {
  std::string kind;
  std::map<std::string, uint64_t> fields;
  std::vector<uint8_t> payload;  // as long as the field `bytes` says, zeros restored

  uint64_t field(const std::string& name, uint64_t otherwise = ~0ull) const {
    auto it = fields.find(name);
    return it == fields.end() ? otherwise : it->second;
  }
  uint8_t byte(size_t at) const { return at < payload.size() ? payload[at] : 0; }
  uint32_t u32(size_t at) const {  // little-endian
    return uint32_t(byte(at)) | uint32_t(byte(at + 1)) << 8 | uint32_t(byte(at + 2)) << 16 |
           uint32_t(byte(at + 3)) << 24;
  }
  uint16_t u16(size_t at) const { return static_cast<uint16_t>(byte(at) | byte(at + 1) << 8); }
  // Zero-terminated text within `span` bytes from `at`.
  std::string text(size_t at, size_t span) const {
    std::string s;
    for (size_t i = at; i < at + span && i < payload.size() && payload[i]; ++i)
      s.push_back(static_cast<char>(payload[i]));
    return s;
  }
};

// Every whole line of the file (a line still being written is left out).
inline std::vector<Entry> readLog(const std::string& path) {
  std::vector<Entry> out;
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = 0;
  for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
    std::istringstream line(all.substr(start, end - start));
    Entry e;
    line >> e.kind;
    std::string word;
    while (line >> word) {
      const size_t eq = word.find('=');
      if (eq == std::string::npos) continue;
      const std::string name = word.substr(0, eq), value = word.substr(eq + 1);
      if (name == "payload") {
        for (size_t i = 0; i + 1 < value.size(); i += 2)
          e.payload.push_back(static_cast<uint8_t>(std::stoul(value.substr(i, 2), nullptr, 16)));
      } else {
        e.fields[name] = std::stoull(value);
      }
    }
    const uint64_t size = e.field("bytes", 0);
    if (e.payload.size() < size) e.payload.resize(size, 0);
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace reqlog
