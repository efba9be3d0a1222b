// CF_Login: log in, show the configuration window, log out.
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "CTChar.h"
#include "DlgMain.h"
#include "RecNet.h"
#include "LoginWait.h"
#include "Pellmore/Pellmore.h"
#include "Session.h"
#include "SessionQueue.h"

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

// The session's queue: made at each login, after the previous session's, whose remaining
// work (its logout) it runs first; the last one is joined when the library is unloaded.
std::unique_ptr<SessionQueue>& LastQueue() {
  static std::unique_ptr<SessionQueue> queue;
  return queue;
}
std::mutex g_queueMutex;

SessionQueue* NewQueue() {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  auto& last = LastQueue();
  last = std::make_unique<SessionQueue>(std::move(last));
  return last.get();
}

// What the login job hands to the UI thread, or logs out itself once nobody waits for it.
struct LoginAttempt {
  std::mutex mutex;
  bool cancelled = false;
  bool done = false;
  std::string ip;  // the address logged in to; empty when the host did not resolve
  int32_t handle = -1;
  SdkDeviceInfo info{};
};

// Resolves and logs in on the queue while the wait shows, and the session takes the address
// and the login. Should the wait end without it (the application quitting under it), a login
// that still goes through is given back on the queue.
void LogInOnQueue(SessionQueue& queue, DeviceSession& session, const CTChar& host,
                  const CTChar& user, const CTChar& password, uint16_t port) {
  auto attempt = std::make_shared<LoginAttempt>();
  CDlgLoginWait wait(QString::fromStdU16String(host.Wide()));
  queue.Post([attempt, mailbox = wait.Mailbox(), host = std::string(host.GetNarrow()),
              user = std::string(user.GetNarrow()), password = std::string(password.GetNarrow()),
              port, &wait] {
    // The last address of the list is the one used.
    const std::vector<std::string> addresses = Resolve(host);
    const std::string ip = addresses.empty() ? std::string() : addresses.back();
    SdkDeviceInfo info{};
    const int32_t handle =
        ip.empty() ? -1 : RecNet_Login(ip.c_str(), port, user.c_str(), password.c_str(), &info);
    {
      std::lock_guard<std::mutex> lock(attempt->mutex);
      if (!attempt->cancelled) {
        attempt->done = true;
        attempt->ip = ip;
        attempt->handle = handle;
        attempt->info = info;
        // Runs only while the wait lives (the mailbox is closed with it).
        mailbox->Post([&wait] { wait.Finished(); });
        return;
      }
    }
    if (handle >= 0) RecNet_Logout(handle);  // nobody waits for this login any more
  });
  const bool finished = wait.Run();
  std::lock_guard<std::mutex> lock(attempt->mutex);
  attempt->cancelled = !finished;
  if (!finished) {
    // The login went through just as the wait was ended.
    if (attempt->done && attempt->handle >= 0)
      queue.Post([handle = attempt->handle] { RecNet_Logout(handle); });
    return;
  }
  if (attempt->ip.empty()) return;
  const CTChar ip(attempt->ip.c_str());
  session.Set(ip.Wide(), user.Wide(), password.Wide(), port);
  session.loginHandle = attempt->handle;
  session.deviceInfo = attempt->info;
}

int Login(const CTChar& host, const CTChar& user, const CTChar& password, uint16_t port,
          uint16_t language) {
  g_LanguageId = language;
  DeviceSession* session = GetDeviceSession();
  if (!session) return 0;
  SessionQueue* queue = NewQueue();
  session->queue = queue;
  // The recorder library is the program's: its start-up started it, and its end cleans it up.
  LogInOnQueue(*queue, *session, host, user, password, port);
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
    // The logout runs after what the window left queued; the user does not wait for it.
    session->Exchange([](int32_t login) { RecNet_Logout(login); });
  }
  queue->Finish();
  ReleaseDeviceSession();
  return result;
}

}  // namespace

bool WaitForDeviceWork(int realMs) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  return !LastQueue() || LastQueue()->WaitIdle(realMs);
}

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
