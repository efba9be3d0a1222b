// The parameter engine without widgets, and through the window where a page is involved:
// failed reads are never written back, failed writes are retried, failures are listed by
// member, and the channel picker reaches every channel.
#include <QCheckBox>
#include <QListWidget>

#include "DlgCopyTo.h"
#include "Engine.h"
#include "fixture.h"

using namespace pellmore_test;

namespace {

struct EngineTest : ConfigTest {
  void SetUp() override {
    ConfigTest::SetUp();
    SdkDeviceInfo info{};
    login = RecNet_Login("127.0.0.1", emu.port(), "admin", "12345", &info);
    ASSERT_GE(login, 0);
  }
  void TearDown() override {
    RecNet_Logout(login);
    ConfigTest::TearDown();
  }
  int32_t login = -1;
};

}  // namespace

TEST_F(EngineTest, FailedChannelWritesAreListedAndRetriedUntilTheyGoThrough) {
  pellmore::ConfigEngine engine(login);
  engine.LoadAllParams();
  pellmore::ConfigRecords& r = engine.Records();
  ASSERT_EQ(r.ChannelCount(), 4);
  ASSERT_EQ(r.AlarmInCount(), 4);
  for (int c : {0, 3}) {
    r.channels[static_cast<size_t>(c)].compression.changed = true;
    r.channels[static_cast<size_t>(c)].compression.bytes[4] = static_cast<uint8_t>(0x40 + c);
    emu.services().failConfig(59, c, true);  // compression writes of channels 0 and 3
  }
  r.channels[1].schedule.changed = true;
  r.alarmIn[2].changed = true;
  emu.services().failConfig(69, 2, true);
  EXPECT_EQ(engine.SendChangedParams(),
            QStringLiteral("报警输入设置失败，失败的报警输入号为：03 \n"
                           "压缩参数设置失败，失败的通道号为：01 04 \n"));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{59, 2}, {57, 1}, {69, 1}}));
  // Nothing new edited: the failed ones are written again, the schedule is not.
  emu.services().failConfig(59, 0, false);
  EXPECT_EQ(engine.SendChangedParams(),
            QStringLiteral("报警输入设置失败，失败的报警输入号为：03 \n"
                           "压缩参数设置失败，失败的通道号为：04 \n"));
  emu.services().failConfig(59, 3, false);
  emu.services().failConfig(69, 2, false);
  EXPECT_EQ(engine.SendChangedParams(), QStringLiteral("配置成功！"));
  EXPECT_EQ(engine.SendChangedParams(), QStringLiteral("配置成功！"));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{59, 5}, {57, 1}, {69, 3}}));
  EXPECT_EQ(Stored(58, 3)[4], 0x43);
  EXPECT_EQ(Stored(58, 0)[4], 0x40);
}

TEST_F(EngineTest, CountsBeyondTheArraysAreClampedAndAPictureGoesOutAtOnce) {
  auto device = Stored(62);
  device[116] = 200;  // alarm inputs
  device[117] = 100;  // alarm outputs
  device[124] = 2;
  emu.services().setConfigRecord(62, 0, device);
  pellmore::ConfigEngine engine(login);
  engine.LoadAllParams();
  EXPECT_EQ(engine.Records().AlarmInCount(), 160);
  EXPECT_EQ(engine.Records().AlarmOutCount(), 96);
  EXPECT_EQ(Count(68), 160u);
  EXPECT_EQ(Count(70), 96u);
  // The picture record of one channel, written at once, is the one the next read finds.
  engine.Records().channels[1].picture.bytes[40] = 0x5A;
  engine.SaveChannelPicture(1);
  engine.SaveChannelPicture(7);  // no such channel: nothing
  EXPECT_EQ(Count(55), 1u);
  pellmore::ConfigEngine again(login);
  again.LoadAllParams();
  EXPECT_EQ(again.Records().channels[1].picture.bytes[40], 0x5A);
  EXPECT_EQ(again.Records().channels[0].picture.bytes[40], 0);
}

TEST_F(ConfigTest, AReadFailureKeepsSaveFromWritingAndAFailedWriteIsRetried) {
  SeedRecords();
  emu.services().failConfig(46, -1, true);  // the DDNS read fails
  emu.services().failConfig(63, -1, true);  // device-parameter writes fail
  std::map<uint32_t, size_t> afterFirst, afterRetry;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* ddns = Select(w, 0x1000);
              EXPECT_EQ(Find<QLineEdit>(ddns, 4096)->text(), QString());  // zeros shown
              Find<QCheckBox>(ddns, 4102)->click();
              Find<QLineEdit>(ddns, 4107)->setText(QStringLiteral("x.recorder.test"));
              QWidget* info = Select(w, 0x1);
              Find<QLineEdit>(info, 1410)->setText(QStringLiteral("Gate"));
              Save(w);
              afterFirst = Writes();
              Save(w);  // nothing new: the device parameters are written again
              afterRetry = Writes();
              emu.services().failConfig(63, -1, false);
              Save(w);
              Save(w);
            }),
            1);
  EXPECT_EQ(afterFirst, (std::map<uint32_t, size_t>{{63, 1}}));
  EXPECT_EQ(afterRetry, (std::map<uint32_t, size_t>{{63, 2}}));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{63, 3}}));
  ASSERT_EQ(messages.size(), 4);
  EXPECT_EQ(messages[0], QStringLiteral("设备信息页参数设置失败！\n"
                                        "以下参数未能从设备读取，未保存： DDNS设置\n"));
  EXPECT_EQ(messages[1], QStringLiteral("设备信息页参数设置失败！\n"));
  EXPECT_EQ(messages[2], QStringLiteral("配置成功！"));
  EXPECT_EQ(messages[3], QStringLiteral("配置成功！"));
  EXPECT_EQ(TextAt(Stored(62), 4, 32), "Gate");
}

TEST_F(ConfigTest, CopyToHandsOverEveryCheckedChannel) {
  std::set<int> chosen;
  bool called = false;
  {
    pellmore::CDlgCopyTo dlg(nullptr, 40, [&](const std::set<int>& c) {
      called = true;
      chosen = c;
    });
    QListWidget* list = Find<QListWidget>(&dlg, 4166);
    ASSERT_EQ(list->count(), 40);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("通道01"));
    EXPECT_EQ(list->item(39)->text(), QStringLiteral("通道40"));
    list->item(1)->setCheckState(Qt::Checked);
    list->item(32)->setCheckState(Qt::Checked);  // beyond a 32-bit mask
    list->item(39)->setCheckState(Qt::Checked);
    Find<QPushButton>(&dlg, 4168)->click();
  }
  EXPECT_TRUE(called);
  EXPECT_EQ(chosen, (std::set<int>{1, 32, 39}));

  // Cancel calls nothing; Select All checks every row.
  called = false;
  {
    pellmore::CDlgCopyTo dlg(nullptr, 3, [&](const std::set<int>& c) {
      called = true;
      chosen = c;
    });
    Find<QCheckBox>(&dlg, 4167)->click();
    Find<QPushButton>(&dlg, 4169)->click();
    EXPECT_FALSE(called);
    Find<QPushButton>(&dlg, 4168)->click();
  }
  EXPECT_EQ(chosen, (std::set<int>{0, 1, 2}));

  // Copying an entry keeps what stays per channel in each target.
  struct Entry {
    int channel;
    int value;
  };
  std::vector<Entry> entries = {{0, 10}, {1, 11}, {2, 12}, {3, 13}};
  pellmore::CopyToChannels(entries, 2, {0, 2, 3, 9},
                           [](Entry& t, const Entry& original) { t.channel = original.channel; });
  EXPECT_EQ(entries[0].value, 12);
  EXPECT_EQ(entries[0].channel, 0);
  EXPECT_EQ(entries[1].value, 11);
  EXPECT_EQ(entries[3].value, 12);
  EXPECT_EQ(entries[3].channel, 3);
}

TEST_F(ConfigTest, AFailedNetworkWriteIsReportedAndWrittenAgain) {
  SeedRecords();
  emu.services().failConfig(42, -1, true);
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x400);
              Find<QLineEdit>(page, 4086)->setText(QStringLiteral("81"));
              Save(w);
              Save(w);
              emu.services().failConfig(42, -1, false);
              Save(w);
              Save(w);
            }),
            1);
  const QString warning = QStringLiteral("网络参数已更改，设备连接可能会断开，如果断开请重新添加设备。");
  const QString failed = QStringLiteral("网络设置页参数设置失败！\n");
  EXPECT_EQ(messages, QStringList({warning, failed, warning, failed, warning,
                                   QStringLiteral("配置成功！"), QStringLiteral("配置成功！")}));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{42, 3}}));
  EXPECT_EQ(dvremu::get32(&Stored(43)[948]), 81u);
}
