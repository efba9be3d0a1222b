// Closing asks first; a cancelled close keeps the program. What the user changed before the
// close (a new group, the local settings) is there again at the next start in the same data
// folder, with the devices and groups that were there before; the layout and the windows that
// played are written at the close, and the next start begins with four empty windows.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <vector>

#include "JourneyFixture.h"
#include "controls/CheckComboBox.h"
#include "devices/DevMgrModel.h"
#include "devices/DlgAddGrp.h"
#include "devices/DlgDevMgr.h"
#include "devices/NameEntryDialog.h"
#include "shell/DbHelpers.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgSetttings.h"
#include "shell/LocalSettings.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgDivScreen.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace {

constexpr unsigned kAddGroup = 8106;  // the group tree's menu entry
constexpr unsigned kCloseConfirm = 8524;
const QString kNewGroup = QStringLiteral("后门");

class Restart : public JourneyTest {
 protected:
  CDlgLSettings* OpenLocalSettings() {
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    CDlgSetttings* settings = Main()->GetSettingsDlg();
    ClickId(settings, CDlgSetttings::IDC_LOCAL);
    CDlgLSettings* local = settings->LocalSettingsPage();
    EXPECT_TRUE(WaitUntil([&] { return local->isVisible(); }));
    return local;
  }
};

TEST_F(Restart, ACancelledCloseKeepsTheProgramAndWhatWasChangedIsBackAtTheNextStart) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  RunProgram([&] {
    // A second group with the recorder's channel 3, made in the device manager.
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    CDlgDevMgr* devices = Main()->GetSettingsDlg()->DeviceManagerPage();
    ASSERT_TRUE(WaitUntil([&] { return devices->isVisible(); }));
    auto* tree = Find<QTreeWidget>(devices, CDlgDevMgr::IDC_DEVICE_TREE);
    auto* groups = Find<QTreeWidget>(devices, CDlgDevMgr::IDC_GROUP_TREE);
    OnModal<CDlgAddGrp>([&](CDlgAddGrp* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddGrp::IDC_NAME), kNewGroup);
      ClickId(dlg, CNameEntryDialog::IDOK_BUTTON);
    });
    ContextMenu(groups, nullptr, Text(kAddGroup));
    ASSERT_TRUE(WaitUntil([&] { return FindItem(groups, kNewGroup) != nullptr; }));
    SelectItem(tree, ChannelItem(tree, kRecorderName, 3));
    SelectItem(groups, FindItem(groups, kNewGroup));
    ClickId(devices, CDlgDevMgr::IDC_TO_GROUP);
    ASSERT_EQ(FindItem(groups, kNewGroup)->childCount(), 1);

    // The local settings: cycle time, 64 MB files, no loop recording, d: and e: to record on.
    CDlgLSettings* local = OpenLocalSettings();
    Type(Find<QLineEdit>(local, CDlgLSettings::IDC_CYCLE), "35");
    Choose(Find<QComboBox>(local, CDlgLSettings::IDC_PACK_SIZE), "64M");
    auto* circle = Find<QAbstractButton>(local, CDlgLSettings::IDC_CIRCLE);
    ASSERT_TRUE(circle && circle->isChecked());
    Click(circle);
    auto* disks = Find<QComboBox>(local, CDlgLSettings::IDC_DISKS);
    ASSERT_EQ(disks->count(), 3);
    ClickListEntry(disks, disks->itemText(1));
    ClickListEntry(disks, disks->itemText(2));
    ClickId(local, CDlgLSettings::IDC_SAVE);

    // Nine windows, the camera in the first.
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    CDlgPreview* preview = Main()->GetPreviewDlg();
    ClickId(preview, CDlgPreview::ID_DIVIDE);
    ClickId(Find(preview, CDlgDivScreen::kTemplateId), CDlgDivScreen::kFirstButtonId + 4);
    CPlayScreen* screen = preview->GetPlayScreen();
    ASSERT_EQ(screen->GetLayoutMode(), CDlgDivScreen::ModeOfButton(CDlgDivScreen::kFirstButtonId + 4));
    Click(screen->GetWnd(0));
    DoubleClickItem(preview->GetDeviceTree(), ChannelItem(preview->GetDeviceTree(), kCameraName, 1));
    EXPECT_TRUE(ShowsVideo(screen->GetWnd(0)));

    // The close asks; a cancel keeps everything running.
    Ui().boxAnswers.push_back(IDCANCEL);
    ClickId(Main(), CTarnwickDlg::IDC_BntClose);
    ASSERT_EQ(Ui().boxes.size(), 1u);
    EXPECT_EQ(Ui().boxes[0].text, Text(kCloseConfirm).toStdU16String());
    EXPECT_EQ(Ui().boxes[0].type, static_cast<unsigned>(MB_OKCANCEL | MB_ICONWARNING));
    PumpFor(200);
    ASSERT_TRUE(Running());
    EXPECT_TRUE(ShowsVideo(screen->GetWnd(0))) << "the camera plays on";
    CloseProgram();
  });
  EXPECT_EQ(Ui().boxes.size(), 2u) << Said();
  ASSERT_FALSE(HasFailure());
  // The closed session is on record: the layout and the window that played.
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"preivew.db"));
    EXPECT_EQ(db.ExecuteScalar(u"select DevideScreenMode from Tb_PlayScreen;"),
              CDlgDivScreen::ModeOfButton(CDlgDivScreen::kFirstButtonId + 4));
    std::vector<std::u16string> rows;
    for (auto q = db.Query(u"select DevGuid, Chn, PlayWnd from Tb_Preview;"); !q.Eof(); q.NextRow())
      rows.push_back(std::u16string(q.FieldText(0)) + u"/" + q.FieldText(1) + u"/" + q.FieldText(2));
    EXPECT_EQ(rows, std::vector<std::u16string>{u"J-CAMERA/1/0"});
    CloseDatabase(db);
  }

  // The next start in the same data folder.
  RunProgram([&] {
    CDlgPreview* preview = Main()->GetPreviewDlg();
    QTreeWidget* tree = preview->GetDeviceTree();
    EXPECT_NE(ChannelItem(tree, kCameraName, 1), nullptr) << ItemTexts(tree).join(", ").toStdString();
    EXPECT_NE(ChannelItem(tree, kRecorderName, 4), nullptr) << ItemTexts(tree).join(", ").toStdString();
    QTreeWidget* groups = preview->GetGroupTree();
    QTreeWidgetItem* seeded = FindItem(groups, QString::fromStdU16String(kGroupName));
    QTreeWidgetItem* added = FindItem(groups, kNewGroup);
    ASSERT_TRUE(seeded && added) << ItemTexts(groups).join(", ").toStdString();
    EXPECT_EQ(seeded->childCount(), 3);
    ASSERT_EQ(added->childCount(), 1);
    EXPECT_EQ(added->child(0)->text(0).toStdU16String(), CDevMgrModel::MemberName(kRegion, kRecorderName, 3));
    CPlayScreen* screen = preview->GetPlayScreen();
    EXPECT_EQ(screen->GetLayoutMode(), CDlgDivScreen::ModeOfButton(CDlgDivScreen::kFirstButtonId + 1))
        << "the closed session's layout came back";
    EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0) << "a window of the closed session plays again";
    Shot(Main(), "restart_preview");

    CDlgLSettings* local = OpenLocalSettings();
    EXPECT_EQ(Find<QLineEdit>(local, CDlgLSettings::IDC_CYCLE)->text(), "35");
    EXPECT_FALSE(Find<QAbstractButton>(local, CDlgLSettings::IDC_CIRCLE)->isChecked());
    EXPECT_EQ(Find<QComboBox>(local, CDlgLSettings::IDC_PACK_SIZE)->currentText(), "64M");
    auto* disks = static_cast<CCheckComboBox*>(Find<QComboBox>(local, CDlgLSettings::IDC_DISKS));
    EXPECT_EQ(disks->GetCheck(0), 0);
    EXPECT_EQ(disks->GetCheck(1), 1);
    EXPECT_EQ(disks->GetCheck(2), 1);
    Shot(Main(), "restart_local_settings");
  });

}

}  // namespace
