#pragma once
// What the PTZ and playback journeys share: the emulators' request logs read back as records,
// and the pictures a play window shows.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "clipgen/clipgen.h"
#include "plat/surface.h"
#include "support/Emulators.h"
#include "support/ShownFrame.h"

namespace journey {

// One request of an emulator's log: the camera's "msg <channel> <code> <argument> <option>
// <payload>" or the recorder's "req <connection> <command> <handle> <status> <payload>".
struct Logged {
  uint32_t where = 0;  // the camera's channel, the recorder's connection
  uint32_t code = 0;   // message code, command
  uint32_t third = 0;  // argument, handle
  uint32_t fourth = 0; // option, status
  std::vector<uint8_t> payload;

  uint8_t Byte(size_t at) const { return at < payload.size() ? payload[at] : 0; }
  uint32_t U32(size_t at) const {
    return uint32_t(Byte(at)) | uint32_t(Byte(at + 1)) << 8 | uint32_t(Byte(at + 2)) << 16 |
           uint32_t(Byte(at + 3)) << 24;
  }
  std::string Text(size_t at, size_t span) const {
    std::string s;
    for (size_t i = at; i < at + span && Byte(i); ++i) s.push_back(static_cast<char>(Byte(i)));
    return s;
  }
};

// The logged requests of one code, in order of arrival ("msg" lines of the camera, "req"
// lines of the recorder).
inline std::vector<Logged> Requests(const testsupport::EmulatorProcess& emulator, uint32_t code) {
  std::vector<Logged> out;
  for (const std::string& line : emulator.LogLines()) {
    std::istringstream in(line);
    std::string kind, hex;
    Logged r;
    if (!(in >> kind >> r.where >> r.code >> r.third >> r.fourth) || (kind != "msg" && kind != "req")) continue;
    if (r.code != code) continue;
    in >> hex;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      r.payload.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    out.push_back(std::move(r));
  }
  return out;
}

// Waits until the emulator logged `n` requests of the code or more.
inline bool AwaitRequests(const testsupport::EmulatorProcess& emulator, uint32_t code, size_t n) {
  return emulator.WaitForLog([&](const std::vector<std::string>&) { return Requests(emulator, code).size() >= n; });
}

// The clip frame number the window's last picture shows (-1: none yet), and how many
// pictures the window has been given so far.
inline int FrameShown(plat::WindowHandle wnd, uint64_t* serial = nullptr) {
  return testsupport::ShownFrameNumber(wnd, serial);
}

}  // namespace journey
