// First start as the administrator: the camera and the recorder emulators are added through
// a scan of the add-device dialog (a double-click takes a found device for an IP camera of one
// channel: the recorder's type, channels and address are then chosen by hand); both show in
// the preview, playback and group trees and in Tarnwick.db, and the recorder's channel plays
// live (it logged in with its own protocol).
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
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace {

class FirstStart : public DevicesJourney {
 protected:
  // Scan in the add-device dialog; the row of the device on `port` once listed, or null.
  QTreeWidgetItem* Scan(CDlgAddDev* dlg, const QString& port) {
    ClickId(dlg, CDlgAddDev::IDC_SCAN);
    QTreeWidgetItem* row = nullptr;
    WaitUntil([&] {
      for (int r = 0; r < dlg->Results()->topLevelItemCount(); ++r)
        if (dlg->Results()->topLevelItem(r)->text(3) == port) row = dlg->Results()->topLevelItem(r);
      return row != nullptr;
    });
    return row;
  }
  // Add device on the region: Scan, the row of the device on `port` double-clicked, `check`
  // on what it filled in (it may change the form), the name and login typed, OK.
  void AddByScan(QTreeWidget* tree, const QString& port, const QString& name, const QString& user,
                 const QString& password, const std::function<void(CDlgAddDev*, QTreeWidgetItem*)>& check) {
    OnModal<CDlgAddDev>([&](CDlgAddDev* dlg) {
      QTreeWidgetItem* row = Scan(dlg, port);
      ASSERT_NE(row, nullptr) << "the scan finds the device on port " << port.toStdString();
      DoubleClickItem(dlg->Results(), row);
      check(dlg, row);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_NAME), name);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_USER), user);
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PASSWORD), password);
      ClickId(dlg, CDlgAddDev::IDC_OK);
    });
    ContextMenu(tree, FindItem(tree, kRegion), Text(kAddDeviceEntry));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(tree, name) != nullptr; })) << ItemTexts(tree).join(", ").toStdString();
  }
};

constexpr unsigned kAddGroup = 8106;  // the group tree's menu entry
constexpr unsigned kLocalPlaybackEntry = 8139, kRemotePlaybackEntry = 8140;  // the playback button's menu

TEST_F(FirstStart, AdministratorAddsTheCameraAndTheRecorderByScan) {
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
    AddByScan(tree, camPort, kCameraName, kCameraUser, kCameraPassword, [&](CDlgAddDev* dlg, QTreeWidgetItem*) {
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgAddDev::IDC_IP)->text(), "127.0.0.1");
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgAddDev::IDC_PORT)->text(), camPort);
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgAddDev::IDC_DEVICE_TYPE)->currentText(), "IPCamera");
      Shot(dlg, "first_start_scan");
    });

    // The recorder, found by the scan too, its row showing its four channels; the form takes
    // it for a camera of one channel, so the user chooses the recorder and its four channels.
    // The program takes one device per address, and both emulators run on this machine: the
    // recorder's address is changed to the loopback name.
    AddByScan(tree, dvrPort, kRecorderName, kRecorderUser, kRecorderPassword, [&](CDlgAddDev* dlg, QTreeWidgetItem* row) {
      EXPECT_EQ(row->text(4), "4");
      auto* type = Find<QComboBox>(dlg, CDlgAddDev::IDC_DEVICE_TYPE);
      auto* channels = Find<QComboBox>(dlg, CDlgAddDev::IDC_CHANNELS);
      EXPECT_EQ(type->currentText(), "IPCamera");
      EXPECT_EQ(channels->currentText(), "1");
      Choose(type, QStringLiteral("DVR"));
      Choose(channels, QStringLiteral("4"));
      Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_IP), "localhost");
    });

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
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    CDlgPreview* preview = Main()->GetPreviewDlg();
    Click(preview->GetPlayScreen()->GetWnd(0));
    DoubleClickItem(preview->GetDeviceTree(), ChannelItem(preview->GetDeviceTree(), u"仓库录像机", 2));
    EXPECT_TRUE(ShowsVideo(preview->GetPlayScreen()->GetWnd(0))) << "the recorder plays: " << Said();
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
