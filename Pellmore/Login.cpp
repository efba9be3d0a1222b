// CF_Login: log in, show the configuration window, log out.
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "DlgMain.h"
#include "HCNetSDK.h"
#include "Hollin/CTChar.h"
#include "Pellmore/Pellmore.h"
#include "Session.h"

namespace pellmore {

namespace {

// One call at a time in the process: a second call (from the window's own loop, or another
// thread) is refused instead of sharing the one session.
std::atomic<bool> g_busy{false};

struct BusyGuard {
  bool owned = false;
  BusyGuard() {
    bool expected = false;
    owned = g_busy.compare_exchange_strong(expected, true);
  }
  ~BusyGuard() {
    if (owned) g_busy = false;
  }
};

// The three texts must fit their holders whole; a text that would be cut would log in with
// something the caller did not give.
bool FitsNarrow(const char* text) {
  return std::char_traits<char>::length(text) < CTChar::kNarrowSize;
}
bool FitsWide(const char16_t* text) {
  const size_t n = std::char_traits<char16_t>::length(text);
  if (n >= CTChar::kWideSize) return false;
  return plat::utf16ToGbk(std::u16string_view(text, n)).size() < CTChar::kNarrowSize;
}

int Login(const CTChar& host, const CTChar& user, const CTChar& password, uint16_t port,
          uint16_t language) {
  g_LanguageId = language;
  DeviceSession* session = GetDeviceSession();
  if (!session) return 0;
  const std::vector<std::string> addresses = Resolve(host.GetNarrow());
  if (addresses.empty()) return 0;
  // The last address of the list is the one used.
  const CTChar ip(addresses.back().c_str());
  session->Set(ip.Wide(), user.Wide(), password.Wide(), port);
  session->loginHandle = NET_DVR_Login(ip.GetNarrow(), port, user.GetNarrow(),
                                       password.GetNarrow(), &session->deviceInfo);
  int result = 0;
  if (session->loginHandle >= 0) {
    auto window = std::make_unique<CDlgMain>(session);
    if (auto hook = WindowHook()) {
      CDlgMain* w = window.get();
      QTimer::singleShot(0, w, [w, hook] { hook(*w); });
    }
    window->exec();
    window.reset();
    result = 1;
  }
  if (session->loginHandle >= 0) NET_DVR_Logout(session->loginHandle);
  ReleaseDeviceSession();
  return result;
}

}  // namespace
}  // namespace pellmore

int CF_Login(const char16_t* host, const char16_t* user, const char16_t* password, uint16_t port,
             uint16_t language, uint32_t /*reserved*/) {
  pellmore::BusyGuard guard;
  if (!guard.owned || !host || !user || !password) return 0;
  if (!pellmore::FitsWide(host) || !pellmore::FitsWide(user) || !pellmore::FitsWide(password))
    return 0;
  return pellmore::Login(CTChar(host), CTChar(user), CTChar(password), port, language);
}

int CF_Login(const char* host, const char* user, const char* password, uint16_t port,
             uint16_t language, uint32_t /*reserved*/) {
  pellmore::BusyGuard guard;
  if (!guard.owned || !host || !user || !password) return 0;
  if (!pellmore::FitsNarrow(host) || !pellmore::FitsNarrow(user) ||
      !pellmore::FitsNarrow(password))
    return 0;
  return pellmore::Login(CTChar(host), CTChar(user), CTChar(password), port, language);
}
