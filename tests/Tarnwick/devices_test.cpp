#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "plat/clock.h"
#include "shell/DbHelpers.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

CDevInfo Info(const std::u16string& name, const std::u16string& ip, int type,
              const std::u16string& guid = u"G") {
  return CDevInfo(name, ip, 8000, u"admin", u"12345", 4, u"", u"", u"", u"", 0, 0, type,
                  guid + name, u"R");
}

size_t IndexOf(const std::string& what) {
  auto& j = fake::Journal();
  return static_cast<size_t>(std::find(j.begin(), j.end(), what) - j.begin());
}

struct DeviceModel : ::testing::Test {
  fake::Families families;
};

TEST_F(DeviceModel, IsLoggedInMakesTheLoginObjectWithoutLoggingInAndStreamServersGetNone) {
  CDevice d(Info(u"cam", u"127.0.0.1", 2));
  EXPECT_FALSE(d.IsLoggedIn());
  EXPECT_NE(d.GetUserLogin(0), nullptr);
  EXPECT_EQ(IndexOf("login.login"), fake::Journal().size());  // never asked to log in
  d.AddChannel(1);
  EXPECT_NE(d.GetChannel(1)->GetPreview(1), nullptr);  // the preview logs in on the way
  EXPECT_TRUE(d.IsLoggedIn());

  CDevice server(Info(u"sms", u"10.0.0.9", 3));
  EXPECT_EQ(server.GetUserLogin(1), nullptr);
  server.AddChannel(1);
  EXPECT_EQ(server.GetChannel(1)->GetPreview(1), nullptr);
  EXPECT_FALSE(server.IsLoggedIn());
  EXPECT_EQ(server.RebootDevice(), 0);
  EXPECT_EQ(server.GetAlarm(1), nullptr);
}

TEST_F(DeviceModel, ChannelsAreAddedOnceAndTakeTheAlarmState) {
  CDevice d(Info(u"dvr", u"127.0.0.2", 1));
  EXPECT_TRUE(d.AddChannel(5));
  EXPECT_FALSE(d.AddChannel(5));
  CChannel* extra = NewChannel(5, &d);
  EXPECT_FALSE(d.AddChannel(extra));
  delete extra;
  d.AddChannel(1);
  d.SetAlarmState(1);
  EXPECT_EQ(d.GetChannel(1)->GetAlarmFlag(), 1);
  EXPECT_EQ(d.GetChannel(5)->GetAlarmFlag(), 1);
  d.AddChannel(2);
  EXPECT_EQ(d.GetChannel(2)->GetAlarmFlag(), 0);
}

TEST_F(DeviceModel, ReleaseAllStopsRecordingThenPreviewThenPtzAndKeepsChannelAndLogin) {
  CDevice d(Info(u"dvr", u"127.0.0.2", 1));
  d.AddChannel(3);
  IDevPreview* p = d.GetChannel(3)->GetPreview(1);
  ASSERT_NE(p, nullptr);
  ASSERT_NE(d.GetChannel(3)->GetPtz(1), nullptr);
  p->StartPreview();
  p->StartRecord(0, "/tmp/x");
  EXPECT_EQ(d.IsBusy(), 1);
  ASSERT_NE(d.GetConfig(1), nullptr);
  ASSERT_NE(d.GetAlarm(1), nullptr);
  d.ReleaseAll();
  ASSERT_TRUE(harness::SettleDeviceWork());  // the device's objects go on its queue
  EXPECT_LT(IndexOf("preview.stoprecord.3"), IndexOf("preview.stop.3"));
  EXPECT_LT(IndexOf("preview.stop.3"), IndexOf("preview.delete.3"));
  EXPECT_LT(IndexOf("preview.delete.3"), IndexOf("ptz.delete"));
  EXPECT_LT(IndexOf("ptz.delete"), fake::Journal().size());
  EXPECT_EQ(d.GetChannel(3)->GetPtz(0), nullptr);
  EXPECT_TRUE(d.HasChannel(3));
  EXPECT_EQ(d.GetChannel(3)->GetPreview(0), nullptr);
  EXPECT_NE(d.GetUserLogin(0), nullptr);
  EXPECT_EQ(fake::Alive().configs, 0);
  EXPECT_EQ(fake::Alive().alarms, 0);
  EXPECT_EQ(d.IsBusy(), 0);
}

TEST_F(DeviceModel, DestructionReleasesChannelsThenConfigAlarmAndLoginLast) {
  {
    CDevice d(Info(u"dvr", u"127.0.0.2", 1));
    d.AddChannel(1);
    d.GetChannel(1)->GetPtz(1);
    d.GetConfig(1);
    d.GetAlarm(1);
  }
  EXPECT_LT(IndexOf("preview.delete.1"), IndexOf("ptz.delete"));  // each channel: preview, then PTZ
  EXPECT_LT(IndexOf("ptz.delete"), IndexOf("config.delete"));
  EXPECT_LT(IndexOf("config.delete"), IndexOf("alarm.delete"));
  EXPECT_LT(IndexOf("alarm.delete"), IndexOf("login.delete"));
  EXPECT_EQ(fake::Alive().logins + fake::Alive().previews + fake::Alive().ptzs, 0);
}

TEST_F(DeviceModel, DeletingTheChannelsOwnPreviewForgetsIt) {
  {
    CDevice d(Info(u"cam", u"127.0.0.1", 2));
    d.AddChannel(1);
    CChannel* ch = d.GetChannel(1);
    ASSERT_TRUE(ch->DeletePreview(ch->GetPreview(1)));
    EXPECT_EQ(ch->GetPreview(0), nullptr);
    EXPECT_FALSE(ch->IsPreviewing());
    EXPECT_EQ(fake::Alive().previews, 0);
  }
  // The channel's destruction does not delete the same preview a second time.
  EXPECT_EQ(std::count(fake::Journal().begin(), fake::Journal().end(), "preview.delete.1"), 1);
}

// GetPtz makes the channel's PTZ object over its preview, GetPtzWithNumber with the channel's
// number too; either getter then returns the one kept.
TEST_F(DeviceModel, EachPtzGetterMakesItsOwnKindAndBothKeepTheFirst) {
  struct Recording : fake::Family {
    std::vector<bool> numbered;
    Recording() : Family(2, 0x1000) {}
    IDevCtlPtz* MakePtz(IDevUserLogin* l, DevHandle h, long c, IDevPreview* p, bool withNumber) override {
      numbered.push_back(withNumber);
      return Family::MakePtz(l, h, c, p, withNumber);
    }
  } family;
  DevFamily* saved = SetDevFamily(2, &family);
  {
    CDevice d(Info(u"cam", u"127.0.0.1", 2));
    d.AddChannel(1);
    d.AddChannel(2);
    IDevCtlPtz* plain = d.GetChannel(1)->GetPtz(1);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(d.GetChannel(1)->GetPtzWithNumber(1), plain);
    ASSERT_NE(d.GetChannel(2)->GetPtzWithNumber(1), nullptr);
    EXPECT_EQ(family.numbered, (std::vector<bool>{false, true}));
  }
  SetDevFamily(2, saved);
}

TEST_F(DeviceModel, StreamTypeMakesAndKeepsThePreview) {
  CDevice d(Info(u"cam", u"127.0.0.1", 2));
  d.AddChannel(1);
  CChannel* ch = d.GetChannel(1);
  EXPECT_TRUE(ch->SetStreamType(1));
  ASSERT_NE(ch->GetPreview(0), nullptr);
  EXPECT_EQ(ch->GetPreview(0)->GetStreamType(), 1);
  EXPECT_EQ(ch->GetTransport(), 0);
}

struct DeviceList : ::testing::Test {
  fake::Families families;
  fs::path home;
  CDeviceManager* list = nullptr;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    list = CDeviceManager::GetInstance();
  }
  void TearDown() override {
    harness::ResetServices();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
};

TEST_F(DeviceList, AddRefusesDuplicateNamesAndHosts) {
  EXPECT_TRUE(list->Add(new CDevice(Info(u"A", u"1.1.1.1", 2))));
  CDevice sameName(Info(u"A", u"2.2.2.2", 2)), sameHost(Info(u"B", u"1.1.1.1", 2));
  EXPECT_FALSE(list->Add(&sameName));
  EXPECT_FALSE(list->Add(&sameHost));
  EXPECT_FALSE(list->Add(nullptr));
  EXPECT_TRUE(list->Add(new CDevice(Info(u"B", u"2.2.2.2", 4))));
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->GetList().back()->GetDevInfo().GetName(), u"B");
  EXPECT_EQ(list->FindDevice(u"A", 2), nullptr);
  EXPECT_EQ(list->FindDevice(u"GB", 1), list->GetList().back());
  EXPECT_EQ(list->FindDeviceByIP("2.2.2.2"), list->GetList().back());
  std::u16string text = u"unchanged";
  list->GetDeviceText(u"nope", text);
  EXPECT_EQ(text, u"unchanged");
  list->GetDeviceText(u"GA", text);
  EXPECT_EQ(text, u"A");
}

TEST_F(DeviceList, FindByLoginIdMakesLoginObjectsOnTheWaySkipsStreamServersAndNeverLogsIn) {
  list->Add(new CDevice(Info(u"sms", u"3.3.3.3", 3)));
  list->Add(new CDevice(Info(u"dvr", u"4.4.4.4", 1)));
  list->Add(new CDevice(Info(u"cam", u"4.4.4.5", 2)));
  CDevice* dvr = list->FindDevice(u"dvr", 0);
  CDevice* cam = list->FindDevice(u"cam", 0);
  EXPECT_EQ(list->FindDeviceByLoginId(-1), nullptr);
  EXPECT_EQ(dvr->GetUserLogin(0), nullptr);  // -1 touches no device
  EXPECT_EQ(list->FindDeviceByLoginId(5), nullptr);  // not logged in yet
  EXPECT_NE(dvr->GetUserLogin(0), nullptr);  // made on the way, for every device when none matches
  EXPECT_NE(cam->GetUserLogin(0), nullptr);
  EXPECT_EQ(list->FindDevice(u"sms", 0)->GetUserLogin(0), nullptr);
  EXPECT_EQ(IndexOf("login.login"), fake::Journal().size());
  dvr->GetUserLogin(1)->Login();
  EXPECT_EQ(list->FindDeviceByLoginId(5), dvr);
}

TEST_F(DeviceList, ChannelLookupsMakeChannelsOnce) {
  list->Add(new CDevice(Info(u"cam", u"5.5.5.5", 2)));
  CChannel* a = list->GetChannelByName(u"cam", 7);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(list->GetChannelByGuid(u"Gcam", 7), a);
  EXPECT_EQ(list->GetChannelPreviewByGuid(u"Gcam", 7, 0), nullptr);  // looking makes nothing
  EXPECT_NE(list->GetChannelPreviewByGuid(u"Gcam", 7), nullptr);
  EXPECT_EQ(list->GetChannelPreviewByGuid(u"Gcam", 7, 0), a->GetPreview(0));
  EXPECT_NE(list->GetChannelPtzByName(u"cam", 7), nullptr);
  EXPECT_EQ(list->GetChannelByName(u"none", 1), nullptr);
}

TEST_F(DeviceList, SaveAndLoadRoundTripQuotesAndChinese) {
  list->Add(new CDevice(Info(u"前门 'cam'", u"6.6.6.6", 2)));
  list->Add(new CDevice(Info(u"O\"Brien; DROP TABLE Tb_Device;--", u"host.example", 4)));
  ASSERT_TRUE(list->Save());
  harness::ResetServices();
  list = CDeviceManager::GetInstance();
  ASSERT_TRUE(list->Load());
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->GetList().front()->GetDevInfo().GetName(), u"前门 'cam'");
  EXPECT_EQ(list->GetList().back()->GetDevInfo().GetName(), u"O\"Brien; DROP TABLE Tb_Device;--");
  EXPECT_EQ(list->GetList().back()->GetDevInfo().GetPort(), 8000);
  EXPECT_EQ(list->GetList().back()->GetDevType(), 4);
}

// The narrow form of a text cannot hold every character; the list keeps the text as typed.
TEST_F(DeviceList, TextsOutsideTheNarrowCodePageSurviveTheListAndTheTable) {
  const std::u16string name = u"Caméra Köln \u2603 \U0001F3A5";
  const std::u16string pwd = u"p\u00F6ss\u2603";
  CDevInfo info = Info(name, u"7.7.7.7", 2);
  info.Pwd.SetWide(pwd);
  ASSERT_TRUE(list->Add(new CDevice(info)));
  EXPECT_EQ(list->GetList().front()->GetDevInfo().GetName(), name);
  EXPECT_NE(list->FindDevice(name, 0), nullptr);
  ASSERT_TRUE(list->Save());
  harness::ResetServices();
  list = CDeviceManager::GetInstance();
  ASSERT_TRUE(list->Load());
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->GetList().front()->GetDevInfo().GetName(), name);
  EXPECT_EQ(list->GetList().front()->GetDevInfo().GetPwd(), pwd);
}

TEST_F(DeviceList, LoadSkipsDuplicateRowsAndMissingTables) {
  EXPECT_TRUE(list->Load());  // no file yet: an empty list
  EXPECT_EQ(list->Count(), 0);
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, u"Tarnwick.db"), 1);
  ASSERT_EQ(ExecuteSql(db, CDeviceManager::kCreateTable), 1);
  // B repeats A's host, the second A its name, D the host of the device listed before.
  for (auto [name, ip] : {std::pair{u"A", u"1"}, std::pair{u"B", u"1"}, std::pair{u"A", u"3"},
                          std::pair{u"C", u"2"}, std::pair{u"D", u"9"}})
    ExecuteSql(db,
               u"insert into Tb_Device values(?, ?, 1, '', '', 4, '', '', '', '', 0, 0, 2, ?, 'R')",
               {std::u16string(name), std::u16string(ip), std::u16string(name)});
  db.Close();
  list->Add(new CDevice(Info(u"Z", u"9", 2)));
  ASSERT_TRUE(list->Load());
  std::vector<std::u16string> names;
  for (CDevice* d : list->GetList()) names.push_back(d->GetDevInfo().GetName());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Z", u"A", u"C"}));
}

TEST_F(DeviceList, AFailedSaveLeavesThePreviousTable) {
  list->Add(new CDevice(Info(u"A", u"1.1.1.1", 2)));
  ASSERT_TRUE(list->Save());
  // Another connection holds the database: the rewrite cannot start and nothing changes.
  CppSQLite3DB other;
  ASSERT_EQ(OpenDatabaseInProgramDir(other, u"Tarnwick.db"), 1);
  other.Execute(u"BEGIN EXCLUSIVE");
  list->Add(new CDevice(Info(u"B", u"2.2.2.2", 2)));
  plat::setTimeScale(0.001);  // the minute's wait for a busy database becomes 60 ms
  EXPECT_FALSE(list->Save());
  plat::setTimeScale(1.0);
  other.Execute(u"ROLLBACK");
  other.Close();
  {
    CppSQLite3DB check;
    OpenDatabaseInProgramDir(check, u"Tarnwick.db");
    EXPECT_EQ(check.ExecuteScalar(u"select count(*) from Tb_Device"), 1);
  }
  ASSERT_TRUE(list->Save());
  harness::ResetServices();
  list = CDeviceManager::GetInstance();
  list->Load();
  EXPECT_EQ(list->Count(), 2);
  // Saving an empty list leaves an empty table.
  harness::ResetServices();
  list = CDeviceManager::GetInstance();
  ASSERT_TRUE(list->Save());
  list->Load();
  EXPECT_EQ(list->Count(), 0);
}

}  // namespace

namespace {

// A device-layer thread looks devices up (by id, GUID and host: the look-ups that hold the
// list's lock) while the UI thread adds and removes others, and two threads ask for one
// channel's preview at once: each object is made once, and the list never changes under a
// look-up (the sanitizer build watches the accesses).
TEST_F(DeviceList, LookupsFromAnotherThreadWhileTheUiThreadAddsAndRemoves) {
  ASSERT_TRUE(list->Add(new CDevice(Info(u"cam", u"5.5.5.5", 2))));
  CDevice* dvr = new CDevice(Info(u"dvr", u"6.6.6.6", 1));
  ASSERT_TRUE(list->Add(dvr));
  dvr->GetUserLogin(1)->Login();  // login id 5

  std::atomic<bool> go{false}, stop{false};
  std::atomic<IDevPreview*> seen{nullptr};
  std::atomic<int> wrongGuid{0}, looks{0};
  std::thread library([&] {
    while (!go) std::this_thread::yield();
    // Made on first use here and on the UI thread at the same moment.
    seen = list->GetChannelPreviewByGuid(u"Gcam", 1, 1);
    while (!stop) {
      if (list->FindDeviceByLoginId(5) != dvr) ++wrongGuid;
      (void)list->FindDevice(u"Gchurn", 1);  // compared only, never kept
      (void)list->FindDeviceByIP("9.9.9.9");
      ++looks;
    }
  });
  go = true;
  IDevPreview* mine = list->GetChannelPreviewByGuid(u"Gcam", 1, 1);
  int churns = 0;
  // Bounded: at least 300 rounds, and on until the other thread has looked often enough.
  for (; churns < 300 || (looks < 50 && churns < 100000); ++churns) {
    CDevice* churn = new CDevice(Info(u"churn", u"9.9.9.9", 2));
    ASSERT_TRUE(list->Add(churn));
    churn->GetOrAddChannel(1)->GetPreview(1);
    CDevice twin(Info(u"churn", u"9.9.9.9", 2));
    EXPECT_FALSE(list->Add(&twin));
    ASSERT_TRUE(list->Remove(churn));
  }
  stop = true;
  library.join();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(seen.load(), mine);
  // The camera's preview once, and one per churned device.
  EXPECT_EQ(std::count(fake::Journal().begin(), fake::Journal().end(), "preview.make.1"),
            churns + 1);
  EXPECT_EQ(wrongGuid.load(), 0);
  EXPECT_EQ(list->Count(), 2);
}

}  // namespace
