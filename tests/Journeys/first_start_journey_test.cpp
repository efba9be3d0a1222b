// First start as the administrator: the camera emulator is added through a scan of the
// add-device dialog, the recorder emulator by its address; both show in the preview,
// playback and group trees and in Tarnwick.db.
#include <QComboBox>
#include <QLineEdit>
#include <map>
#include <vector>

#include "DeviceSteps.h"
#include "devices/DlgAddDev.h"
#include "devices/DlgAddGrp.h"
#include "devices/DlgDevMgr.h"
#include "shell/DbHelpers.h"
#include "shell/DlgSetttings.h"
#include "shell/TarnwickDlg.h"

namespace {

class FirstStart : public DevicesJourney {};

constexpr unsigned kAddGroup = 8106;  // the group tree's menu entry
constexpr unsigned kLocalPlaybackEntry = 8139, kRemotePlaybackEntry = 8140;  // the playback button's menu

TEST_F(FirstStart, AdministratorAddsTheCameraByScanAndTheRecorderByAddress) {
  ASSERT_TRUE(StartEmulators());
  const QString camPort = QString::number(camera().Port());
  const QString dvrPort = QString::number(recorder().Port());
  RunProgram([&] {
    Shot(Main(), "first_start_preview");
    CDlgDevMgr* devices = OpenDeviceManager();
    Shot(Main(), "first_start_devices");
    QTreeWidget* tree = DeviceTree(devices);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), 0) << "a fresh program has no devices";
    // Devices live in regions: the empty tree's menu offers the first region only.
    AddRegion(devices);

    // The camera: found by the scan, its row double-clicked, the login typed.
    OnModal<CDlgAddDev>([&](CDlgAddDev* dlg) {
      ClickId(dlg, CDlgAddDev::IDC_SCAN);
      QTreeWidgetItem* row = nullptr;
      ASSERT_TRUE(WaitUntil([&] {
        for (int r = 0; r < dlg->Results()->topLevelItemCount(); ++r)
          if (dlg->Results()->topLevelItem(r)->text(3) == camPort) row = dlg->Results()->topLevelItem(r);
        return row != nullptr;
      })) << "the scan finds the camera";
      Shot(dlg, "first_start_scan");
      DoubleClickItem(dlg->Results(), row);
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgAddDev::IDC_IP)->text(), "127.0.0.1");
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PORT)->text(), camPort);
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgAddDev::IDC_DEVICE_TYPE)->currentText(), "IPCamera");
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_NAME), kCameraName);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_USER), kCameraUser);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PASSWORD), kCameraPassword);
      ClickId(dlg, CDlgAddDev::IDC_OK);
    });
    ContextMenu(tree, FindItem(tree, kRegion), Text(kAddDeviceEntry));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(tree, kCameraName) != nullptr; }))
        << ItemTexts(tree).join(", ").toStdString();

    // The recorder, typed in by address. The program takes one device per address, and both
    // emulators run on this machine: the recorder goes by the loopback name.
    AddDevice(devices, kRecorderName, "DVR", 4, "localhost", recorder().Port(), kRecorderUser, kRecorderPassword);

    // A group with the camera's channel and the recorder's four.
    auto* groups = Find<QTreeWidget>(devices, CDlgDevMgr::IDC_GROUP_TREE);
    OnModal<CDlgAddGrp>([&](CDlgAddGrp* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddGrp::IDC_NAME), QStringLiteral("大门轮巡"));
      ClickId(dlg, CNameEntryDialog::IDOK_BUTTON);
    });
    ContextMenu(groups, nullptr, Text(kAddGroup));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(groups, QStringLiteral("大门轮巡")) != nullptr; }));
    for (const char* device : {kCameraName, kRecorderName}) {
      SelectItem(tree, FindItem(tree, device));
      SelectItem(groups, FindItem(groups, QStringLiteral("大门轮巡")));
      ClickId(devices, CDlgDevMgr::IDC_TO_GROUP);
    }
    EXPECT_EQ(FindItem(groups, QStringLiteral("大门轮巡"))->childCount(), 5) << ItemTexts(groups).join(", ").toStdString();
    Shot(Main(), "first_start_devices_added");

    // Both in the trees of the playback pages and the preview page, as each is shown.
    auto showsBoth = [&](QTreeWidget* t) {
      EXPECT_TRUE(WaitUntil([&] {
        return FindItem(t, kCameraName) && FindItem(t, kRecorderName);
      })) << ItemTexts(t).join(", ").toStdString();
    };
    OnMenu(Text(kLocalPlaybackEntry));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    ASSERT_TRUE(WaitUntil([&] { return Main()->GetLPlaybackDlg()->isVisible(); }));
    showsBoth(Main()->GetLPlaybackDlg()->GetDeviceTree());
    OnMenu(Text(kRemotePlaybackEntry));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    ASSERT_TRUE(WaitUntil([&] { return Main()->GetPlaybackDlg()->isVisible(); }));
    showsBoth(Main()->GetPlaybackDlg()->GetDeviceTree());
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    ASSERT_TRUE(WaitUntil([&] { return Main()->GetPreviewDlg()->isVisible(); }));
    showsBoth(Main()->GetPreviewDlg()->GetDeviceTree());
    QTreeWidget* previewGroups = Main()->GetPreviewDlg()->GetGroupTree();
    EXPECT_TRUE(WaitUntil([&] {
      QTreeWidgetItem* g = FindItem(previewGroups, QStringLiteral("大门轮巡"));
      return g && g->childCount() == 5 && FindItem(previewGroups, kCameraName, true) &&
             FindItem(previewGroups, kRecorderName, true);
    })) << ItemTexts(previewGroups).join(", ").toStdString();
    Shot(Main(), "first_start_preview_devices");
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);

  // What the program keeps: both devices with their addresses and logins, the group.
  CppSQLite3DB db;
  ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
  std::map<std::u16string, std::vector<std::u16string>> stored;
  for (auto q = db.Query(u"select Name, IP, Port, UserName, Pwd, DevType from Tb_Device;"); !q.Eof(); q.NextRow())
    stored[q.FieldText(0)] = {q.FieldText(1), q.FieldText(2), q.FieldText(3), q.FieldText(4), q.FieldText(5)};
  EXPECT_EQ(stored[u"大门摄像机"], (std::vector<std::u16string>{u"127.0.0.1", camPort.toStdU16String(), u"admin",
                                                            u"admin", u"2"}));
  EXPECT_EQ(stored[u"仓库录像机"], (std::vector<std::u16string>{u"localhost", dvrPort.toStdU16String(), u"admin",
                                                            u"12345", u"1"}));
  int members = 0;
  for (auto q = db.Query(u"select count(*) from Tb_Group where DevGuid <> '';"); !q.Eof(); q.NextRow())
    members = q.FieldInt(0);
  EXPECT_EQ(members, 5);
  CloseDatabase(db);
}

}  // namespace
