// The RS-485 page and the alarm input and output pages against the recorder emulator: what
// reaches the device after edits, copies and the editors, record by record.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "fixture.h"
#include "plat/text.h"

using namespace pellmore_test;

namespace {

// The channel words of the configuration requests of one code, in order.
std::vector<uint32_t> Channels(const dvremu::Emulator& emu, uint32_t code) {
  std::vector<uint32_t> out;
  for (const dvremu::Request& r : emu.requests(code)) out.push_back(dvremu::get32(&r.payload[4]));
  return out;
}

void CheckRows(QWidget* copyDialog, std::initializer_list<int> rows) {
  auto* list = Find<QListWidget>(copyDialog, 4166);
  for (int r : rows) list->item(r)->setCheckState(Qt::Checked);
  Find<QPushButton>(copyDialog, 4168)->click();
}

}  // namespace

TEST_F(ConfigTest, Rs485PageWritesWholeDecoderRecordsToTheChosenChannels) {
  std::vector<uint8_t> dec(788, 0);
  dvremu::put32(&dec[4], 3);  // 9600
  dec[8] = 0;                 // 8 data bits
  dec[9] = 1;                 // 2 stop bits
  dec[10] = 2;                // even parity
  dec[11] = 1;                // soft flow control
  dvremu::put32(&dec[12], 1);  // TC_PELCO_P
  dvremu::put32(&dec[16], 7);  // address
  for (size_t i = 0; i < 768; ++i) dec[20 + i] = static_cast<uint8_t>(i * 7 + 1);  // tables
  emu.services().setConfigRecord(41, 0, dec);
  std::vector<uint8_t> odd(788, 0);
  dvremu::put32(&odd[4], 9);  // a baud code the page does not list
  dvremu::put32(&odd[16], 200);
  emu.services().setConfigRecord(41, 1, odd);

  QString baud, dataBits, oddBaud, clamped;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x4000);
              baud = Find<QComboBox>(page, 4128)->currentText();
              dataBits = Find<QComboBox>(page, 4129)->currentText();
              Find<QComboBox>(page, 4010)->setCurrentIndex(1);
              oddBaud = Find<QComboBox>(page, 4128)->currentText();
              Find<QComboBox>(page, 4010)->setCurrentIndex(0);
              Find<QComboBox>(page, 4129)->setCurrentIndex(3);  // 5 data bits
              auto* address = Find<QLineEdit>(page, 4143);
              address->setText(QStringLiteral("300"));
              clamped = address->text();
              address->setText(QStringLiteral("12"));
              OnNextModal([](QWidget* copy) { CheckRows(copy, {2, 3}); });
              Find<QPushButton>(page, 4021)->click();
              Save(w);
              Save(w);
            }),
            1);
  EXPECT_EQ(baud, QStringLiteral("9600"));
  EXPECT_EQ(dataBits, QStringLiteral("8"));
  EXPECT_EQ(oddBaud, QString());
  EXPECT_EQ(clamped, QStringLiteral("255"));
  // Channel 2 was only looked at: not written, its unknown code untouched.
  EXPECT_EQ(Channels(emu, 40), (std::vector<uint32_t>{0, 2, 3}));
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{40, 3}}));
  EXPECT_EQ(dvremu::get32(&Stored(41, 1)[4]), 9u);
  auto expected = dec;
  expected[8] = 3;
  dvremu::put32(&expected[16], 12);
  EXPECT_EQ(Stored(41, 0), expected);
  for (uint32_t ch : {2u, 3u}) {
    dvremu::put32(&expected[0], ch);
    EXPECT_EQ(Stored(41, ch), expected) << ch;  // tables included
  }
}

TEST_F(ConfigTest, AlarmInputCopyTouchesExactlyTheChosenInputsOfForty) {
  auto device = Stored(62);
  device[116] = 40;
  emu.services().setConfigRecord(62, 0, device);
  const std::pair<uint32_t, std::string> names[] = {
      {0, "door"}, {1, "window"}, {32, "gate33"}, {39, "last"}};
  for (const auto& [i, name] : names) {
    std::vector<uint8_t> in(572, 0);
    Text(in, 4, name);
    in[37] = i == 0 ? 0 : 1;
    emu.services().setConfigRecord(68, i, in);
  }
  bool buttonsFollowHandle = false, copyStaysOn = false;
  size_t inputsListed = 0;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x8000);
              inputsListed = static_cast<size_t>(Find<QComboBox>(page, 4144)->count());
              EXPECT_EQ(Find<QLineEdit>(page, 4146)->text(), QStringLiteral("door"));
              EXPECT_EQ(Find<QLineEdit>(page, 4145)->text(), QStringLiteral("本地"));
              buttonsFollowHandle = !Find<QPushButton>(page, 4149)->isEnabled() &&
                                    !Find<QPushButton>(page, 4150)->isEnabled();
              copyStaysOn = Find<QPushButton>(page, 4151)->isEnabled();
              Find<QComboBox>(page, 4147)->setCurrentIndex(1);  // always open
              Find<QCheckBox>(page, 4148)->click();
              buttonsFollowHandle = buttonsFollowHandle && Find<QPushButton>(page, 4149)->isEnabled();
              OnNextModal([](QWidget* dlg) {
                Find<QCheckBox>(dlg, 4478)->click();
                Find<QLineEdit>(dlg, 4446)->setText(QStringLiteral("8"));
                Find<QLineEdit>(dlg, 4448)->setText(QStringLiteral("18"));
                Find<QPushButton>(dlg, 4168)->click();
              });
              Find<QPushButton>(page, 4149)->click();
              OnNextModal([](QWidget* dlg) {
                Find<QCheckBox>(dlg, 4344)->click();
                Find<QListWidget>(dlg, 4348)->item(1)->setCheckState(Qt::Checked);
                Find<QPushButton>(dlg, 4168)->click();
              });
              Find<QPushButton>(page, 4150)->click();
              // Inputs 2 and 40; input 33 shares input 1's bit in a 32-bit mask, not here.
              OnNextModal([](QWidget* copy) { CheckRows(copy, {1, 39}); });
              Find<QPushButton>(page, 4151)->click();
              Find<QComboBox>(page, 4144)->setCurrentIndex(39);
              EXPECT_EQ(Find<QLineEdit>(page, 4146)->text(), QStringLiteral("last"));
              EXPECT_EQ(Find<QComboBox>(page, 4147)->currentIndex(), 1);
              Save(w);
              Save(w);
            }),
            1);
  EXPECT_EQ(inputsListed, 40u);
  EXPECT_TRUE(buttonsFollowHandle);
  EXPECT_TRUE(copyStaysOn);
  EXPECT_EQ(Channels(emu, 69), (std::vector<uint32_t>{0, 1, 39}));
  const auto first = Stored(68, 0);
  EXPECT_EQ(first[36], 1);
  EXPECT_EQ(first[37], 1);
  EXPECT_EQ(dvremu::get32(&first[40]), 0x02u);  // audio
  EXPECT_EQ(first[140], 8);
  EXPECT_EQ(first[142], 18);
  EXPECT_EQ(first[365], 1);  // record channel 2
  for (const auto& [i, name] : {std::pair{1u, "window"}, std::pair{39u, "last"}}) {
    auto r = Stored(68, i);
    EXPECT_EQ(TextAt(r, 4, 32), name);
    std::copy(first.begin() + 4, first.begin() + 36, r.begin() + 4);
    dvremu::put32(&r[0], 0);
    EXPECT_EQ(r, first) << i;
  }
  EXPECT_EQ(TextAt(Stored(68, 32), 4, 32), "gate33");
  EXPECT_EQ(Stored(68, 32)[140], 0);
}

TEST_F(ConfigTest, AlarmOutputPageInEnglish) {
  std::vector<uint8_t> second(264, 0);
  dvremu::put32(&second[36], 3);  // 60S
  emu.services().setConfigRecord(70, 1, second);
  QString label, item, shownAgain;
  const QString longName = QString::fromUtf16(u"一二三四五六七八九十甲乙丙丁戊己");
  ASSERT_EQ(Open(
                [&](pellmore::CDlgMain& w) {
                  QWidget* page = Select(w, 0x10000);
                  label = Find<QLabel>(page, 4161)->text();
                  item = Find<QComboBox>(page, 4156)->itemText(1);
                  Save(w);  // nothing edited: no output written
                  Find<QLineEdit>(page, 4164)->setText(longName);
                  Find<QComboBox>(page, 4158)->setCurrentIndex(7);  // Manual
                  OnNextModal([](QWidget* dlg) {
                    Find<QComboBox>(dlg, 4341)->setCurrentIndex(6);
                    Find<QCheckBox>(dlg, 4485)->click();
                    Find<QLineEdit>(dlg, 4474)->setText(QStringLiteral("20"));
                    Find<QLineEdit>(dlg, 4476)->setText(QStringLiteral("23"));
                    Find<QLineEdit>(dlg, 4477)->setText(QStringLiteral("59"));
                    Find<QPushButton>(dlg, 4168)->click();
                  });
                  Find<QPushButton>(page, 4019)->click();
                  Find<QComboBox>(page, 4156)->setCurrentIndex(1);
                  Find<QComboBox>(page, 4158)->setCurrentIndex(0);  // 5S
                  Find<QComboBox>(page, 4156)->setCurrentIndex(0);
                  shownAgain = Find<QLineEdit>(page, 4164)->text();
                  Save(w);
                },
                9),
            1);
  EXPECT_EQ(label, QStringLiteral("Alarm Output:"));
  EXPECT_EQ(item, QStringLiteral("Alarm output:02"));
  EXPECT_EQ(shownAgain, longName);
  EXPECT_EQ(messages, QStringList({QStringLiteral("Config successful!"),
                                   QStringLiteral("Config successful!")}));
  EXPECT_EQ(Channels(emu, 71), (std::vector<uint32_t>{0, 1}));
  const auto out0 = Stored(70, 0);
  // Sixteen double-byte characters fill the 32 bytes, no terminator.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out0[4]), 32),
            plat::utf16ToGbk(u"一二三四五六七八九十甲乙丙丁戊己"));
  EXPECT_EQ(dvremu::get32(&out0[36]), 7u);
  const size_t sat = 40 + 6 * 32 + 7 * 4;  // Saturday, period 8
  EXPECT_EQ(std::vector<uint8_t>(out0.begin() + sat, out0.begin() + sat + 4),
            (std::vector<uint8_t>{20, 0, 23, 59}));
  EXPECT_EQ(dvremu::get32(&Stored(70, 1)[36]), 0u);
}
