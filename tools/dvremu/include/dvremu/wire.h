#pragma once
// The recorder protocol's packet header, written and read by the emulator on its own.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "peerbytes/le.h"

namespace dvremu {

constexpr uint32_t kMagic = 0x0ABCDEF0;
constexpr size_t kHeaderBytes = 20;
constexpr uint32_t kMaxPayload = 40000;
constexpr uint32_t kOk = 200, kFail = 300;

// Command codes the emulator answers in its own way.
enum : uint32_t {
  kLogin = 1, kLogout = 2, kPreview = 3, kPreviewStop = 4, kStreamHeader = 6,
  kTalkOpen = 10, kTalkClose = 11, kTalkStream = 12, kSetVideoParam = 25,
  kGetVideoParam = 26, kAlarm = 37, kLastCode = 76,
};

constexpr size_t kLoginReplyBytes = 72;
constexpr size_t kAlarmRecordBytes = 244;

using peerbytes::get32;
using peerbytes::put16;
using peerbytes::put32;

struct Header {
  uint32_t magic = kMagic, command = 0, length = 0, handle = 0, status = 0;
};
void writeHeader(const Header& h, uint8_t* out);
Header readHeader(const uint8_t* in);
std::vector<uint8_t> packet(uint32_t command, uint32_t handle, uint32_t status,
                            const uint8_t* payload, size_t length);

}  // namespace dvremu
