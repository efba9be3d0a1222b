#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "harness/Services.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "shell/FileFindEx.h"
#include "shell/Singleton.h"
#include "shell/WaitEvent.h"
#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

struct Walk : ::testing::Test {
  fs::path root;
  std::vector<std::pair<std::u16string, uint32_t>> found;
  void SetUp() override {
    root = testsupport::NewTestFolder();
    fs::create_directories(root / "a" / "b");
    fs::create_directories(root / "empty");
    std::ofstream(root / "top.avi") << "12345";
    std::ofstream(root / "a" / "mid.avi") << "1";
    std::ofstream(root / "a" / "b" / "deep.avi") << "";
  }
  void TearDown() override { fs::remove_all(root); }
  static void Collect(std::u16string path, uint32_t size, void* user) {
    static_cast<Walk*>(user)->found.emplace_back(std::move(path), size);
  }
};

TEST_F(Walk, ReportsEveryFileWithSizeWithOrWithoutFinalSeparatorAndNoneOfAMissingFolder) {
  CFileFindEx f;
  f.SetCallback(&Walk::Collect, this);
  std::u16string dir(root.u16string());
  EXPECT_EQ(f.FindFiles(dir), 1);
  std::set<std::pair<std::u16string, uint32_t>> a(found.begin(), found.end());
  found.clear();
  EXPECT_EQ(f.FindFiles(dir + u"/"), 1);
  std::set<std::pair<std::u16string, uint32_t>> b(found.begin(), found.end());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.size(), 3u);
  EXPECT_TRUE(a.count({dir + u"/top.avi", 5}));
  EXPECT_TRUE(a.count({dir + u"/a/b/deep.avi", 0}));

  found.clear();
  EXPECT_EQ(f.FindFiles(u"/no/such/folder"), 1);  // a complete walk, of nothing
  EXPECT_TRUE(found.empty());
}

TEST_F(Walk, DriveLetterFoldersAreReportedInTheirOwnForm) {
  setenv("TARNWICK_DRIVES", root.c_str(), 1);
  plat::resetDriveMap();
  CFileFindEx f;
  f.SetCallback(&Walk::Collect, this);
  EXPECT_EQ(f.FindFiles(u"C:\\a"), 1);
  std::set<std::u16string> names;
  for (auto& [p, s] : found) names.insert(p);
  EXPECT_EQ(names, (std::set<std::u16string>{u"C:\\a\\mid.avi", u"C:\\a\\b\\deep.avi"}));
  unsetenv("TARNWICK_DRIVES");
  plat::resetDriveMap();
}

TEST_F(Walk, StopInsideASubFolderEndsTheWholeWalk) {
  struct Ctx {
    CFileFindEx* f;
    int afterStop = 0;
    bool stopped = false;
  } ctx;
  CFileFindEx f;
  ctx.f = &f;
  f.SetCallback(
      [](std::u16string, uint32_t, void* u) {
        auto* c = static_cast<Ctx*>(u);
        if (c->stopped) ++c->afterStop;
        c->stopped = true;
        c->f->Stop();
      },
      &ctx);
  EXPECT_EQ(f.FindFiles(root.u16string()), 0);
  EXPECT_EQ(ctx.afterStop, 0);
  EXPECT_EQ(f.FindFiles(root.u16string()), 0);  // a stopped walker stays stopped
}

TEST(WaitEvent, AutoResetGateLetsOneSearchThrough) {
  plat::setTimeScale(0.1);
  CWaitEvent gate(false, true);
  EXPECT_TRUE(gate.Wait(10));
  EXPECT_FALSE(gate.Wait(10));
  gate.Set();
  EXPECT_TRUE(gate.Wait(10));
  plat::setTimeScale(1.0);
}

struct Counted {
  static inline std::atomic<int> made{0};
  Counted() {
    ++made;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // widen the race window
  }
};

TEST(Singleton, RacingFirstUsesMakeOneObject) {
  std::vector<std::thread> ts;
  std::vector<Counted*> seen(16);
  for (int i = 0; i < 16; ++i)
    ts.emplace_back([&, i] { seen[i] = SingletonAccess<Counted>::GetInstance(); });
  for (auto& t : ts) t.join();
  EXPECT_EQ(Counted::made.load(), 1);
  for (auto* p : seen) EXPECT_EQ(p, seen[0]);
  SingletonAccess<Counted>::ReleaseInstance();
  EXPECT_FALSE(SingletonAccess<Counted>::HasInstance());
}

// A use after the release is reported (the program still gets an object); after a renewal
// the service is made again without a word.
TEST(Singleton, UseAfterReleaseIsReportedUntilRenewed) {
  static std::atomic<int> reports{0};
  reports = 0;
  SingletonAccess<Counted>::Renew();  // whatever an earlier test left
  SingletonAccess<Counted>::GetInstance();
  SingletonAccess<Counted>::ReleaseInstance();
  SetServiceMisuseHandler([](const char*) { ++reports; });
  const int made = Counted::made.load();
  EXPECT_NE(SingletonAccess<Counted>::GetInstance(), nullptr);
  EXPECT_EQ(reports.load(), 1);
  EXPECT_EQ(SingletonAccess<Counted>::GetInstance(), SingletonAccess<Counted>::GetInstance());
  EXPECT_EQ(reports.load(), 1) << "only the making is reported";
  SingletonAccess<Counted>::ReleaseInstance();
  SingletonAccess<Counted>::Renew();
  EXPECT_NE(SingletonAccess<Counted>::GetInstance(), nullptr);
  EXPECT_EQ(reports.load(), 1);
  EXPECT_EQ(Counted::made.load(), made + 2);
  SingletonAccess<Counted>::ReleaseInstance();
  SingletonAccess<Counted>::Renew();
  SetServiceMisuseHandler(&harness::FailServiceMisuse);
}

}  // namespace
