#pragma once
// A request log kept in a text file, one line per request:
//   <kind> <name>=<value> ... bytes=<payload size> payload=<hex>
// Values are decimal; the payload is the request's bytes in hex with its trailing zero bytes
// left out (`bytes` tells the full size). Lines are written whole and flushed, so
// a reader in another process sees every request as soon as it is logged.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace reqlog {

class LogFile {
 public:
  LogFile() = default;
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Starts a new file at `path` (empty: no log); false when it cannot be made.
  bool open(const std::string& path);
  bool isOpen() const;
  // One line: the kind, the fields in order, then the payload's size and bytes.
  void write(const std::string& kind, const std::vector<std::pair<std::string, uint64_t>>& fields,
             const std::vector<uint8_t>& payload);

 private:
  mutable std::mutex mu_;
  std::FILE* file_ = nullptr;
};

// Hex text of the bytes without their trailing zeros.
std::string trimmedHex(const std::vector<uint8_t>& bytes);

}  // namespace reqlog
