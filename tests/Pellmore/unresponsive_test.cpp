// A recorder that stops answering never holds up the caller's UI thread: the login waits in a
// dialog until the recorder answers (or the login's deadline ends it), the window opens at
// once with its pages marked as loading, Save says it is saving, and closing the window is
// immediate while the recorder still owes its answers (the logout follows on the session's
// queue). A timer on the UI thread keeps ticking all the while. The frozen recorder is the
// emulator program stopped with SIGSTOP; replies the in-process emulator holds back stand in
// for reads that do not come.
// The wait states are kept as screenshots when TARNWICK_SCREENSHOTS names a folder:
//   TARNWICK_SCREENSHOTS=$PWD/docs/screenshots build/bin/test_Pellmore --gtest_filter='Unresponsive.*'
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <sstream>

#include "fixture.h"
#include "plat/clock.h"
#include "support/Emulators.h"
#include "support/TestFolder.h"
#include "support/UiTicker.h"
#include "support/Wait.h"

using namespace pellmore_test;

namespace {

// Far above a tick, far below the four seconds a recorder may take to time out.
constexpr qint64 kFrozenMs = 1000;

// Runs `act` once, on the first tick at which the modal widget named `name` is up.
class WhenModal {
 public:
  WhenModal(const QString& name, std::function<void(QWidget*)> act) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this, name, act] {
      QWidget* m = QApplication::activeModalWidget();
      if (!m || m->objectName() != name) return;
      timer_.stop();
      act(m);
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

// Lets the UI thread run for `ms` (real time).
void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  WaitFor([&] { return t.elapsed() >= ms; }, ms + 1000);
}

// Lets the window run a second while the recorder owes its answer, keeps a picture of it,
// and closes it.
void WatchThenClose(pellmore::CDlgMain& w, const char* shot) {
  Pump(1000);
  Shot(&w, shot);
  Find<QPushButton>(&w, 2)->click();
}

// Device waits last ten times as long: a recorder that does not answer cannot time out while
// a test still looks at what the window shows meanwhile.
struct Unresponsive : ConfigTest {
  void SetUp() override {
    ConfigTest::SetUp();
    plat::setTimeScale(10);
  }
  void TearDown() override {
    recorder.Resume();
    ConfigTest::TearDown();
    plat::setTimeScale(1);
  }
  // The recorder program's requests of one command, from its log ("req <connection>
  // <command> ...").
  size_t Logged(uint32_t command) {
    size_t n = 0;
    for (const std::string& line : recorder.LogLines("req ")) {
      std::istringstream in(line);
      std::string req;
      int connection = 0;
      uint32_t code = 0;
      if (in >> req >> connection >> code && code == command) ++n;
    }
    return n;
  }
  testsupport::TestFolder folder;
  testsupport::EmulatorProcess recorder{testsupport::EmulatorProcess::kRecorder, folder.path()};
};

}  // namespace

TEST_F(Unresponsive, ALoginToAFrozenRecorderWaitsInADialogUntilTheRecorderAnswers) {
  ASSERT_TRUE(recorder.Start());
  ASSERT_TRUE(recorder.Freeze());
  testsupport::UiTicker beat;
  QString said;
  bool offersNoWayOut = false, stillWaiting = false;
  WhenModal wait(QStringLiteral("loginWait"), [&](QWidget* dialog) {
    said = dialog->findChild<QLabel*>(QStringLiteral("text"))->text();
    offersNoWayOut = dialog->findChildren<QPushButton*>().isEmpty();
    // Escape and the close box leave it waiting: the call answers whether the login went
    // through, and it has not ended.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog, &escape);
    dialog->close();
    Pump(1000);  // the recorder keeps silent; the UI thread does not
    stillWaiting = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
    Shot(dialog, "login_wait_zh");
    recorder.Resume();
  });
  pellmore::SetWindowHook([this](pellmore::CDlgMain& w) {
    windowShown = true;
    w.reject();
  });
  EXPECT_EQ(CF_Login(u"127.0.0.1", u"admin", u"12345", recorder.Port(), 4, 0), 1);
  EXPECT_TRUE(offersNoWayOut);
  EXPECT_TRUE(stillWaiting);
  EXPECT_TRUE(windowShown);
  EXPECT_EQ(said, QStringLiteral("正在登录设备 127.0.0.1 …"));
  EXPECT_LT(beat.LongestMs(), kFrozenMs);
  // The one login, given back when the window closed.
  EXPECT_TRUE(pellmore::WaitForDeviceWork(testsupport::kPatienceMs));
  EXPECT_TRUE(recorder.WaitForLog([&](const std::vector<std::string>&) { return Logged(2) == 1; }))
      << "the login was not logged out";
  EXPECT_EQ(Logged(1), 1u);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Unresponsive, TheWindowOpensAtOnceAndClosesWhileItsReadsAreOwed) {
  SeedRecords();
  emu.hold(62, true);  // the device-parameters read is not answered
  testsupport::UiTicker beat;
  bool loadingShown = false, saveOff = false, loadedEarly = true;
  QString title;
  pellmore::SetWindowHook([&](pellmore::CDlgMain& w) {
    windowShown = true;
    loadedEarly = w.Loaded();
    QWidget* loading = w.findChild<QWidget*>(QStringLiteral("loading"));
    loadingShown = loading && loading->isVisible();
    saveOff = !Find<QPushButton>(&w, 4001)->isEnabled();
    w.SelectItem(w.ItemFor(0x400));  // a page chosen meanwhile shows once its records are in
    title = Find<QLabel>(&w, 4002)->text();
    WatchThenClose(w, "loading_zh");
  });
  EXPECT_EQ(CF_Login(u"127.0.0.1", u"admin", u"12345", emu.port(), 4, 0), 1);
  EXPECT_TRUE(windowShown);
  EXPECT_FALSE(loadedEarly);
  EXPECT_TRUE(loadingShown);
  EXPECT_TRUE(saveOff);
  EXPECT_EQ(title, QStringLiteral("网络设置"));
  EXPECT_LT(beat.LongestMs(), kFrozenMs);
  EXPECT_FALSE(pellmore::WaitForDeviceWork(0)) << "closing waited for the reads";
  EXPECT_EQ(Count(2), 0u);
  // The owed answer comes: nothing more is read, and the login is given back.
  emu.releaseHeld();
  emu.hold(62, false);
  EXPECT_TRUE(pellmore::WaitForDeviceWork(testsupport::kPatienceMs));
  EXPECT_TRUE(emu.waitForRequests(2, 1, testsupport::ProductMsLasting()));
  EXPECT_EQ(Count(43), 0u) << "the network record was read after the window closed";

  // Opened again with the answer late but coming: the page chosen while loading appears.
  emu.hold(62, true);
  QString ip;
  pellmore::SetWindowHook([&](pellmore::CDlgMain& w) {
    w.SelectItem(w.ItemFor(0x400));
    emu.hold(62, false);  // answered when it comes, or now when it came
    emu.releaseHeld();
    EXPECT_TRUE(WaitFor([&] { return w.Loaded(); }));
    if (QWidget* page = w.PageOnShow()) ip = Find<QLineEdit>(page, 4080)->text();
    w.reject();
  });
  EXPECT_EQ(CF_Login(u"127.0.0.1", u"admin", u"12345", emu.port(), 4, 0), 1);
  EXPECT_EQ(ip, QStringLiteral("192.168.1.64"));
}

TEST_F(Unresponsive, SavingToARecorderThatFreezesSaysSoAndClosingDoesNotWait) {
  ASSERT_TRUE(recorder.Start());
  testsupport::UiTicker beat;
  bool savingShown = false, saveOff = false;
  QString status;
  pellmore::SetWindowHook([&](pellmore::CDlgMain& w) {
    windowShown = true;
    ASSERT_TRUE(WaitFor([&] { return w.Loaded(); }));
    QWidget* info = Select(w, 0x1);
    ASSERT_TRUE(recorder.Freeze());
    Find<QLineEdit>(info, 1410)->setText(QStringLiteral("Frozen"));
    Find<QPushButton>(&w, 4001)->click();
    savingShown = w.Saving();
    saveOff = !Find<QPushButton>(&w, 4001)->isEnabled();
    status = w.findChild<QLabel*>(QStringLiteral("status"))->text();
    WatchThenClose(w, "saving_zh");
  });
  EXPECT_EQ(CF_Login(u"127.0.0.1", u"admin", u"12345", recorder.Port(), 4, 0), 1);
  EXPECT_TRUE(windowShown);
  EXPECT_TRUE(savingShown);
  EXPECT_TRUE(saveOff);
  EXPECT_EQ(status, QStringLiteral("正在保存参数…"));
  EXPECT_LT(beat.LongestMs(), kFrozenMs);
  EXPECT_TRUE(messages.isEmpty()) << "a result was shown before the recorder answered";
  EXPECT_FALSE(pellmore::WaitForDeviceWork(0)) << "closing waited for the write";
  // Once the recorder runs again the write it owes goes through, and then the logout.
  recorder.Resume();
  EXPECT_TRUE(pellmore::WaitForDeviceWork(testsupport::kPatienceMs));
  EXPECT_TRUE(recorder.WaitForLog([&](const std::vector<std::string>&) { return Logged(2) == 1; }));
  EXPECT_EQ(Logged(63), 1u);
  EXPECT_TRUE(messages.isEmpty()) << "the window was gone: its result is not shown";
}
