// What goes back to the recorder is what the user changed, and only well-formed addresses: a
// recorder whose texts fill their fields and hold bytes that are no GBK text (its name control
// bytes too, which are not shown) and whose switches are on with values other than 1 is
// opened page by page and saved with no edit (nothing is written, no "network changed"
// warning); then one other field per record is edited and every untouched byte comes back as
// it was. Malformed addresses are refused, naming the field.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "fixture.h"
#include "plat/text.h"

using namespace pellmore_test;

namespace {

const QString kOk = QStringLiteral("配置成功！");
const QString kNetworkChanged =
    QStringLiteral("网络参数已更改，设备连接可能会断开，如果断开请重新添加设备。");

// A field's bytes: GBK text, a byte that is no GBK text (0xFF never starts a character), and
// ASCII up to the field's full size, no terminator.
std::string Awkward(const std::u16string& chinese, size_t size) {
  std::string s = plat::utf16ToGbk(chinese) + "\xFF";
  s.resize(size, 'A');
  return s;
}

std::string Bytes(const std::vector<uint8_t>& r, size_t at, size_t size) {
  return std::string(reinterpret_cast<const char*>(&r[at]), size);
}

}  // namespace

TEST_F(ConfigTest, SavingWithNoEditWritesNothingAndAnEditKeepsEveryUntouchedByte) {
  SeedRecords();
  const std::string name = Awkward(u"前门\x1B录像机\x7F", 32), pppUser = Awkward(u"拨号", 32),
                    pppPassword = Awkward(u"密", 16), ddnsUser = Awkward(u"动态", 32),
                    server = Awkward(u"时间", 20);
  auto device = Stored(62);
  std::copy(name.begin(), name.end(), device.begin() + 4);
  dvremu::put32(&device[40], 2);  // loop recording on, as 2
  emu.services().setConfigRecord(62, 0, device);
  auto net = Stored(43);
  dvremu::put32(&net[460], 2);  // PPPoE on, as 2
  std::copy(pppUser.begin(), pppUser.end(), net.begin() + 468);
  std::copy(pppPassword.begin(), pppPassword.end(), net.begin() + 500);
  dvremu::put32(&net[464], 2);  // DHCP on, as 2
  emu.services().setConfigRecord(43, 0, net);
  auto ddns = Stored(46);
  ddns[0] = 3;  // DDNS on, as 3
  std::copy(ddnsUser.begin(), ddnsUser.end(), ddns.begin() + 4);
  Text(ddns, 52, "cam.recorder.test");
  emu.services().setConfigRecord(46, 0, ddns);
  auto ntp = Stored(44);
  std::copy(server.begin(), server.end(), ntp.begin());
  dvremu::put32(&ntp[72], 5);  // NTP on, as 5
  emu.services().setConfigRecord(44, 0, ntp);
  auto schedule = Stored(56, 0);
  dvremu::put32(&schedule[4], 2);  // channel 1 records, as 2
  emu.services().setConfigRecord(56, 0, schedule);
  auto input = Stored(68, 0);
  Text(input, 4, "door");
  input[37] = 2;  // input 1 is handled, as 2
  emu.services().setConfigRecord(68, 0, input);

  std::map<uint32_t, size_t> untouched;
  QStringList messagesUntouched;
  QString shownName;
  bool pppChecked = false, recordChecked = false;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* info = Select(w, 0x1);
              shownName = Find<QLineEdit>(info, 1410)->text();
              for (uint32_t bit : {0x400u, 0x800u, 0x1000u, 0x2000u, 0x10u, 0x8000u})
                Select(w, bit);
              pppChecked = Find<QCheckBox>(w.GetPage(0x800), 4094)->isChecked();
              recordChecked = Find<QCheckBox>(w.GetPage(0x10), 4046)->isChecked();
              Save(w);
              untouched = Writes();
              messagesUntouched = messages;

              // One other field of each record.
              Find<QLineEdit>(info, 1412)->setText(QStringLiteral("7"));
              Find<QLineEdit>(w.GetPage(0x400), 4086)->setText(QStringLiteral("8080"));
              Find<QLineEdit>(w.GetPage(0x1000), 4107)->setText(QStringLiteral("hall.recorder.test"));
              Find<QLineEdit>(w.GetPage(0x2000), 4113)->setText(QStringLiteral("124"));
              Find<QLineEdit>(w.GetPage(0x8000), 4146)->setText(QStringLiteral("gate"));
              Save(w);
            }),
            1);
  EXPECT_EQ(shownName.size(), 25) << "five Chinese characters, the odd byte, 19 letters";
  EXPECT_FALSE(shownName.contains(QChar(0x1B)) || shownName.contains(QChar(0x7F))) << "control bytes shown";
  EXPECT_TRUE(pppChecked);
  EXPECT_TRUE(recordChecked);
  EXPECT_EQ(untouched, (std::map<uint32_t, size_t>{})) << "saving with no edit wrote records";
  EXPECT_EQ(messagesUntouched, QStringList({kOk})) << "no network warning without a write";
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{63, 1}, {42, 1}, {47, 1}, {45, 1}, {69, 1}}));

  const auto deviceAfter = Stored(62);
  EXPECT_EQ(Bytes(deviceAfter, 4, 32), name) << "the 32-byte name round-trips byte for byte";
  EXPECT_EQ(dvremu::get32(&deviceAfter[36]), 7u);
  EXPECT_EQ(dvremu::get32(&deviceAfter[40]), 2u);
  const auto netAfter = Stored(43);
  EXPECT_EQ(dvremu::get32(&netAfter[948]), 8080u);
  EXPECT_EQ(Bytes(netAfter, 468, 32), pppUser);
  EXPECT_EQ(Bytes(netAfter, 500, 16), pppPassword);
  EXPECT_EQ(dvremu::get32(&netAfter[460]), 2u);
  EXPECT_EQ(dvremu::get32(&netAfter[464]), 2u);
  EXPECT_EQ(TextAt(netAfter, 0, 16), "192.168.1.64");
  const auto ddnsAfter = Stored(46);
  EXPECT_EQ(TextAt(ddnsAfter, 52, 32), "hall.recorder.test");
  EXPECT_EQ(Bytes(ddnsAfter, 4, 32), ddnsUser);
  EXPECT_EQ(ddnsAfter[0], 3);
  const auto ntpAfter = Stored(44);
  EXPECT_EQ(dvremu::get32(&ntpAfter[68]), 124u);
  EXPECT_EQ(Bytes(ntpAfter, 0, 20), server);
  EXPECT_EQ(dvremu::get32(&ntpAfter[72]), 5u);
  const auto inputAfter = Stored(68, 0);
  EXPECT_EQ(TextAt(inputAfter, 4, 32), "gate");
  EXPECT_EQ(inputAfter[37], 2);
  EXPECT_EQ(Stored(56, 0), schedule);
}

TEST_F(ConfigTest, AMalformedAddressIsRefusedNamingItsField) {
  SeedRecords();
  QString onShowAfterRefusal;
  bool dnsStayedOpen = false;
  std::map<uint32_t, size_t> whileRefused;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x400);
              Find<QLineEdit>(page, 4080)->setText(QStringLiteral("300.1"));
              Select(w, 0x1);  // Save is pressed from another page
              Save(w);
              onShowAfterRefusal = w.PageOnShow() ? w.PageOnShow()->objectName() : QString();
              Find<QLineEdit>(page, 4080)->setText(QStringLiteral("10.0.0.5"));
              Find<QLineEdit>(page, 4084)->setText(QStringLiteral("1..2"));
              Save(w);
              Find<QLineEdit>(page, 4084)->setText(QStringLiteral("10.0.0.1"));
              Find<QLineEdit>(page, 4083)->setText(QStringLiteral("255.255.255.256"));
              Save(w);
              whileRefused = Writes();
              Find<QLineEdit>(page, 4083)->setText(QStringLiteral("255.255.0.0"));
              // The DNS dialog refuses its OK and stays open on the field.
              OnNextModal([&](QWidget* dns) {
                Find<QLineEdit>(dns, 4352)->setText(QStringLiteral("8.8.8"));
                Find<QPushButton>(dns, 4168)->click();
                dnsStayedOpen = dns->isVisible();
                Find<QLineEdit>(dns, 4352)->setText(QStringLiteral("10.0.0.53"));
                Find<QPushButton>(dns, 4168)->click();
              });
              Find<QPushButton>(page, 4054)->click();
              Save(w);
            }),
            1);
  EXPECT_EQ(onShowAfterRefusal, QStringLiteral("page-400"));
  EXPECT_TRUE(dnsStayedOpen);
  EXPECT_TRUE(whileRefused.empty());
  ASSERT_EQ(messages.size(), 6);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("“设备IP地址”")) && messages[0].contains("300.1"))
      << messages[0].toStdString();
  EXPECT_TRUE(messages[1].contains(QStringLiteral("“网关地址”"))) << messages[1].toStdString();
  EXPECT_TRUE(messages[2].contains(QStringLiteral("“子网掩码”"))) << messages[2].toStdString();
  EXPECT_TRUE(messages[3].contains(QStringLiteral("“DNS1”"))) << messages[3].toStdString();
  EXPECT_EQ(messages[4], kNetworkChanged);
  EXPECT_EQ(messages[5], kOk);
  const auto net = Stored(43);
  EXPECT_EQ(TextAt(net, 0, 16), "10.0.0.5");
  EXPECT_EQ(TextAt(net, 144, 16), "255.255.0.0");
  EXPECT_EQ(TextAt(net, 316, 16), "10.0.0.1");
  EXPECT_EQ(TextAt(net, 660, 16), "10.0.0.53");
}
