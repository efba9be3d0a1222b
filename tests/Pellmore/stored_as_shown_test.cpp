// What the window says was saved is what the recorder holds. Texts typed into the pages stop
// at what their record fields store (bytes in GBK, where a Chinese character takes two, and
// no character GBK has not), so nothing typed is cut or changed on its way; a name the
// recorder sent longer than the page may write is shown whole and can only be shortened.
// A write the recorder took but did not answer in time is told as one that may or may not
// have been made, never as failed.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>

#include "fixture.h"
#include "plat/clock.h"
#include "plat/text.h"

using namespace pellmore_test;

namespace {

// Keys as the user presses them, through the application's event routing.
void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &release);
}
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) Press(w, 0, Qt::NoModifier, QString(c));
}
// Empties an edit as the user does: select everything, delete it.
void Clear(QWidget* w) {
  Press(w, Qt::Key_A, Qt::ControlModifier);
  Press(w, Qt::Key_Backspace);
}

std::string Gbk(const QString& s) {
  return plat::utf16ToGbk(std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())));
}
// The bytes of a field up to its first zero (all of them when it has none).
std::string Field(const std::vector<uint8_t>& r, size_t at, size_t size) {
  std::string s(reinterpret_cast<const char*>(&r[at]), size);
  return s.substr(0, s.find('\0'));
}

}  // namespace

TEST_F(ConfigTest, TypedTextsStopAtWhatTheirFieldsStore) {
  SeedRecords();
  auto net = Stored(43);
  std::fill(net.begin() + 468, net.begin() + 500, 'u');  // a user name filling its 32 bytes
  emu.services().setConfigRecord(43, 0, net);
  const QString chinesePassword = QStringLiteral("密码密码密码密码密码");
  QString user, shortened, shownBefore, password, confirm, domain, server, name;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* ppp = Select(w, 0x800);
              Find<QCheckBox>(ppp, 4094)->click();
              auto* userEdit = Find<QLineEdit>(ppp, 4096);
              shownBefore = userEdit->text();
              // Changing a character keeps 32 bytes, one more than the page may write: refused.
              Press(userEdit, Qt::Key_End);
              Press(userEdit, Qt::Key_Left, Qt::ShiftModifier);
              Type(userEdit, QStringLiteral("Z"));
              Type(userEdit, QStringLiteral("x"));
              EXPECT_EQ(userEdit->text(), shownBefore);
              // Shortened it stays: past the edit's limit of 15 nothing more is typed.
              Press(userEdit, Qt::Key_End);
              Press(userEdit, Qt::Key_Backspace);
              Press(userEdit, Qt::Key_Backspace);
              Type(userEdit, QStringLiteral("ZZ"));
              shortened = userEdit->text();
              // Typed from empty, the name stops at the edit's limit of 15.
              Clear(userEdit);
              Type(userEdit, QString(32, QLatin1Char('d')));
              user = userEdit->text();
              for (int id : {4097, 4098}) {
                auto* e = Find<QLineEdit>(ppp, id);
                Clear(e);
                Type(e, chinesePassword);  // sixteen characters would be 32 bytes
              }
              password = Find<QLineEdit>(ppp, 4097)->text();
              confirm = Find<QLineEdit>(ppp, 4098)->text();

              QWidget* ddns = Select(w, 0x1000);
              Find<QCheckBox>(ddns, 4102)->click();
              auto* domainEdit = Find<QLineEdit>(ddns, 4107);
              Clear(domainEdit);
              Type(domainEdit, QString(20, QChar(0x57DF)));  // 域
              domain = domainEdit->text();

              QWidget* ntp = Select(w, 0x2000);
              auto* serverEdit = Find<QLineEdit>(ntp, 4112);
              Find<QCheckBox>(ntp, 4111)->click();
              Clear(serverEdit);
              Type(serverEdit, QString(40, QChar(0x65F6)));  // 时
              Type(serverEdit, QStringLiteral("\u0E01"));      // a letter GBK has not
              server = serverEdit->text();

              QWidget* info = Select(w, 0x1);
              auto* nameEdit = Find<QLineEdit>(info, 1410);
              Clear(nameEdit);
              Type(nameEdit, QStringLiteral("Hall\u0E01"));
              name = nameEdit->text();
              Save(w);
            }),
            1);
  EXPECT_EQ(shownBefore, QString(32, QLatin1Char('u'))) << "shown whole as the recorder sent it";
  EXPECT_EQ(shortened, QString(30, QLatin1Char('u')));
  EXPECT_EQ(user, QString(15, QLatin1Char('d')));
  EXPECT_EQ(password, chinesePassword.left(8));
  EXPECT_EQ(confirm, password);
  EXPECT_EQ(domain, QString(15, QChar(0x57DF)));
  EXPECT_EQ(server, QString(31, QChar(0x65F6)));
  EXPECT_EQ(name, QStringLiteral("Hall"));
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_EQ(messages.back(), QStringLiteral("配置成功！"));
  // Each is held as shown, whole.
  net = Stored(43);
  EXPECT_EQ(Field(net, 468, 32), Gbk(user));
  EXPECT_EQ(Field(net, 500, 16), Gbk(password));
  EXPECT_EQ(Field(Stored(46), 52, 32), Gbk(domain));
  EXPECT_EQ(Field(Stored(44), 0, 64), Gbk(server));
  EXPECT_EQ(Field(Stored(62), 4, 32), Gbk(name));
}

TEST_F(ConfigTest, AWriteLeftUnansweredIsToldAsMaybeMade) {
  plat::setTimeScale(0.25);  // the recorder's reply wait in a second
  emu.silence(57, true);     // the record schedule is stored, and not answered
  emu.refuse(63, true);      // the device record is refused: that one failed
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* info = Select(w, 0x1);
              auto* name = Find<QLineEdit>(info, 1410);
              Clear(name);
              Type(name, QStringLiteral("Hall"));
              QWidget* page = Select(w, 0x10);
              Find<QCheckBox>(page, 4046)->click();
              Save(w);
            }),
            1);
  plat::setTimeScale(1);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("设备信息页参数设置失败！\n"
                                        "设备未及时应答，以下修改可能已生效，也可能未生效： 录像设置 01\n"));
  EXPECT_EQ(dvremu::get32(&Stored(56)[4]), 1u) << "the recorder holds the change all the same";
}
