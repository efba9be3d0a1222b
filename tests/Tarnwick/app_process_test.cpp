// The whole program in processes of its own (this test binary started again as a child):
// a second start is refused while the first runs, a start after the first ended runs, and
// a start with automatic login, closed through the confirmation, ends with nothing left; the
// log says when the window is up with its device tree filled.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <dirent.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "controls/BitmapButtonEx.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "shell/StringIds.h"
#include "shell/TarnwickApp.h"
#include "shell/TarnwickDlg.h"
#include "shell/User.h"
#include "shell/UserStore.h"
#include "shell/DbHelpers.h"
#include "shell/GuidString.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "support/TestFolder.h"
#include "view/SystemBridge.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildMode = "TARNWICK_APP_CHILD";

// Threads of the process, less the painting helpers Qt's raster engine keeps in its own pool
// (they fill long spans of large windows and end on Qt's own schedule).
int ThreadCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      n += name != "Thread (pooled)";
    }
    closedir(d);
  }
  return n;
}

// The child: runs the program's start and exit routines as main() does.
TEST(AppChild, Run) {
  const QByteArray mode = qgetenv(kChildMode);
  if (mode.isEmpty()) GTEST_SKIP() << "only as a child of AppProcess";
  const fs::path home = qgetenv("TARNWICK_HOME").toStdString();
  harness::ScopedScriptedUi ui;
  ui->boxAnswers = {IDOK, IDOK};
  int logins = 0;
  CTarnwickDlg::SetLoginRunner([&](int) { return ++logins, IDCANCEL; });

  // A data folder not made yet: the start makes it; the login is cancelled.
  if (mode == "fresh") {
    CTarnwickApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(logins, 1);
    EXPECT_TRUE(ui->boxes.empty()) << "nothing went wrong to tell";
    return;
  }
  // Automatic login as the administrator.
  ASSERT_EQ(CreateUserDatabase(), 1);
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    std::u16string identity;
    DeleteUserRow(db, TB_AUTO_LOGIN_USER, ADMIN_NAME);
    ASSERT_TRUE(InsertUserRow(db, TB_AUTO_LOGIN_USER, ADMIN_NAME, u"", identity));
    CloseDatabase(db);
  }

  bool closing = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CTarnwickDlg* main = CTarnwickDlg::MainWindow();
    if (!main || closing) return;
    if (!fs::exists(home / "ready")) std::ofstream(home / "ready") << "up\n";
    if (mode == "smoke" || mode == "unprotected" || fs::exists(home / "stop")) {
      closing = true;
      main->findChild<CBitmapButtonEx*>(QString::number(CTarnwickDlg::IDC_BntClose))->click();
    }
  });
  poll.start(20);

  const int threadsBefore = ThreadCount();
  {
    CTarnwickApp app;
    EXPECT_FALSE(app.InitInstance());
    // Texts in the language the start chose (the exit frees it).
    const std::u16string running = LoadResString(8290), notice = LoadResString(8381), confirm = LoadResString(8524);
    EXPECT_EQ(app.ExitInstance(), 0);
    if (mode == "second") {
      EXPECT_TRUE(app.Refused());
      ASSERT_EQ(ui->boxes.size(), 1u);
      EXPECT_EQ(ui->boxes[0].text, running);
      EXPECT_EQ(ui->boxes[0].caption, notice);
      EXPECT_EQ(ui->boxes[0].type, MB_OK);
    } else if (mode == "unprotected") {
      EXPECT_FALSE(app.Refused());
      ASSERT_EQ(ui->boxes.size(), 1u) << "a start without the lock says nothing of it";
      EXPECT_EQ(ui->boxes[0].text, confirm);
    } else {
      EXPECT_FALSE(app.Refused());
      ASSERT_EQ(ui->boxes.size(), 1u) << "only the close confirmation";
      EXPECT_EQ(ui->boxes[0].text, confirm);
      EXPECT_EQ(logins, 0) << "the automatic login needs no dialog";
    }
  }
  poll.stop();
  harness::Pump();
  EXPECT_EQ(MsgBufferPool(), nullptr);
  EXPECT_FALSE(SingletonAccess<CUser>::HasInstance());
  // Every thread the program started has ended (give the system a moment to reap them).
  for (int i = 0; i < 200 && ThreadCount() > threadsBefore; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_LE(ThreadCount(), threadsBefore);
}

class AppProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::NewTestFolder();
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);
  }
  void TearDown() override {
    for (QProcess* p : {&first_}) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(10000);
      }
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Start(QProcess& p, const char* mode, const fs::path& runtimeDir = {}, const fs::path& home = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildMode, mode);
    env.insert("TARNWICK_HOME", QString::fromStdString((home.empty() ? root_ / "home" : home).string()));
    env.insert("XDG_RUNTIME_DIR",
               QString::fromStdString((runtimeDir.empty() ? root_ / "run" : runtimeDir).string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TARNWICK_AUDIO", "null");
    env.insert("TARNWICK_LOG_LEVEL", "info");
    for (const QString& name : extraEnv_.keys()) env.insert(name, extraEnv_.value(name));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=AppChild.Run", "--gtest_brief=1"});
    ASSERT_TRUE(p.waitForStarted(30000));
  }
  // Exit code of a child that ends by itself; its output on failure.
  void ExpectClean(QProcess& p, const char* what) {
    ASSERT_TRUE(p.waitForFinished(180000)) << what << " did not end";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what;
    EXPECT_EQ(p.exitCode(), 0) << what << ":\n" << p.readAll().toStdString();
  }
  bool WaitFor(const fs::path& file, QProcess& p) {
    for (int i = 0; i < 1800 && p.state() != QProcess::NotRunning; ++i) {
      if (fs::exists(file)) return true;
      p.waitForFinished(100);
    }
    return fs::exists(file);
  }

  // A camera of one channel and a recorder of four in one region, in the child's Tarnwick.db.
  void SeedDevices() {
    const QByteArray previous = qgetenv("TARNWICK_HOME");
    setenv("TARNWICK_HOME", (root_ / "home").c_str(), 1);
    harness::ResetServices();
    {
      CDevMgrModel model;
      model.AddRegionNode(u"总部", u"R-1", u"");
      for (const auto& [name, host, channels, type] : {std::tuple{u"门口", u"127.0.0.1", 1, DEV_TYPE_IPC},
                                                        std::tuple{u"录像机", u"localhost", 4, DEV_TYPE_DVR}})
        ASSERT_TRUE(model.Devices()->Add(new CDevice(CDevInfo(name, host, 8000, u"admin", u"", channels, u"", u"",
                                                              u"", u"", 0, 0, type, MakeGuidString(), u"R-1"))));
      ASSERT_TRUE(model.SaveAll());
    }
    harness::ResetServices();
    if (previous.isEmpty()) unsetenv("TARNWICK_HOME");
    else setenv("TARNWICK_HOME", previous.constData(), 1);
  }

  fs::path root_;
  QProcess first_;
  QProcessEnvironment extraEnv_;
};

TEST_F(AppProcess, SecondStartRefusedThenAFreshStartRunsAndEndsClean) {
  Start(first_, "hold");
  ASSERT_TRUE(WaitFor(root_ / "home" / "ready", first_)) << first_.readAll().toStdString();

  // Files of the first instance's data folder and a folder the user chose, opened up to others
  // meanwhile: the refused second start leaves their modes alone.
  const fs::path users = root_ / "home" / "UserInfo.db", chosen = root_ / "home" / "Capture";
  fs::create_directories(chosen);
  std::ofstream(chosen / "snap.bmp") << "picture";
  for (const fs::path& p : {users, chosen / "snap.bmp"}) fs::permissions(p, fs::perms(0644), fs::perm_options::replace);
  fs::permissions(chosen, fs::perms(0755), fs::perm_options::replace);
  QProcess second;
  Start(second, "second");
  ExpectClean(second, "the refused second start");
  for (const fs::path& p : {users, chosen / "snap.bmp"})
    EXPECT_EQ(fs::status(p).permissions(), fs::perms(0644)) << p;
  EXPECT_EQ(fs::status(chosen).permissions(), fs::perms(0755));

  std::ofstream(root_ / "home" / "stop") << "stop\n";
  ExpectClean(first_, "the first instance");

  fs::remove(root_ / "home" / "ready");
  SeedDevices();
  QProcess third;
  Start(third, "smoke");
  ExpectClean(third, "a start after the first ended");
  EXPECT_TRUE(fs::exists(root_ / "home" / "ready")) << "the third start reached its main window";
  // The start's end in the log, once the window is up with its tree filled: the region, both
  // devices and their five channels.
  const std::string output = third.readAll().toStdString();
  EXPECT_NE(output.find("main window shown: 2 devices, 8 items in the device tree"), std::string::npos)
      << output;

  // Without a place for the instance lock (a file where the runtime folder and the home
  // should be, the temporary folder's name taken) the program runs unprotected, not refused,
  // and says so.
  fs::remove(root_ / "home" / "ready");
  std::ofstream(root_ / "a-file") << "no folder\n";
  fs::create_directories(root_ / "tmp");
  std::ofstream(root_ / "tmp" / ("tarnwick-" + std::to_string(geteuid()))) << "taken\n";
  extraEnv_.insert("HOME", QString::fromStdString((root_ / "a-file").string()));
  extraEnv_.insert("XDG_CACHE_HOME", "");
  extraEnv_.insert("TMPDIR", QString::fromStdString((root_ / "tmp").string()));
  QProcess unprotected;
  Start(unprotected, "unprotected", root_ / "a-file");
  ExpectClean(unprotected, "a start without an instance lock");
  EXPECT_TRUE(fs::exists(root_ / "home" / "ready"));
}

}  // namespace

TEST_F(AppProcess, ADataFolderNotThereYetIsMadeAtTheStart) {
  const fs::path home = root_ / "new" / "home";
  QProcess fresh;
  Start(fresh, "fresh", {}, home);
  ExpectClean(fresh, "a start on a data folder not made yet");
  EXPECT_TRUE(fs::is_directory(home));
  EXPECT_TRUE(fs::is_regular_file(home / "UserInfo.db")) << "the accounts are stored in it";
}
