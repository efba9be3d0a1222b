#pragma once
// What the live view's tests start from, the page's and its model's alike: a home and two
// drives (C: and D:) of the test's own, a user who may do everything, talk that devices take,
// and the camera "前门" (8 channels at 127.0.0.1, region R-1) in the device list, with the
// nodes the tree builder gives their rows; more devices for the region; the notices and the
// clock the page's logic is given; and alarm blocks as the device layer hands them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "devices/DeviceManager.h"
#include "devices/DeviceTreeNodes.h"
#include "plat/paths.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "view/LiveViewModel.h"

namespace testsupport {

inline constexpr char16_t kFrontCameraGuid[] = u"DEV-FRONT";

struct LiveViewHome {
  std::filesystem::path root;
  CDevice* camera = nullptr;  // the device list's
  CRegionInfo region{u"总部", u"R-1", u""};
  DeviceTreeNode regionNode{DeviceTreeNode::kRegion, &region};
  DeviceTreeNode cameraNode{DeviceTreeNode::kDevice, nullptr};
  std::vector<std::u16string> notices;
  std::tm clock{};  // 2026-12-08 10:00:00 from Make on

  void Make() {
    namespace fs = std::filesystem;
    root = NewTestFolder();
    for (const char* folder : {"home", "c", "d"}) fs::create_directories(root / folder);
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    fake::TalkResult() = 1;
    CUser::GetInstance()->SetName(u"ann");
    CUser::GetInstance()->SetPower(RIGHTS_ALL);
    CDevInfo info(u"前门", u"127.0.0.1", 9000, u"admin", u"admin", 8, u"", u"", u"", u"", 0, 0, DEV_TYPE_IPC,
                  kFrontCameraGuid, u"R-1");
    camera = new CDevice(info);
    EXPECT_TRUE(CDeviceManager::GetInstance()->Add(camera));
    cameraNode.object = camera;
    clock = std::tm{};
    clock.tm_year = 126;
    clock.tm_mon = 11;
    clock.tm_mday = 8;
    clock.tm_hour = 10;
  }
  // The page's logic tells its notices here and reads the clock from here.
  void Hear(CLiveViewModel::Host& host) {
    host.notice = [this](const std::u16string& text) { notices.push_back(text); };
    host.now = [this] { return clock; };
  }
  // Another device of the region (at 127.0.0.2), listed, and the node its tree row carries;
  // null when the list refused it.
  DeviceTreeNode* AddDevice(const std::u16string& name, int type, int channels, const std::u16string& guid) {
    CDevInfo info(name, u"127.0.0.2", 8000, u"admin", u"12345", channels, u"", u"", u"", u"", 0, 0, type, guid,
                  u"R-1");
    auto* device = new CDevice(info);
    if (!CDeviceManager::GetInstance()->Add(device)) return nullptr;
    deviceNodes.push_back(std::make_unique<DeviceTreeNode>(DeviceTreeNode{DeviceTreeNode::kDevice, device}));
    return deviceNodes.back().get();
  }
  // Once the services holding files there are released.
  void Remove() {
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    std::filesystem::remove_all(root);
  }

 private:
  std::vector<std::unique_ptr<DeviceTreeNode>> deviceNodes;
};

// An alarm of `type` from the device of that login (-1: none, found by its IP, 127.0.0.1),
// with the flag bytes `set` set.
inline MsgAlarmInfo AlarmBlock(int32_t login, int32_t type, std::initializer_list<int> set) {
  MsgAlarmInfo m;
  std::memset(&m, 0, sizeof m);
  m.loginId = login;
  m.alarmType = type;
  for (int i : set) m.flags[i] = 1;
  std::strcpy(m.deviceIP, "127.0.0.1");
  return m;
}

}  // namespace testsupport
