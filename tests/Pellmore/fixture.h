#pragma once
// A recorder emulator on 127.0.0.1 with the recorder SDK started (as the program's device
// layer does), message boxes answered and recorded, and helpers to drive the window that
// CF_Login opens. The window reads and writes on its own queue: the helpers wait (pumping
// events, bounded in real time) for what it reads to arrive and for a Save to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "DlgMain.h"
#include "RecNet.h"
#include "Pellmore/Pellmore.h"
#include "Session.h"
#include "dvremu/emulator.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace pellmore_test {

// Lets the UI thread run until `done` holds; false when it did not within `ms` (real time).
inline bool WaitFor(const std::function<bool()>& done, int ms = 30000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

// Saves a screenshot of `w` as pellmore_<name>.png when TARNWICK_SCREENSHOTS names a folder.
inline void Shot(QWidget* w, const char* name) {
  const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
  if (!dir.isEmpty()) w->grab().save(QStringLiteral("%1/pellmore_%2.png").arg(dir, name));
}

// The device exchanges queued so far have run (their results are handed to the UI thread).
inline bool DeviceWorkDone() {
  const bool idle = WaitFor([] { return pellmore::WaitForDeviceWork(0); });
  QCoreApplication::processEvents();  // what they handed back
  return idle;
}

struct ConfigTest : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(RecNet_Init(), 1);
    ASSERT_TRUE(emu.start());
    pellmore::SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& caption) {
      messages.push_back(text);
      captions.push_back(caption);
      if (onMessage) onMessage(text);
    });
    // No test ever asks a real name server.
    pellmore::SetResolver([](const std::string& host) -> std::vector<std::string> {
      if (host == "recorder.test") return {"127.0.0.9", "127.0.0.1"};
      return {};
    });
  }
  void TearDown() override {
    // The last window's logout (and anything it left queued) ends before the SDK does.
    EXPECT_TRUE(pellmore::WaitForDeviceWork(30000));
    pellmore::SetWindowHook({});
    pellmore::SetMessageBoxHandler({});
    pellmore::SetResolver({});
    emu.stop();
    RecNet_Cleanup();
  }

  // Runs CF_Login against the emulator; `drive` works the window once its records have
  // arrived, and the window is closed after it.
  int Open(const std::function<void(pellmore::CDlgMain&)>& drive, uint16_t language = 4,
           const char16_t* host = u"127.0.0.1", const char16_t* password = u"12345") {
    windowShown = false;
    pellmore::SetWindowHook([this, drive](pellmore::CDlgMain& w) {
      windowShown = true;
      EXPECT_TRUE(WaitFor([&] { return w.Loaded(); })) << "the records never arrived";
      if (drive && w.Loaded()) drive(w);
      w.reject();
    });
    const int result = CF_Login(host, u"admin", password, emu.port(), language, 0);
    // What the window left queued (an immediate write, the logout) has reached the recorder.
    EXPECT_TRUE(pellmore::WaitForDeviceWork(30000));
    return result;
  }

  // The emulator's network, DDNS and NTP records as a configured recorder keeps them (wire
  // layouts of the recorder protocol).
  void SeedRecords() {
    std::vector<uint8_t> net(952, 0);
    Text(net, 0, "192.168.1.64");
    Text(net, 144, "255.255.255.0");
    dvremu::put32(&net[288], 8000);
    Text(net, 292, "00:40:30:aa:bb:cc");
    Text(net, 316, "192.168.1.1");
    Text(net, 468, "dialer");
    Text(net, 500, "secret");
    Text(net, 660, "192.168.1.2");
    dvremu::put32(&net[948], 80);
    emu.services().setConfigRecord(43, 0, net);
    std::vector<uint8_t> ddns(84, 0);
    Text(ddns, 4, "ddnsuser");
    Text(ddns, 36, "ddnspass");
    emu.services().setConfigRecord(46, 0, ddns);
    std::vector<uint8_t> ntp(76, 0);
    Text(ntp, 0, "ntp.recorder.test");
    dvremu::put32(&ntp[68], 123);
    emu.services().setConfigRecord(44, 0, ntp);
  }
  static void Text(std::vector<uint8_t>& r, size_t at, const std::string& s) {
    std::copy(s.begin(), s.end(), r.begin() + static_cast<long>(at));
  }
  static std::string TextAt(const std::vector<uint8_t>& r, size_t at, size_t size) {
    std::string s(reinterpret_cast<const char*>(&r[at]), size);
    return s.substr(0, s.find('\0'));
  }

  // Configuration writes the emulator received, by wire code.
  std::map<uint32_t, size_t> Writes() const {
    static const std::set<uint32_t> writeCodes = {39, 40, 42, 45, 47, 49, 51, 53, 55,
                                                  57, 59, 61, 63, 64, 67, 69, 71};
    std::map<uint32_t, size_t> out;
    for (const dvremu::Request& r : emu.requests())
      if (writeCodes.count(r.command)) ++out[r.command];
    return out;
  }

  // Configuration requests of one wire code.
  size_t Count(uint32_t code) const { return emu.requests(code).size(); }
  std::vector<uint8_t> Stored(uint32_t readCode, uint32_t channel = 0) {
    return emu.services().configRecord(readCode, channel);
  }

  dvremu::Emulator emu;
  QStringList messages, captions;
  std::function<void(const QString&)> onMessage;
  bool windowShown = false;
};

template <class W>
W* Find(QWidget* root, int id) {
  return root->findChild<W*>(QString::number(id));
}

// Shows a page as a click on its tree item does; the page on show.
inline QWidget* Select(pellmore::CDlgMain& w, uint32_t bit) {
  w.SelectItem(w.ItemFor(bit));
  EXPECT_NE(w.PageOnShow(), nullptr) << bit;
  return w.PageOnShow();
}

// Clicks Save and waits until the Save has ended (its summary shown, when it wrote).
inline void Save(pellmore::CDlgMain& w) {
  Find<QPushButton>(&w, 4001)->click();
  EXPECT_TRUE(WaitFor([&] { return !w.Saving(); })) << "the Save never ended";
}

// Runs `work` on the modal dialog that the next action opens.
inline void OnNextModal(std::function<void(QWidget*)> work) {
  QTimer::singleShot(0, [work] {
    if (QWidget* m = QApplication::activeModalWidget()) work(m);
  });
}

}  // namespace pellmore_test
