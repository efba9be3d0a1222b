#include "FaultSteps.h"

#include "harness/DeviceWorkWait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "devices/DeviceManager.h"
#include "shell/TarnwickDlg.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

CDlgPreview* FaultJourney::ShowLivePage() {
  EXPECT_TRUE(PressPageButton(CTarnwickDlg::IDC_BtnPreview, LivePage()));
  return LivePage();
}

QTreeWidgetItem* FaultJourney::ChannelNode(const QString& device, int channel) {
  QTreeWidget* tree = LivePage()->GetDeviceTree();
  QTreeWidgetItem* node = nullptr;
  WaitUntil([&] { return (node = ChannelItem(tree, device.toStdU16String(), channel)) != nullptr; });
  EXPECT_NE(node, nullptr) << device.toStdString() << " has no channel " << channel;
  return node;
}

void FaultJourney::OpenInWindow(const QString& device, int channel, int window) {
  CDlgPreview* page = ShowLivePage();
  Click(page->GetPlayScreen()->GetWnd(window));
  EXPECT_EQ(page->GetPlayScreen()->GetActiveIndex(), window);
  QTreeWidgetItem* node = ChannelNode(device, channel);
  if (!node) return;
  if (node->parent()) node->parent()->setExpanded(true);
  DoubleClickItem(page->GetDeviceTree(), node);
  // The open runs on the device's queue: back once the device answered or its time ran out
  // (a journey about a device that hangs looks at the window meanwhile instead).
  if (settleAfterInput_) {
    EXPECT_TRUE(harness::SettleDeviceWork());
  }
}

std::vector<std::filesystem::path> FaultJourney::Recordings(char drive, const char* extension) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(Drive(drive), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->path().extension() == extension) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  return files;
}

uint64_t FaultJourney::BytesOn(char drive, const char* extension) {
  uint64_t n = 0;
  std::error_code ec;
  for (const std::filesystem::path& p : Recordings(drive, extension)) n += std::filesystem::file_size(p, ec);
  return n;
}

bool FaultJourney::Recording(const QString& device, int channel) {
  CDevice* d = CDeviceManager::GetInstance()->FindDevice(device.toStdU16String(), 0);
  return d && d->GetChannel(channel) && d->GetChannel(channel)->IsRecording();
}

// ---- the garbage recorder

namespace {

constexpr uint32_t kMagic = 0x0ABCDEF0;
constexpr uint32_t kLogin = 1;

bool ReadFull(int fd, void* to, size_t n) {
  auto* p = static_cast<uint8_t*>(to);
  while (n > 0) {
    const ssize_t r = ::recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

void SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> Header(uint32_t command, uint32_t length, uint32_t handle, uint32_t status) {
  std::vector<uint8_t> h(20);
  const uint32_t words[5] = {kMagic, command, length, handle, status};
  std::memcpy(h.data(), words, sizeof words);
  return h;
}

}  // namespace

GarbageRecorder::~GarbageRecorder() {
  stopping_ = true;
  if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);
  {
    std::lock_guard<std::mutex> lk(mutex_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }
  if (acceptor_.joinable()) acceptor_.join();
  for (auto& t : servers_) t.join();
  for (int fd : open_) ::close(fd);
  if (listener_ >= 0) ::close(listener_);
}

bool GarbageRecorder::Start() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return false;
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] {
    while (!stopping_) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      ++connections_;
      std::lock_guard<std::mutex> lk(mutex_);
      open_.push_back(fd);
      servers_.emplace_back([this, fd] { Serve(fd); });
    }
  });
  return true;
}

std::vector<uint32_t> GarbageRecorder::Commands() {
  std::lock_guard<std::mutex> lk(mutex_);
  return commands_;
}

void GarbageRecorder::Serve(int fd) {
  for (;;) {
    uint32_t h[5];
    if (!ReadFull(fd, h, sizeof h) || h[0] != kMagic || h[2] > 40000) break;
    std::vector<uint8_t> payload(h[2]);
    if (!payload.empty() && !ReadFull(fd, payload.data(), payload.size())) break;
    {
      std::lock_guard<std::mutex> lk(mutex_);
      commands_.push_back(h[1]);
    }
    const Mode mode = mode_;
    if (mode == kSilent) continue;
    if (mode == kLoginThenGarbage && h[1] == kLogin) {
      // A correct reply: serial number, then the description (4 channels, first channel 1).
      std::vector<uint8_t> reply = Header(h[1], 72, h[3], 200);
      std::vector<uint8_t> body(72);
      std::memcpy(body.data(), "GARBAGE-DVR", 11);
      body[48 + 4] = 4;
      body[48 + 5] = 1;
      reply.insert(reply.end(), body.begin(), body.end());
      SendAll(fd, reply);
      continue;
    }
    std::vector<uint8_t> answer;
    switch (mode) {
      case kOversized: answer = Header(h[1], 0x7FFFFFF0u, h[3], 200); break;
      case kCutShort:
        answer = Header(h[1], 72, h[3], 200);
        answer.resize(answer.size() + 10, 0x33);  // 10 of the 72 bytes, then the end
        break;
      default:
        for (int i = 0; i < 300; ++i) answer.push_back(static_cast<uint8_t>(i * 37 + 11));
        break;
    }
    SendAll(fd, answer);
    break;
  }
  ::shutdown(fd, SHUT_RDWR);
}
