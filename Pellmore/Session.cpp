#include "Session.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <QMessageBox>
#include <memory>

#include "SessionQueue.h"
#include "plat/log.h"
#include "plat/socket.h"

// The library's string table: Chinese and English columns of the strings file (generated).
const char16_t* PellmoreStringsZh(uint32_t id);
const char16_t* PellmoreStringsEn(uint32_t id);
const char16_t* PellmoreAddedZh(uint32_t id);
const char16_t* PellmoreAddedEn(uint32_t id);

namespace pellmore {

uint16_t g_LanguageId = 4;

namespace {

std::unique_ptr<DeviceSession> g_session;
std::mutex g_hooksMutex;
Resolver g_resolver;
MessageBoxHandler g_messageBox;

}  // namespace

std::recursive_mutex& ConfigLock() {
  static std::recursive_mutex lock;
  return lock;
}

void DeviceSession::Set(const std::u16string& ipText, const std::u16string& userText,
                        const std::u16string& passwordText, uint16_t portNumber) {
  ip = ipText;
  user = userText;
  password = passwordText;
  port = portNumber;
}

void DeviceSession::Exchange(std::function<void(int32_t login)> exchange) const {
  if (!queue) return;
  queue->Post([login = loginHandle, exchange = std::move(exchange)] { exchange(login); });
}

DeviceSession* GetDeviceSession() {
  std::lock_guard<std::recursive_mutex> lock(ConfigLock());
  if (!g_session) g_session = std::make_unique<DeviceSession>();
  return g_session.get();
}

void ReleaseDeviceSession() {
  std::lock_guard<std::recursive_mutex> lock(ConfigLock());
  g_session.reset();
}

QString LoadLangString(uint32_t id) {
  const uint32_t key = g_LanguageId == 9 ? id + 2000 : id;
  // The library's first texts and those added later in the program's range, alike.
  auto zh = [](uint32_t k) {
    const char16_t* t = PellmoreStringsZh(k);
    return t ? t : PellmoreAddedZh(k);
  };
  auto en = [](uint32_t k) {
    const char16_t* t = PellmoreStringsEn(k);
    return t ? t : PellmoreAddedEn(k);
  };
  const char16_t* text = zh(key);
  if (!text && key >= 2000) text = en(key - 2000);
  return text ? QString::fromUtf16(text) : QString();
}

int32_t StartChannelVideo(intptr_t window, const DeviceSession* session, int channel) {
  if (!session) return -1;
  return StartChannelVideo(window, session->loginHandle, channel);
}

int32_t StartChannelVideo(intptr_t window, int32_t login, int channel) {
  if (!window) return -1;
  SdkClientInfo client{};
  client.channel = channel;
  client.linkMode = 0;
  client.window = window;
  client.multicastIP = nullptr;
  return RecNet_RealPlay(login, &client, nullptr, nullptr, 1);
}

void SetResolver(Resolver resolver) {
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  g_resolver = std::move(resolver);
}

std::vector<std::string> Resolve(const std::string& host) {
  in_addr dotted{};
  if (inet_pton(AF_INET, host.c_str(), &dotted) == 1) return {host};
  Resolver r;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    r = g_resolver;
  }
  return r ? r(host) : plat::resolveIPv4All(host);
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  g_messageBox = std::move(handler);
}

void ShowMessage(QWidget* owner, const QString& text, const QString& caption) {
  MessageBoxHandler h;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    h = g_messageBox;
  }
  if (h) {
    h(owner, text, caption);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace pellmore
