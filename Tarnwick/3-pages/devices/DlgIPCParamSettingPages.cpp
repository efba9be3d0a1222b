#include "devices/DlgIPCParamSettingPages.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Corvane/params.h"
#include "Corvane/records.h"
#include "Corvane/session.h"
#include "Corvane/unanswered.h"
#include "Hollin/DevInfo.h"
#include "plat/bytes.h"
#include "plat/socket.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/StringIds.h"

namespace {

constexpr size_t kLoginText = sizeof(IpcLoginInfo::user) - 1;  // a terminating zero stays
constexpr size_t kLoginHostChars = 19;

// A camera's text as a page shows it, without the control characters a camera may send; a
// field left as shown keeps its bytes (PutChangedText compares with this).
std::u16string FieldText(const std::vector<uint8_t>& rec, size_t at, size_t span) {
  return plat::withoutControls(
      plat::gbkToUtf16(plat::fieldText(reinterpret_cast<const char*>(rec.data() + at), span)));
}

// Replaces a text field only when its text changed, so an unchanged field keeps every byte
// it came with. False when the text does not fit with its terminating zero.
bool PutChangedText(std::vector<uint8_t>& rec, size_t at, size_t span, const std::u16string& text) {
  if (text == FieldText(rec, at, span)) return true;
  const std::string narrow = plat::utf16ToGbk(text);
  if (narrow.size() >= span) return false;
  plat::copyToField(reinterpret_cast<char*>(rec.data() + at), span, narrow);
  return true;
}

// A list position for a byte: -1 when the byte is none of the list's values.
template <size_t N>
int IndexOf(const uint8_t (&values)[N], uint8_t byte) {
  const auto* at = std::find(values, values + N, byte);
  return at == values + N ? -1 : int(at - values);
}

// The list position back into the byte; the byte as read for -1.
template <size_t N>
void PutIndexed(std::vector<uint8_t>& rec, size_t at, const uint8_t (&values)[N], int index) {
  if (index >= 0 && size_t(index) < N) rec[at] = values[index];
}

// Address texts of the network record: offset and span, in the page's field order.
struct AddressField {
  size_t at, span;
};
constexpr AddressField kAddressFields[CIpcNetPage::kAddressCount] = {{1, 24}, {49, 24}, {25, 24}, {97, 16}, {113, 16}};
constexpr size_t kMacAt = 73, kMacSpan = 24;
constexpr size_t kNetUnusedAt = 129;  // to the record's end: not used by the client, sent as zero

Ipv4Octets ParseOctets(const std::u16string& text) {
  in_addr a{};
  Ipv4Octets out{};
  if (inet_pton(AF_INET, plat::utf16ToUtf8(text).c_str(), &a) == 1) std::memcpy(out.data(), &a.s_addr, 4);
  return out;
}

}  // namespace

uint32_t BuildIpcLogin(const CDevInfo& device, IpcLogin& login) {
  login = IpcLogin{};
  const std::string user = plat::utf16ToGbk(device.GetUserName());
  const std::string password = plat::utf16ToGbk(device.GetPwd());
  if (user.size() > kLoginText) return IDS_USER_NAME_TOO_LONG;
  if (password.size() > kLoginText) return IDS_PASSWORD_TOO_LONG;
  const std::u16string host = device.GetIP();
  if (host.size() > kLoginHostChars) return IDS_IPC_HOST_TOO_LONG;
  if (host.empty()) return IDS_CANNOT_LOGIN;
  login.host = plat::utf16ToUtf8(host);
  login.record.port = uint16_t(device.GetPort());
  plat::copyToField(login.record.user, sizeof login.record.user, user);
  plat::copyToField(login.record.password, sizeof login.record.password, password);
  login.record.talkArgument = 1;
  login.record.connectNow = 1;
  return 0;
}

// ---- the session -----------------------------------------------------------------------------

bool CIpcSessionSlot::Open(IpcLogin login) {
  Close();
  uint32_t address = 0;
  if (!plat::resolveIPv4(login.host, address)) return false;
  login.record.address = ntohl(address);
  m_session = IPC_SessionOpen(&login.record);
  return m_session != nullptr;
}

void CIpcSessionSlot::Close() {
  if (m_session) IPC_SessionClose(m_session);
  m_session = nullptr;
}

// ---- the record --------------------------------------------------------------------------

CIpcRecordPage::CIpcRecordPage(IpcExchange get, IpcExchange set, size_t size)
    : m_get(get), m_set(set), m_read(size, 0) {}

IpcReadWork CIpcRecordPage::ReadWork() const {
  return [get = m_get, size = m_read.size()](IPC_HANDLE session) {
    IpcRead read;
    read.record.assign(size, 0);
    read.ok = session && get(session, read.record.data()) == 1;
    if (!read.ok) read.record.assign(size, 0);
    return read;
  };
}

void CIpcRecordPage::Loaded(const IpcRead& read) {
  m_readOk = read.ok && read.record.size() == m_read.size();
  if (!m_readOk) return;
  m_read = read.record;
  Unpack();
}

bool CIpcRecordPage::Pack(std::vector<uint8_t>& out, uint32_t&) const {
  out = m_read;
  return true;
}

IpcSaveResult CIpcRecordPage::PrepareSave(std::vector<uint8_t>& out, uint32_t& notice) const {
  notice = 0;
  if (!m_readOk || !m_set) return IpcSaveResult::NotRead;
  if (!Pack(out, notice)) return IpcSaveResult::Refused;
  return IpcSaveResult::Saved;
}

IpcSendWork CIpcRecordPage::SendWork(std::vector<uint8_t> record) const {
  return [set = m_set, record = std::move(record)](IPC_HANDLE session) {
    std::vector<uint8_t> buffer = record;  // the network set overwrites its buffer with the reply
    if (!session) return IpcSent::Failed;
    if (set(session, buffer.data()) == 1) return IpcSent::Taken;
    return IPC_LastParamUnanswered() ? IpcSent::Unanswered : IpcSent::Failed;
  };
}

IpcSaveResult CIpcRecordPage::Sent(const std::vector<uint8_t>& record, IpcSent sent) {
  if (sent == IpcSent::Unanswered) return IpcSaveResult::Unanswered;
  if (sent != IpcSent::Taken) return IpcSaveResult::Failed;
  m_read = record;
  return IpcSaveResult::Saved;
}

// ---- device information -------------------------------------------------------------------

CIpcDevInfoPage::CIpcDevInfoPage() : CIpcRecordPage(IPC_GetFactoryParam, nullptr, kIpcFactoryParamSize) {}

void CIpcDevInfoPage::Unpack() {
  model = FieldText(m_read, 0, 20);
  factoryCode = FieldText(m_read, 20, 64);
  registration = FieldText(m_read, 84, 26);
  internalCode = FieldText(m_read, 110, 56);
}

// ---- network --------------------------------------------------------------------------------

CIpcNetPage::CIpcNetPage() : CIpcRecordPage(IPC_GetNetParam, IPC_SetNetParam, kIpcNetParamSize) {}

void CIpcNetPage::Unpack() {
  mode = m_read[0] == 1 ? 1 : 0;
  for (int i = 0; i < kAddressCount; ++i)
    addresses[i] = ParseOctets(FieldText(m_read, kAddressFields[i].at, kAddressFields[i].span));
  mac = FieldText(m_read, kMacAt, kMacSpan);
}

// An address goes out as "%d.%d.%d.%d" only when its octets changed; automatic assignment
// changes the mode byte alone and keeps the camera's last static settings in the record.
bool CIpcNetPage::Pack(std::vector<uint8_t>& out, uint32_t& refusal) const {
  out = m_read;
  std::fill(out.begin() + kNetUnusedAt, out.end(), 0);
  out[0] = uint8_t(mode);
  if (mode != 0) return true;
  for (int i = 0; i < kAddressCount; ++i) {
    const AddressField& f = kAddressFields[i];
    if (addresses[i] == ParseOctets(FieldText(m_read, f.at, f.span))) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", addresses[i][0], addresses[i][1], addresses[i][2], addresses[i][3]);
    plat::copyToField(reinterpret_cast<char*>(out.data() + f.at), f.span, text);
  }
  if (!PutChangedText(out, kMacAt, kMacSpan, mac)) {
    refusal = IDS_IPC_TEXT_TOO_LONG;
    return false;
  }
  return true;
}

// ---- video ----------------------------------------------------------------------------------

CIpcVideoPage::CIpcVideoPage() : CIpcRecordPage(IPC_GetVideoParam, IPC_SetVideoParam, kIpcVideoParamSize) {}

IpcReadWork CIpcVideoPage::ReadWork() const {
  return [video = CIpcRecordPage::ReadWork()](IPC_HANDLE session) {
    std::vector<uint8_t> ability(kIpcAbilityParamSize, 0);
    uint16_t pictureClass = 0;
    if (session && IPC_GetAbilityParam(session, ability.data()) == 1) pictureClass = plat::getLe16(&ability[10]);
    IpcRead read = video(session);
    read.pictureClass = pictureClass;
    return read;
  };
}

void CIpcVideoPage::Loaded(const IpcRead& read) {
  pictureClass = read.pictureClass;
  CIpcRecordPage::Loaded(read);
}

std::vector<std::u16string> CIpcVideoPage::LevelEntries(int mode) const {
  std::vector<std::u16string> out;
  if (mode == 1) {
    for (uint32_t id : {IDS_IPC_QUALITY_HIGHEST, IDS_IPC_QUALITY_HIGH, IDS_IPC_QUALITY_MEDIUM, IDS_IPC_QUALITY_LOW})
      out.push_back(LoadResString(id));
    return out;
  }
  if (pictureClass == 1080) out.push_back(u"8192 kb/s");
  for (const char16_t* rate : {u"7168 kb/s", u"6144 kb/s", u"5120 kb/s", u"4096 kb/s", u"3072 kb/s"}) out.push_back(rate);
  if (pictureClass == 720) out.push_back(u"2048 kb/s");
  return out;
}

void CIpcVideoPage::SetRateControl(int index) {
  rateControl = index;
  level = 1;
}

void CIpcVideoPage::Unpack() {
  frameRate = m_read[2] < kFrameRates ? m_read[2] : -1;
  rateControl = m_read[3] <= 1 ? m_read[3] : -1;
  level = m_read[4] < LevelEntries(rateControl).size() ? m_read[4] : -1;
}

bool CIpcVideoPage::Pack(std::vector<uint8_t>& out, uint32_t&) const {
  out = m_read;
  out[0] = 1;
  out[1] = 1;
  if (frameRate >= 0) out[2] = uint8_t(frameRate);
  if (rateControl >= 0) out[3] = uint8_t(rateControl);
  if (level >= 0) out[4] = uint8_t(level);
  return true;
}

// ---- picture --------------------------------------------------------------------------------

CIpcPicturePage::CIpcPicturePage() : CIpcRecordPage(IPC_GetPictureParam, IPC_SetPictureParam, kIpcPictureParamSize) {
  values.fill(kDefault);
}

void CIpcPicturePage::Unpack() {
  for (int i = 0; i < kValueCount; ++i) values[i] = plat::getLe32(&m_read[4 + 4 * i]);
}

bool CIpcPicturePage::Pack(std::vector<uint8_t>& out, uint32_t&) const {
  out = m_read;
  plat::putLe32(&out[0], 0);
  for (int i = 0; i < kValueCount; ++i) plat::putLe32(&out[4 + 4 * i], values[i]);
  return true;
}

bool CIpcPicturePage::Notify(std::vector<uint8_t>& out) {
  uint32_t unused = 0;
  if (!ReadOk()) return false;
  if (m_sending) {
    m_waiting = true;
    return false;
  }
  if (PrepareSave(out, unused) != IpcSaveResult::Saved) return false;
  m_sending = true;
  return true;
}

bool CIpcPicturePage::SendDone(const std::vector<uint8_t>& record, IpcSent sent, std::vector<uint8_t>& next) {
  m_sending = false;
  Sent(record, sent);
  if (!m_waiting) return false;
  m_waiting = false;
  return Notify(next);
}

// ---- audio ----------------------------------------------------------------------------------

namespace {
constexpr uint8_t kInputs[] = {0, 1};
constexpr uint8_t kChannels[] = {0, 1};
constexpr uint8_t kWidths[] = {8, 16};
constexpr uint8_t kRates[] = {8, 16, 24};
}  // namespace

CIpcAudioPage::CIpcAudioPage() : CIpcRecordPage(IPC_GetAudioParam, IPC_SetAudioParam, kIpcAudioParamSize) {}

void CIpcAudioPage::Unpack() {
  input = IndexOf(kInputs, m_read[1]);
  codec = IndexOf(kCodecs, m_read[2]);
  width = IndexOf(kWidths, m_read[3]);
  rate = IndexOf(kRates, m_read[4]);
  channels = IndexOf(kChannels, m_read[5]);
}

bool CIpcAudioPage::Pack(std::vector<uint8_t>& out, uint32_t&) const {
  out = m_read;
  out[0] = 0;
  PutIndexed(out, 1, kInputs, input);
  PutIndexed(out, 2, kCodecs, codec);
  PutIndexed(out, 3, kWidths, width);
  PutIndexed(out, 4, kRates, rate);
  PutIndexed(out, 5, kChannels, channels);
  return true;
}

// ---- PTZ ------------------------------------------------------------------------------------

CIpcPtzPage::CIpcPtzPage() : CIpcRecordPage(IPC_GetPtzParam, IPC_SetPtzParam, kIpcPtzParamSize) {}

void CIpcPtzPage::Unpack() {
  protocol = FieldText(m_read, 1, 32);
  address = m_read[33];
  speed = m_read[34];
}

bool CIpcPtzPage::Pack(std::vector<uint8_t>& out, uint32_t& refusal) const {
  out = m_read;
  if (address < 0 || address > 255) {
    refusal = IDS_IPC_RANGE_0_255;
    return false;
  }
  if (speed < 1 || speed > 255) {
    refusal = IDS_IPC_RANGE_1_255;
    return false;
  }
  if (!PutChangedText(out, 1, 32, protocol)) {
    refusal = IDS_IPC_TEXT_TOO_LONG;
    return false;
  }
  out[0] = 1;
  out[33] = uint8_t(address);
  out[34] = uint8_t(speed);
  return true;
}
