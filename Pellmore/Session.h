#pragma once
// What every page of the library shares: the session with the login handle and the queue its
// device exchanges run on, the library lock, the language word and the string loader, the
// live-view starter, and the few services tests replace (name resolution, message boxes, the
// modal window's run).
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "RecNet.h"

class QWidget;

namespace pellmore {

class SessionQueue;

struct DeviceSession {
  std::u16string ip;  // dotted IPv4 address after name resolution
  uint16_t port = 0;
  std::u16string user;
  std::u16string password;
  int32_t loginHandle = -1;
  SdkDeviceInfo deviceInfo{};  // filled by the login
  SessionQueue* queue = nullptr;  // where this session's device exchanges run

  // Queues a device exchange; it runs on the session's queue with the login handle.
  void Exchange(std::function<void(int32_t login)> exchange) const;
  void Set(const std::u16string& ipText, const std::u16string& userText,
           const std::u16string& passwordText, uint16_t portNumber);
  // The one device-information byte the video page is given.
  uint8_t VideoByte() const { return reinterpret_cast<const uint8_t*>(&deviceInfo)[56]; }
};

// Under the library lock: the session, made on first use.
DeviceSession* GetDeviceSession();
void ReleaseDeviceSession();

// The language word of the current call (9 English, anything else Chinese).
extern uint16_t g_LanguageId;
// Guards the session and the page slots of the configuration window.
std::recursive_mutex& ConfigLock();

// The text of a string id in the current language (the English text is kept under id +
// 2000); an id without an entry gives the empty text.
QString LoadLangString(uint32_t id);

// Starts live video of a channel (number from 1) into the window with the session's login: the live
// handle, negative on failure; -1 without a window.
int32_t StartChannelVideo(intptr_t window, const DeviceSession* session, int channel);
int32_t StartChannelVideo(intptr_t window, int32_t login, int channel);

// Waits (real time) until every device exchange queued so far has run, the logout of the last
// window included; false when that did not happen within `realMs`.
bool WaitForDeviceWork(int realMs);

// Name resolution: the IPv4 addresses of a host in dotted form (empty: unknown).
using Resolver = std::function<std::vector<std::string>(const std::string& host)>;
void SetResolver(Resolver resolver);  // empty: the system's resolver
std::vector<std::string> Resolve(const std::string& host);

// Message boxes with an OK button (text, caption; owner may be null).
using MessageBoxHandler =
    std::function<void(QWidget* owner, const QString& text, const QString& caption)>;
void SetMessageBoxHandler(MessageBoxHandler handler);  // empty: a real message box
void ShowMessage(QWidget* owner, const QString& text, const QString& caption = QString());

}  // namespace pellmore
