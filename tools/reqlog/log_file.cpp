#include "reqlog/log_file.h"

namespace reqlog {

LogFile::~LogFile() {
  std::lock_guard<std::mutex> lock(mu_);
  if (file_) std::fclose(file_);
}

bool LogFile::open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mu_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (path.empty()) return true;
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

bool LogFile::isOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

std::string trimmedHex(const std::vector<uint8_t>& bytes) {
  size_t n = bytes.size();
  while (n > 0 && bytes[n - 1] == 0) --n;
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

void LogFile::write(const std::string& kind,
                    const std::vector<std::pair<std::string, uint64_t>>& fields,
                    const std::vector<uint8_t>& payload) {
  std::string line = kind;
  for (const auto& [name, value] : fields) line += " " + name + "=" + std::to_string(value);
  line += " bytes=" + std::to_string(payload.size()) + " payload=" + trimmedHex(payload) + "\n";
  std::lock_guard<std::mutex> lock(mu_);
  if (!file_) return;
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace reqlog
