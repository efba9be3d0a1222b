#pragma once
// A recorder emulator on 127.0.0.1 with the recorder SDK started (as the program's device
// layer does), message boxes answered and recorded, and helpers to drive the window that
// CF_Login opens.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "DlgMain.h"
#include "HCNetSDK.h"
#include "Pellmore/Pellmore.h"
#include "Session.h"
#include "dvremu/emulator.h"

namespace pellmore_test {

struct ConfigTest : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(NET_DVR_Init(), 1);
    ASSERT_TRUE(emu.start());
    pellmore::SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& caption) {
      messages.push_back(text);
      captions.push_back(caption);
      if (onMessage) onMessage(text);
    });
    // No test ever asks a real name server.
    pellmore::SetResolver([](const std::string& host) -> std::vector<std::string> {
      if (host == "recorder.test") return {"127.0.0.9", "127.0.0.1"};
      return {};
    });
  }
  void TearDown() override {
    pellmore::SetWindowHook({});
    pellmore::SetMessageBoxHandler({});
    pellmore::SetResolver({});
    emu.stop();
    NET_DVR_Cleanup();
  }

  // Runs CF_Login against the emulator; `drive` works the window, which is closed after it.
  int Open(const std::function<void(pellmore::CDlgMain&)>& drive, uint16_t language = 4,
           const char16_t* host = u"127.0.0.1", const char16_t* password = u"12345") {
    windowShown = false;
    pellmore::SetWindowHook([this, drive](pellmore::CDlgMain& w) {
      windowShown = true;
      if (drive) drive(w);
      w.reject();
    });
    return CF_Login(host, u"admin", password, emu.port(), language, 0);
  }

  // Configuration requests of one wire code since the log was last looked at.
  size_t Count(uint32_t code) const { return emu.requests(code).size(); }
  std::vector<uint8_t> Stored(uint32_t readCode, uint32_t channel = 0) {
    return emu.services().configRecord(readCode, channel);
  }

  dvremu::Emulator emu;
  QStringList messages, captions;
  std::function<void(const QString&)> onMessage;
  bool windowShown = false;
};

template <class W>
W* Find(QWidget* root, int id) {
  return root->findChild<W*>(QString::number(id));
}

}  // namespace pellmore_test
