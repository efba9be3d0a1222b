// CF_Login against the recorder emulator: what opens the window and what does not.
#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fixture.h"

using namespace pellmore_test;

namespace {

// A port on 127.0.0.1 that nobody listens on.
uint16_t ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  close(s);
  return ntohs(a.sin_port);
}

}  // namespace

TEST_F(ConfigTest, OpensOnDeviceInformationWithEveryRecordRead) {
  QString title, name, type, channels, loop;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              title = w.windowTitle();
              QWidget* page = w.PageOnShow();
              ASSERT_NE(page, nullptr);
              EXPECT_EQ(w.GetPage(0x1), page);
              name = Find<QLineEdit>(page, 1410)->text();
              type = Find<QLineEdit>(page, 1416)->text();
              channels = Find<QLineEdit>(page, 1418)->text();
              loop = Find<QComboBox>(page, 1414)->currentText();
              EXPECT_EQ(Find<QLabel>(&w, 4002)->text(), QStringLiteral("设备信息"));
              // Items whose pages are not built show nothing; bit 0x200 has no item.
              EXPECT_EQ(w.GetPage(0x200), nullptr);
              EXPECT_EQ(w.ItemFor(0x200), nullptr);
              ASSERT_NE(w.ItemFor(0x20000), nullptr);
              EXPECT_EQ(w.ItemFor(0x20000)->text(0), QStringLiteral("时间设置"));
            }),
            1);
  EXPECT_TRUE(windowShown);
  EXPECT_EQ(title, QStringLiteral("远程参数配置"));
  EXPECT_EQ(name, QStringLiteral("DVR-EMU"));
  EXPECT_EQ(type, QStringLiteral("DVR"));
  EXPECT_EQ(channels, QStringLiteral("4"));
  EXPECT_EQ(loop, QStringLiteral("否"));
  // Every record was read once (4 alarm inputs, 2 outputs, 4 channels), nothing written.
  const std::pair<uint32_t, size_t> reads[] = {{62, 1}, {43, 1}, {46, 1}, {44, 1}, {68, 4},
                                               {70, 2}, {54, 4}, {58, 4}, {56, 4}, {41, 4}};
  for (const auto& [code, n] : reads) EXPECT_EQ(Count(code), n) << code;
  for (uint32_t code : {63u, 42u, 47u, 45u, 69u, 71u, 55u, 59u, 57u, 40u, 39u})
    EXPECT_EQ(Count(code), 0u) << code;
  // The channel words of the per-channel reads name channels 0 to 3 (the picture read one
  // less, as the protocol has it).
  const auto compression = emu.requests(58);
  for (size_t i = 0; i < compression.size(); ++i)
    EXPECT_EQ(dvremu::get32(compression[i].payload.data() + 4), i);
  // The login was given back when the window closed (the logout is sent without awaiting an
  // answer: it reaches the recorder a moment later).
  EXPECT_TRUE(emu.waitForRequests(2, 1, 20000));
  EXPECT_EQ(Count(2), 1u);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ConfigTest, FailedLoginsReturnZeroAndShowNothing) {
  EXPECT_EQ(Open({}, 4, u"no-such-recorder.test"), 0);  // the resolver does not know it
  EXPECT_EQ(Open({}, 4, u"127.0.0.1", u"wrong"), 0);
  EXPECT_FALSE(windowShown);
  pellmore::SetWindowHook([this](pellmore::CDlgMain& w) {
    windowShown = true;
    w.reject();
  });
  EXPECT_EQ(CF_Login(u"127.0.0.1", u"admin", u"12345", ClosedPort(), 4, 0), 0);
  EXPECT_EQ(CF_Login(nullptr, u"admin", u"12345", emu.port(), 4, 0), 0);
  EXPECT_EQ(CF_Login("127.0.0.1", "admin", nullptr, emu.port(), 4, 0), 0);
  // A text longer than the holder takes is refused, not cut and sent.
  const std::u16string longUser(1024, u'a');
  EXPECT_EQ(CF_Login(u"127.0.0.1", longUser.c_str(), u"12345", emu.port(), 4, 0), 0);
  const std::string longNarrow(600, 'a');
  EXPECT_EQ(CF_Login("127.0.0.1", "admin", longNarrow.c_str(), emu.port(), 4, 0), 0);
  EXPECT_FALSE(windowShown);
  EXPECT_TRUE(messages.isEmpty());
  // Only the one login with the wrong password reached the device.
  EXPECT_EQ(Count(1), 1u);
}

TEST_F(ConfigTest, NamesResolveToTheLastAddressAndLanguageNineIsEnglish) {
  QString title, item, save;
  int inner = -1;
  ASSERT_EQ(Open(
                [&](pellmore::CDlgMain& w) {
                  title = w.windowTitle();
                  item = w.ItemFor(0x20000)->text(0);
                  save = Find<QPushButton>(&w, 4001)->text();
                  // One call at a time: a call made while the window is open is refused.
                  inner = CF_Login(u"127.0.0.1", u"admin", u"12345", emu.port(), 4, 0);
                },
                9, u"recorder.test"),
            1);
  EXPECT_EQ(title, QStringLiteral("Remote parameter configuration"));
  EXPECT_EQ(item, QStringLiteral("Time Setting"));
  EXPECT_EQ(save, QStringLiteral("Save"));
  EXPECT_EQ(inner, 0);
  EXPECT_EQ(Count(1), 1u);
  // Any other language word is Chinese; the narrow form works alike.
  pellmore::SetWindowHook([&](pellmore::CDlgMain& w) {
    title = w.windowTitle();
    w.reject();
  });
  ASSERT_EQ(CF_Login("127.0.0.1", "admin", "12345", emu.port(), 0x0409, 7), 1);
  EXPECT_EQ(title, QStringLiteral("远程参数配置"));
}

TEST_F(ConfigTest, LiveVideoStartsOnTheSessionsLogin) {
  dvremu::StreamClip clip;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(false, 160, 120, 5, 25, false, &clip, &error)) << error;
  emu.setClip(clip);
  int32_t withoutWindow = 0, live = -1;
  ASSERT_EQ(Open([&](pellmore::CDlgMain&) {
              pellmore::DeviceSession* session = pellmore::GetDeviceSession();
              withoutWindow = pellmore::StartChannelVideo(0, session, 1);
              QWidget target;
              live = pellmore::StartChannelVideo(static_cast<intptr_t>(target.winId()), session, 2);
              if (live >= 0) RecNet_StopRealPlay(live);
            }),
            1);
  EXPECT_EQ(withoutWindow, -1);
  EXPECT_GE(live, 0);
  // The live view asked for channel 2 (its record names the channel minus one).
  const auto starts = emu.requests(3);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(dvremu::get32(starts[0].payload.data()), 1u);
}
