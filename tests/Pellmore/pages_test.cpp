// Each page against the recorder emulator: one field changed, Save writes exactly that record
// with the right bytes, and nothing else.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "Records.h"
#include "pages/DlgVerInfo.h"
#include "fixture.h"
#include "plat/text.h"

using namespace pellmore_test;

namespace {
const QString kOk = QStringLiteral("配置成功！");
}

TEST_F(ConfigTest, DeviceInformationVersionAndTime) {
  QString software, hardware, panel, clamped;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x1);
              Find<QLineEdit>(page, 1410)->setText(QStringLiteral("前门"));
              Save(w);
              EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{63, 1}}));
              // Unchanged: a second Save writes nothing.
              Save(w);
              Find<QComboBox>(page, 1414)->setCurrentIndex(0);  // loop recording: yes
              Save(w);
              auto* number = Find<QLineEdit>(page, 1412);
              number->setText(QStringLiteral("999"));
              clamped = number->text();
              number->setText(QStringLiteral("7"));
              Save(w);

              QWidget* ver = Select(w, 0x2);
              software = Find<QLineEdit>(ver, 4004)->text();
              hardware = Find<QLineEdit>(ver, 4005)->text();
              panel = Find<QLineEdit>(ver, 4006)->text();

              QWidget* time = Select(w, 0x20000);
              Find<QPushButton>(time, 4667)->click();
              Save(w);  // the time page takes no part in Save
            }),
            1);
  EXPECT_EQ(messages, QStringList({kOk, kOk, kOk, kOk, kOk}));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{63, 3}, {39, 1}}));
  const auto device = Stored(62);
  EXPECT_EQ(TextAt(device, 4, 32), plat::utf16ToGbk(u"前门"));
  EXPECT_EQ(dvremu::get32(&device[36]), 7u);
  EXPECT_EQ(dvremu::get32(&device[40]), 1u);
  EXPECT_EQ(device[124], 4);  // what the device knows of itself stays
  EXPECT_EQ(clamped, QStringLiteral("255"));
  EXPECT_EQ(software, QStringLiteral("V2.1 build 180321"));
  EXPECT_EQ(hardware, QStringLiteral("0x1010"));
  EXPECT_EQ(panel, QStringLiteral("V3"));
  // The time went as the protocol carries it: year since 1900, month from 0.
  const auto t = Stored(38);
  EXPECT_GE(dvremu::get32(&t[0]), 124u);
  EXPECT_LE(dvremu::get32(&t[4]), 11u);
}

TEST_F(ConfigTest, NetworkPageAndDnsWriteTheNetworkRecord) {
  SeedRecords();
  QString ip, mac, shownDns;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x400);
              ip = Find<QLineEdit>(page, 4080)->text();
              mac = Find<QLineEdit>(page, 4085)->text();
              // Cancelling the DNS dialog changes nothing.
              OnNextModal([](QWidget* dns) {
                Find<QLineEdit>(dns, 4352)->setText(QStringLiteral("1.1.1.1"));
                Find<QPushButton>(dns, 4197)->click();
              });
              Find<QPushButton>(page, 4054)->click();
              Save(w);
              EXPECT_TRUE(Writes().empty());

              Find<QLineEdit>(page, 4080)->setText(QStringLiteral("10.0.0.5"));
              Find<QLineEdit>(page, 4085)->setText(QStringLiteral("00:40:30:AA:BB:CD"));
              auto* port = Find<QLineEdit>(page, 4086);
              port->setText(QStringLiteral("70000"));
              EXPECT_EQ(port->text(), QStringLiteral("65535"));
              port->setText(QStringLiteral("8080"));
              OnNextModal([&](QWidget* dns) {
                shownDns = Find<QLineEdit>(dns, 4352)->text();
                Find<QLineEdit>(dns, 4353)->setText(QStringLiteral("10.0.0.53"));
                Find<QPushButton>(dns, 4168)->click();
              });
              Find<QPushButton>(page, 4054)->click();
              // Automatic addressing disables the address controls; they are still read.
              Find<QCheckBox>(page, 4081)->click();
              EXPECT_FALSE(Find<QLineEdit>(page, 4080)->isEnabled());
              Save(w);
            }),
            1);
  EXPECT_EQ(ip, QStringLiteral("192.168.1.64"));
  EXPECT_EQ(mac, QStringLiteral("00:40:30:aa:bb:cc"));
  EXPECT_EQ(shownDns, QStringLiteral("192.168.1.2"));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{42, 1}}));
  // The warning comes first, then the summary.
  ASSERT_EQ(messages.size(), 3);
  EXPECT_EQ(messages[1], QStringLiteral("网络参数已更改，设备连接可能会断开，如果断开请重新添加设备。"));
  EXPECT_EQ(messages[2], kOk);
  const auto net = Stored(43);
  // The shorter address leaves nothing of the old one behind it.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&net[0]), 16),
            std::string("10.0.0.5") + std::string(8, '\0'));
  EXPECT_EQ(TextAt(net, 292, 24), "00:40:30:aa:bb:cd");
  EXPECT_EQ(dvremu::get32(&net[948]), 8080u);
  EXPECT_EQ(dvremu::get32(&net[464]), 1u);
  EXPECT_EQ(TextAt(net, 660, 16), "192.168.1.2");
  EXPECT_EQ(TextAt(net, 804, 16), "10.0.0.53");
  // What the page did not touch went back as it came.
  EXPECT_EQ(TextAt(net, 144, 16), "255.255.255.0");
  EXPECT_EQ(TextAt(net, 316, 16), "192.168.1.1");
  EXPECT_EQ(dvremu::get32(&net[288]), 8000u);
  EXPECT_EQ(TextAt(net, 468, 32), "dialer");
}

TEST_F(ConfigTest, PppoeDdnsAndNtpPages) {
  SeedRecords();
  std::map<uint32_t, size_t> afterPppoe, afterMismatch, afterDdns;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              // PPPoE on with an empty user name saves "admin" in the network record.
              QWidget* ppp = Select(w, 0x800);
              EXPECT_FALSE(Find<QLineEdit>(ppp, 4080)->isEnabled());
              Find<QCheckBox>(ppp, 4094)->click();
              Find<QLineEdit>(ppp, 4096)->clear();
              Save(w);
              afterPppoe = Writes();

              // The user name edit stays empty: every later Save tells again that "admin"
              // is stored, and finds nothing new on the page.
              EXPECT_EQ(Find<QLineEdit>(ppp, 4096)->text(), QString());

              // A confirmation that differs keeps the DDNS page out of the Save: the device
              // name edited meanwhile is written, the summary names the page instead of
              // telling success; once the passwords agree its edits go out.
              QWidget* ddns = Select(w, 0x1000);
              Find<QCheckBox>(ddns, 4102)->click();
              EXPECT_TRUE(Find<QComboBox>(ddns, 4103)->isEnabled());
              Find<QComboBox>(ddns, 4103)->setCurrentIndex(1);
              Find<QLineEdit>(ddns, 4107)->setText(QStringLiteral("cam.recorder.test"));
              Find<QLineEdit>(ddns, 4097)->setText(QStringLiteral("newpass"));
              Find<QLineEdit>(Select(w, 0x1), 1410)->setText(QStringLiteral("Gate"));
              Save(w);
              afterMismatch = Writes();
              Select(w, 0x1000);
              Find<QLineEdit>(ddns, 4098)->setText(QStringLiteral("newpass"));
              Save(w);
              afterDdns = Writes();

              // NTP on with an empty port is saved with 123.
              QWidget* ntp = Select(w, 0x2000);
              Find<QCheckBox>(ntp, 4111)->click();
              Find<QLineEdit>(ntp, 4113)->clear();
              Save(w);
              EXPECT_EQ(Find<QLineEdit>(ntp, 4113)->text(), QStringLiteral("123"));
            }),
            1);
  EXPECT_EQ(afterPppoe, (std::map<uint32_t, size_t>{{42, 1}}));
  EXPECT_EQ(afterMismatch, (std::map<uint32_t, size_t>{{42, 1}, {63, 1}}));
  EXPECT_EQ(afterDdns, (std::map<uint32_t, size_t>{{42, 1}, {63, 1}, {47, 1}}));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{42, 1}, {63, 1}, {47, 1}, {45, 1}}));
  const QString admin = QStringLiteral("PPPoE用户名不能为空，将以\"admin\"保存。");
  EXPECT_EQ(messages,
            QStringList({admin,
                         QStringLiteral("网络参数已更改，设备连接可能会断开，如果断开请重新添加设备。"),
                         kOk, admin,
                         QStringLiteral("以下页面的密码与确认密码不一致，修改未保存： DDNS设置\n"),
                         admin, kOk, admin, QStringLiteral("没有填写NTP端口号，默认为123。"), kOk}));
  EXPECT_EQ(captions[8], QStringLiteral("NTP"));
  EXPECT_EQ(TextAt(Stored(62), 4, 32), "Gate");
  const auto net = Stored(43);
  EXPECT_EQ(dvremu::get32(&net[460]), 1u);
  EXPECT_EQ(TextAt(net, 468, 32), "admin");
  EXPECT_EQ(TextAt(net, 500, 16), "secret");
  EXPECT_EQ(TextAt(net, 0, 16), "192.168.1.64");  // the network page's part went back whole
  const auto ddns = Stored(46);
  EXPECT_EQ(ddns[0], 1);
  EXPECT_EQ(ddns[1], 1);  // Dyndns
  EXPECT_EQ(TextAt(ddns, 4, 32), "ddnsuser");
  EXPECT_EQ(TextAt(ddns, 36, 16), "newpass");
  EXPECT_EQ(TextAt(ddns, 52, 32), "cam.recorder.test");
  const auto ntp = Stored(44);
  EXPECT_EQ(dvremu::get32(&ntp[72]), 1u);
  EXPECT_EQ(dvremu::get32(&ntp[68]), 123u);
  EXPECT_EQ(TextAt(ntp, 0, 64), "ntp.recorder.test");
}

TEST_F(ConfigTest, EmptyDdnsDomainAndNtpServerSwitchThemOff) {
  SeedRecords();
  auto ntp = Stored(44);
  dvremu::put32(&ntp[72], 1);  // NTP on
  emu.services().setConfigRecord(44, 0, ntp);
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* ddns = Select(w, 0x1000);
              Find<QCheckBox>(ddns, 4102)->click();
              Save(w);  // DDNS off as loaded: nothing to write
              EXPECT_FALSE(Find<QCheckBox>(ddns, 4102)->isChecked());
              QWidget* page = Select(w, 0x2000);
              Find<QLineEdit>(page, 4112)->clear();
              Save(w);
              EXPECT_FALSE(Find<QCheckBox>(page, 4111)->isChecked());
              EXPECT_FALSE(Find<QLineEdit>(page, 4112)->isEnabled());
            }),
            1);
  EXPECT_EQ(messages, QStringList({QStringLiteral("域名不能为空，将不启用DDNS！"), kOk,
                                   QStringLiteral("NTP服务器地址不能为空，将不启用NTP！"), kOk}));
  EXPECT_EQ(captions[0], QStringLiteral("DDNS"));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{45, 1}}));
  EXPECT_EQ(dvremu::get32(&Stored(44)[72]), 0u);
}

TEST(VersionText, BothFormsOfTheVersionWordWithTheBuildWord) {
  EXPECT_EQ(pellmore::SoftwareVersionText(0x00020001, 0x00120315),
            QStringLiteral("V2.1 build 180321"));
  EXPECT_EQ(pellmore::SoftwareVersionText(0x03040038, 0x000D0C1F),
            QStringLiteral("V3.4.56 build 131231"));
}

TEST_F(ConfigTest, AFullLengthNameIsShownWholeAndNotRewritten) {
  auto device = Stored(62);
  const std::string name(32, 'N');
  std::copy(name.begin(), name.end(), device.begin() + 4);
  dvremu::put32(&device[40], 1);
  emu.services().setConfigRecord(62, 0, device);
  QString shown, loop;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x1);
              shown = Find<QLineEdit>(page, 1410)->text();
              loop = Find<QComboBox>(page, 1414)->currentText();
              Save(w);  // longer than the edit's limit of 16, yet unchanged
            }),
            1);
  EXPECT_EQ(shown, QString::fromStdString(name));
  EXPECT_EQ(loop, QStringLiteral("是"));
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(messages, QStringList({kOk}));
}

TEST_F(ConfigTest, LeavingADifferingConfirmationTellsOnceEvenWhenTheNoticeTakesTheFocus) {
  SeedRecords();
  int notices = 0;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              w.show();
              w.activateWindow();
              QApplication::setActiveWindow(&w);
              QWidget* ppp = Select(w, 0x800);
              Find<QCheckBox>(ppp, 4094)->click();
              auto* password = Find<QLineEdit>(ppp, 4097);
              auto* confirm = Find<QLineEdit>(ppp, 4098);
              password->setText(QStringLiteral("one"));
              confirm->setText(QStringLiteral("two"));
              confirm->setFocus();
              ASSERT_TRUE(confirm->hasFocus());
              // The notice takes the focus back and away again, as a message box does.
              onMessage = [&](const QString&) {
                ++notices;
                confirm->setFocus();
                password->setFocus();
              };
              password->setFocus();
              onMessage = {};
              // Leaving it for the Save button tells it as well.
              confirm->setFocus();
              Find<QPushButton>(&w, 4001)->setFocus();
            }),
            1);
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(messages, QStringList({QStringLiteral("密码不一致！"), QStringLiteral("密码不一致！")}));
  EXPECT_TRUE(Writes().empty());
}
