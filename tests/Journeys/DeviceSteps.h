#pragma once
// Steps journeys share that need devices: both emulators started with their state folder
// (what each holds, read back from the device's side) and their request logs counted; a
// region with the camera and the recorder added through the device tree's menus and the
// add dialogs; the remote set-up of a device from its menu.
#include <QComboBox>
#include <QLineEdit>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "JourneyFixture.h"
#include "devices/DlgAddDev.h"
#include "devices/DlgAddRegion.h"
#include "devices/DlgDevMgr.h"
#include "emustate/state_dir.h"
#include "shell/DlgSetttings.h"
#include "shell/TarnwickDlg.h"

class DevicesJourney : public JourneyTest {
 protected:
  static constexpr const char* kRegion = "总部";
  static constexpr const char* kCameraName = "大门摄像机";
  static constexpr const char* kRecorderName = "仓库录像机";
  // Entries of the device tree's menu.
  static constexpr unsigned kAddRegionEntry = 8109, kAddDeviceEntry = 8112, kRemoteSetupEntry = 8244;

  // Both emulators, each keeping the records it holds in StateDir().
  bool StartEmulatorsWithState() {
    std::filesystem::create_directories(StateDir());
    return StartEmulators(true, true, {"--state-dir", StateDir()});
  }
  std::string StateDir() const { return Folder() + "/emulator-state"; }
  // A record as the camera holds it (by its get code), or as the recorder holds it (read
  // code and channel word); empty when the emulator keeps no such record.
  std::vector<uint8_t> CameraRecord(uint16_t getCode) const {
    return emustate::readFile(StateDir(), emustate::cameraRecordName(getCode)).value_or(std::vector<uint8_t>{});
  }
  std::vector<uint8_t> RecorderRecord(uint32_t getCode, uint32_t channel) const {
    return emustate::readFile(StateDir(), emustate::recorderRecordName(getCode, channel))
        .value_or(std::vector<uint8_t>{});
  }

  // Every record both emulators hold now, by file name.
  std::map<std::string, std::vector<uint8_t>> StateSnapshot() const {
    std::map<std::string, std::vector<uint8_t>> all;
    for (const auto& e : std::filesystem::directory_iterator(StateDir())) {
      const std::string name = e.path().filename().string();
      if (name.ends_with(".bin")) all[name] = emustate::readFile(StateDir(), name).value_or(std::vector<uint8_t>{});
    }
    return all;
  }
  // The names of the records that differ between two snapshots.
  static std::vector<std::string> ChangedRecords(const std::map<std::string, std::vector<uint8_t>>& before,
                                                 const std::map<std::string, std::vector<uint8_t>>& after) {
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : after) {
      auto it = before.find(name);
      if (it == before.end() || it->second != bytes) changed.push_back(name);
    }
    return changed;
  }

  // Control messages of a code the camera received so far (its request log's lines
  // "msg <channel> <code> ...").
  size_t CameraMessages(int code) {
    size_t n = 0;
    for (const std::string& line : camera().LogLines("msg ")) {
      std::istringstream fields(line);
      std::string msg, channel, got;
      fields >> msg >> channel >> got;
      if (got == std::to_string(code)) ++n;
    }
    return n;
  }

  // The settings page with its device manager page on show.
  CDlgDevMgr* OpenDeviceManager() {
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    CDlgSetttings* settings = Main()->GetSettingsDlg();
    EXPECT_TRUE(WaitUntil([&] { return settings->isVisible(); }));
    ClickId(settings, CDlgSetttings::IDC_DEVICES);
    CDlgDevMgr* page = settings->DeviceManagerPage();
    EXPECT_TRUE(WaitUntil([&] { return page->isVisible(); }));
    return page;
  }
  QTreeWidget* DeviceTree(CDlgDevMgr* page) { return Find<QTreeWidget>(page, CDlgDevMgr::IDC_DEVICE_TREE); }

  // A region, the camera (its address typed in) and the recorder (by the name localhost: the
  // device list keeps one device per address) added as an administrator adds them, through
  // the device tree's menu.
  void AddRegionCameraAndRecorder() {
    CDlgDevMgr* page = OpenDeviceManager();
    AddRegion(page);
    AddDevice(page, kCameraName, "IPCamera", 1, "127.0.0.1", camera().Port(), kCameraUser, kCameraPassword);
    AddDevice(page, kRecorderName, "DVR", 4, "localhost", recorder().Port(), kRecorderUser, kRecorderPassword);
  }

  // The region kRegion, through the menu of the tree's empty space.
  void AddRegion(CDlgDevMgr* page) {
    QTreeWidget* tree = DeviceTree(page);
    ASSERT_NE(tree, nullptr);
    OnModal<CDlgAddRegion>([&](CDlgAddRegion* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddRegion::IDC_NAME), kRegion);
      ClickId(dlg, CNameEntryDialog::IDOK_BUTTON);
    });
    ContextMenu(tree, nullptr, Text(kAddRegionEntry));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(tree, kRegion) != nullptr; }));
  }

  void AddDevice(CDlgDevMgr* page, const QString& name, const QString& type, int channels, const QString& host,
                 uint16_t port, const QString& user, const QString& password) {
    QTreeWidget* tree = DeviceTree(page);
    OnModal<CDlgAddDev>([&](CDlgAddDev* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_NAME), name);
      Choose(Find<QComboBox>(dlg, CDlgAddDev::IDC_DEVICE_TYPE), type);
      Choose(Find<QComboBox>(dlg, CDlgAddDev::IDC_CHANNELS), QString::number(channels));
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_IP), host);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PORT), QString::number(port));
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_USER), user);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PASSWORD), password);
      ClickId(dlg, CDlgAddDev::IDC_OK);
    });
    ContextMenu(tree, FindItem(tree, kRegion), Text(kAddDeviceEntry));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(tree, name) != nullptr; }))
        << name.toStdString() << " not added: " << ItemTexts(tree).join(", ").toStdString();
  }

  // The device manager's "device parameter set-up" on a device, chosen from its menu.
  void RemoteSetupFromMenu(CDlgDevMgr* page, const QString& device) {
    QTreeWidget* tree = DeviceTree(page);
    ContextMenu(tree, FindItem(tree, device), Text(kRemoteSetupEntry));
  }
};
