#pragma once
// The parameter pages of an IP camera without their widgets. Each page reads its record from
// the camera once and keeps the bytes as they came; Save sends that record back with the
// fields the operator changed replaced and the client's fixed bytes set (video bytes 0 and 1
// are 1, the PTZ byte 0 is 1, the picture word 0, the audio byte 0 and the network bytes 129
// to 144 are 0), so other bytes the page does not understand (an audio codec it has no entry
// for, the text after a field's terminating zero) return to the camera as they were. A page
// whose read failed cannot save: a zero-filled record written back would reset the camera
// (the network page would give it 0.0.0.0).
//
// The exchanges themselves run on the device's queue, never on the UI thread: a page hands
// out the work of a read or a send (holding nothing of the page) and takes its result back.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Corvane/protocol.h"
#include "Corvane/types.h"

class CDevInfo;

// The login record for a session to the device, all but the address: port, user name and
// password, talk argument 1, connect now; and the host to resolve when the session opens.
struct IpcLogin {
  IpcLoginInfo record{};
  std::string host;
};

// 0, or the notice that refuses the device: a user name, password or host text too long for
// the record (never cut), or no host. Looks nothing up.
uint32_t BuildIpcLogin(const CDevInfo& device, IpcLogin& login);

// The session of one parameter dialog. Opened, used and closed only by work on the device's
// queue: the UI thread never touches the handle.
class CIpcSessionSlot {
 public:
  CIpcSessionSlot() = default;
  CIpcSessionSlot(const CIpcSessionSlot&) = delete;
  CIpcSessionSlot& operator=(const CIpcSessionSlot&) = delete;
  ~CIpcSessionSlot() { Close(); }  // a session still open when its close was never run
  // Resolves the host (a dotted address as it stands, a name through the platform's
  // resolver) and opens the session; false when the host does not resolve or the device
  // does not log in.
  bool Open(IpcLogin login);
  void Close();
  IPC_HANDLE Get() const { return m_session; }

 private:
  IPC_HANDLE m_session = nullptr;
};

// Unanswered: the record went out and no answer came in time, so the camera may hold it or
// not; it is told as such, never as failed.
enum class IpcSaveResult { Saved, NotRead, Refused, Failed, Unanswered };
// What a send came to: taken; refused or never sent; or sent and not answered in time.
enum class IpcSent { Taken, Failed, Unanswered };

using IpcExchange = int (*)(IPC_HANDLE, void*);

// What a read brought: the record (zero-filled when the read failed) and, for the video
// page, the camera's picture class.
struct IpcRead {
  bool ok = false;
  std::vector<uint8_t> record;
  uint16_t pictureClass = 0;
};
using IpcReadWork = std::function<IpcRead(IPC_HANDLE)>;
using IpcSendWork = std::function<IpcSent(IPC_HANDLE)>;

// A record read once from the camera and sent back on Save.
class CIpcRecordPage {
 public:
  CIpcRecordPage(IpcExchange get, IpcExchange set, size_t size);
  virtual ~CIpcRecordPage() = default;
  bool ReadOk() const { return m_readOk; }
  const std::vector<uint8_t>& Read() const { return m_read; }
  // The exchange that reads the record, for the device's queue.
  virtual IpcReadWork ReadWork() const;
  // The read's result: the page's fields from it when it came.
  virtual void Loaded(const IpcRead& read);
  // The record Save would send; false with the refusing notice in `refusal`.
  virtual bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const;
  // The record to send in `out`, or why nothing goes: NotRead, or Refused with its notice.
  // Saved means ready to send.
  IpcSaveResult PrepareSave(std::vector<uint8_t>& out, uint32_t& notice) const;
  // The exchange that writes `record`, for the device's queue.
  IpcSendWork SendWork(std::vector<uint8_t> record) const;
  // A send's result: after a send the camera took, its record is what was sent; after one
  // that went unanswered the page keeps what it read, so a Save again sends the change anew.
  IpcSaveResult Sent(const std::vector<uint8_t>& record, IpcSent sent);

 protected:
  // The fields of the page from the bytes held (after a read).
  virtual void Unpack() {}

  IpcExchange m_get, m_set;
  std::vector<uint8_t> m_read;
  bool m_readOk = false;
};

class CIpcDevInfoPage : public CIpcRecordPage {
 public:
  CIpcDevInfoPage();
  std::u16string internalCode, registration, model, factoryCode;

 private:
  void Unpack() override;
};

using Ipv4Octets = std::array<uint8_t, 4>;

class CIpcNetPage : public CIpcRecordPage {
 public:
  enum Address { kIp, kMask, kGateway, kDns, kDns2, kAddressCount };
  CIpcNetPage();
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
  CIpcVideoPage();
  // The ability record first (its picture class, 0 when it cannot be read), then the video
  // record.
  IpcReadWork ReadWork() const override;
  void Loaded(const IpcRead& read) override;
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

// Every scroll notification of a slider sends the record, so the camera follows the slider
// while it moves, also through the positions it passes over. One record is on its way at a
// time (the device's queue would otherwise pile up positions a slow camera takes seconds
// after the hand stopped): a notification meanwhile waits, and the waiting one takes the
// newest values, sent once the record before it was answered.
class CIpcPicturePage : public CIpcRecordPage {
 public:
  enum Value { kBrightness, kContrast, kSaturation, kValueCount };
  static constexpr uint32_t kDefault = 125;
  CIpcPicturePage();
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;

  void Set(Value which, uint32_t value) { values[which] = value; }
  void SetDefaults() { values.fill(kDefault); }
  // A scroll notification: true with the record to send now in `out`; false when it waits
  // for the record on its way, or the page was not read.
  bool Notify(std::vector<uint8_t>& out);
  // The record on its way was answered (or given up on): true with the waiting record, to
  // send now, in `next`.
  bool SendDone(const std::vector<uint8_t>& record, IpcSent sent, std::vector<uint8_t>& next);
  bool Sending() const { return m_sending; }
  bool Waiting() const { return m_waiting; }
  std::array<uint32_t, kValueCount> values{};

 private:
  void Unpack() override;
  bool m_sending = false;
  bool m_waiting = false;
};

class CIpcAudioPage : public CIpcRecordPage {
 public:
  static constexpr uint8_t kCodecs[] = {10, 8, 9, 12};  // the codec list's entries
  CIpcAudioPage();
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;
  int input = 0, codec = -1, channels = 0, width = -1, rate = -1;

 private:
  void Unpack() override;
};

class CIpcPtzPage : public CIpcRecordPage {
 public:
  CIpcPtzPage();
  bool Pack(std::vector<uint8_t>& out, uint32_t& refusal) const override;
  std::u16string protocol;
  int address = 0, speed = 1;

 private:
  void Unpack() override;
};
