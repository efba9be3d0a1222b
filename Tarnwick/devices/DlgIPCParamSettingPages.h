#pragma once
// The parameter pages of an IP camera without their widgets. Each page reads its record from
// the camera once and keeps the bytes as they came; Save sends that record back with only
// the fields the operator changed replaced, so bytes the page does not understand (reserved
// fields, an audio codec it has no entry for, the text after a field's terminating zero)
// return to the camera as they were. A page whose read failed cannot save: a zero-filled
// record written back would reset the camera (the network page would give it 0.0.0.0).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Corvane/protocol.h"
#include "Corvane/types.h"

class CDevInfo;

// The notices of the pages and of the login to a camera.
inline constexpr uint32_t IDS_IPC_HOST_TOO_LONG = 8963;
inline constexpr uint32_t IDS_IPC_READ_FAILED = 8964;
inline constexpr uint32_t IDS_IPC_NET_SET_FAILED = 8965;
inline constexpr uint32_t IDS_IPC_SET_FAILED = 8966;
inline constexpr uint32_t IDS_IPC_TEXT_TOO_LONG = 8967;
inline constexpr uint32_t IDS_IPC_RANGE_0_255 = 8968;
inline constexpr uint32_t IDS_IPC_RANGE_1_255 = 8969;

// The login record for a session to the device: its host resolved (a dotted address as it
// stands, a name through the platform's resolver), port, user name and password, talk
// argument 1, connect now. 0, or the notice that refuses the device: a user name, password
// or host text too long for the record (never cut), or a host that does not resolve.
uint32_t BuildIpcLogin(const CDevInfo& device, IpcLoginInfo& login);

enum class IpcSaveResult { Saved, NotRead, Refused, Failed };

using IpcExchange = int (*)(IPC_HANDLE, void*);

// A record read once from the camera and sent back on Save.
class CIpcRecordPage {
 public:
  explicit CIpcRecordPage(IPC_HANDLE session) : m_session(session) {}
  virtual ~CIpcRecordPage() = default;
  bool ReadOk() const { return m_readOk; }
  const std::vector<uint8_t>& Read() const { return m_read; }
  // The record Save would send; false with the refusing notice in `refusal`.
  virtual bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const;
  // Packs and sends; after a send the camera's record is what was sent. `notice` receives
  // the refusing notice of a refused save.
  IpcSaveResult Save(uint32_t& notice);

 protected:
  bool Load(IpcExchange get, size_t size);
  // The fields of the page from the bytes held (after a read or a save).
  virtual void Unpack() {}

  IPC_HANDLE m_session;
  IpcExchange m_set = nullptr;
  std::vector<uint8_t> m_read;
  bool m_readOk = false;
};

class CIpcDevInfoPage : public CIpcRecordPage {
 public:
  explicit CIpcDevInfoPage(IPC_HANDLE session);
  std::u16string internalCode, registration, model, factoryCode;

 private:
  void Unpack() override;
};

using Ipv4Octets = std::array<uint8_t, 4>;

class CIpcNetPage : public CIpcRecordPage {
 public:
  enum Address { kIp, kMask, kGateway, kDns, kDns2, kAddressCount };
  explicit CIpcNetPage(IPC_HANDLE session);
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;

  int mode = 0;  // 0 static, 1 obtained automatically
  std::array<Ipv4Octets, kAddressCount> addresses{};
  std::u16string mac;

 private:
  void Unpack() override;
};

// A list position stands for a byte of the record; -1 (no entry fits the byte read) sends the
// byte back as read.
class CIpcVideoPage : public CIpcRecordPage {
 public:
  static constexpr int kFrameRates = 4;
  explicit CIpcVideoPage(IPC_HANDLE session);
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;
  // The level list's entries for a rate-control mode (0 bit rate, 1 quality) and the class.
  std::vector<std::u16string> LevelEntries(int rateControl) const;
  // A new rate-control mode: its entries with the second one selected.
  void SetRateControl(int index);

  uint16_t pictureClass = 0;
  int frameRate = 3, rateControl = 0, level = 1;

 private:
  void Unpack() override;
};

// The sliders send while they move: at once on release, a key or the defaults button, and at
// most one record every kSendIntervalMs while dragged (the last position always follows).
class CIpcPicturePage : public CIpcRecordPage {
 public:
  enum Value { kBrightness, kContrast, kSaturation, kValueCount };
  static constexpr uint32_t kDefault = 125;
  static constexpr int64_t kSendIntervalMs = 100;
  explicit CIpcPicturePage(IPC_HANDLE session);
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;

  void Set(Value which, uint32_t value) { values[which] = value; }
  void SetDefaults() { values.fill(kDefault); }
  // Whether the record differs from the one the camera holds.
  bool Dirty() const;
  // While dragging at nowMs: true when the record may go now; otherwise the delay in ms after
  // which the caller sends what is pending.
  bool MayDragSend(int64_t nowMs, int64_t& waitMs) const;
  IpcSaveResult Send(int64_t nowMs);
  std::array<uint32_t, kValueCount> values{};

 private:
  void Unpack() override;
  int64_t m_lastSend = INT64_MIN / 2;
};

class CIpcAudioPage : public CIpcRecordPage {
 public:
  static constexpr uint8_t kCodecs[] = {10, 8, 9, 12};  // the codec list's entries
  explicit CIpcAudioPage(IPC_HANDLE session);
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;
  int input = 0, codec = -1, channels = 0, width = -1, rate = -1;

 private:
  void Unpack() override;
};

class CIpcPtzPage : public CIpcRecordPage {
 public:
  explicit CIpcPtzPage(IPC_HANDLE session);
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;
  std::u16string protocol;
  int address = 0, speed = 1;

 private:
  void Unpack() override;
};
