#include "emustate/state_dir.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace emustate {

bool writeFile(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir + "/" + name;
  // Unique per process and thread, so two writers of one record never share a temporary.
  const std::string temp = path + ".tmp" + std::to_string(::getpid()) + "-" +
                           std::to_string(static_cast<unsigned long>(::gettid()));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> readFile(const std::string& dir, const std::string& name) {
  std::ifstream in(dir + "/" + name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string cameraRecordName(uint16_t getCode) {
  char name[32];
  std::snprintf(name, sizeof name, "camera-%04x.bin", getCode);
  return name;
}

std::string recorderRecordName(uint32_t getCode, uint32_t channel) {
  return "recorder-" + std::to_string(getCode) + "-" + std::to_string(channel) + ".bin";
}

}  // namespace emustate
