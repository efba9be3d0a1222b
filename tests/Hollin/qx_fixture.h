#pragma once
// A recorder family test bench: the recorder emulator on 127.0.0.1, the recorder SDK
// started once per test through CQXGlobal, and a login made by the factory.
#include <gtest/gtest.h>

#include <string>

#include "RecNet.h"
#include "Hollin.h"
#include "dvremu/emulator.h"
#include "localplay_fixture.h"

namespace qx_test {

struct RecorderTest : localplay_test::QuickClock {
  void SetUp() override {
    QuickClock::SetUp();
    // The recorder's replies are awaited for 5 s of product time: 2.5 s here leaves a busy
    // machine room to answer.
    plat::setTimeScale(0.5);
    ASSERT_EQ(CQXGlobal::Startup(), 1);
    emu.setClip(Clip());
    ASSERT_TRUE(emu.start());
    info.SetIP(u"127.0.0.1");
    info.SetPort(emu.port());
    info.UserName.SetNarrow("admin");
    info.Pwd.SetNarrow("12345");
    info.DevType = DEV_TYPE_DVR;
    login = CDevUserLoginFactory::CreateDevUserLogin(&info);
    ASSERT_NE(login, nullptr);
  }
  void TearDown() override {
    CDevUserLoginFactory::DeleteDevUserLogin(login);
    emu.stop();
    CQXGlobal::Cleanup();
    QuickClock::TearDown();
  }
  // One generated clip for every test.
  static const dvremu::StreamClip& Clip() {
    static const dvremu::StreamClip clip = [] {
      dvremu::StreamClip c;
      std::string err;
      EXPECT_TRUE(dvremu::generatedClip(false, 320, 240, 25, 25, false, &c, &err)) << err;
      return c;
    }();
    return clip;
  }
  DevHandle LoggedIn() {
    const DevHandle id = login->GetLoginID(1);
    EXPECT_GE(id, 0);
    return id;
  }

  dvremu::Emulator emu;
  CDevInfo info;
  IDevUserLogin* login = nullptr;
};

}  // namespace qx_test
