// What the device manager keeps is shown and kept as stored, across edits and a restart: a
// channel's number and sub stream set in the channel editor (which no menu offers: it comes
// with its command); a recorder's name longer than the add dialog lets a user type, through
// Modify and OK; a group whose GUID is longer than the program's own, with its member; and
// when the recorder's channel count is lowered, the group members of its channels stay, the
// one of the channel it no longer has too.
#include <QComboBox>
#include <QLineEdit>

#include "DeviceSteps.h"
#include "devices/DlgModifyChn.h"
#include "shell/DbHelpers.h"

namespace {

constexpr unsigned kPropertiesEntry = 8722, kSubStream = 8065, kMainStream = 8064;
constexpr const char16_t* kNightGroup = u"夜班";

class DeviceRecords : public DevicesJourney {
 protected:
  static std::u16string LongName() {
    std::u16string name;
    for (int i = 0; i < 70; ++i) name += static_cast<char16_t>(0x4ED3 + i % 9);  // 仓 and its neighbours
    return name;
  }
  static std::u16string LongGuid() { return u"NIGHT-" + std::u16string(54, u'7'); }
  static std::u16string MemberName(int channel) {
    return CDevMgrModel::MemberName(JourneyTest::kRegion, JourneyTest::kRecorderName, channel);
  }
  static std::u16string StoredRecorderName() {
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, u"Tarnwick.db")) return {};
    auto q = db.Query(u"select Name from Tb_Device where Guid = 'J-RECORDER';");
    std::u16string name = !q.Eof() && q.FieldText(0) ? q.FieldText(0) : u"";
    q.Finalize();
    CloseDatabase(db);
    return name;
  }
  // Rows of Tb_Group as stored: name, group GUID, device GUID, channel.
  static std::vector<std::vector<std::u16string>> StoredGroupRows() {
    std::vector<std::vector<std::u16string>> rows;
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, u"Tarnwick.db")) return rows;
    for (auto q = db.Query(u"select Name, Guid, DevGuid, Chn from Tb_Group;"); !q.Eof(); q.NextRow()) {
      std::vector<std::u16string> row;
      for (int c = 0; c < 4; ++c) row.push_back(q.FieldText(c) ? q.FieldText(c) : u"");
      rows.push_back(row);
    }
    CloseDatabase(db);
    return rows;
  }
  static bool Stored(const std::vector<std::u16string>& row) {
    const auto rows = StoredGroupRows();
    return std::find(rows.begin(), rows.end(), row) != rows.end();
  }
  // The channel editor on a channel of the device tree, selected with a click: what it shows,
  // then `act` in it.
  void EditChannel(CDlgDevMgr* page, QTreeWidget* tree, const std::u16string& device, int channel,
                   const std::function<void(CDlgModifyChn*)>& act) {
    SelectItem(tree, ChannelItem(tree, device, channel));
    OnModal<CDlgModifyChn>([&](CDlgModifyChn* dlg) { act(dlg); });
    page->OnCommand(CDevMgrController::ID_MODIFY_CHANNEL);
  }
};

TEST_F(DeviceRecords, ChannelSettingsLongNamesLongGroupGuidsAndGroupsOfRemovedChannels) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  const std::u16string recorder = LongName();
  const std::u16string cameraMember = CDevMgrModel::MemberName(JourneyTest::kRegion, JourneyTest::kCameraName, 1);
  const std::vector<std::u16string> nightGroup{kNightGroup, LongGuid(), u"", u"0"};
  const std::vector<std::u16string> nightMember{cameraMember, LongGuid(), u"J-CAMERA", u"1"};
  {
    // The recorder under a name longer than the add dialog takes; the camera's channel in a
    // group of a long GUID.
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
    db.Execute(u"update Tb_Device set Name = ? where Guid = 'J-RECORDER';", {recorder});
    db.Execute(u"delete from Tb_Group where DevGuid = 'J-CAMERA';");
    db.Execute(u"insert into Tb_Group values(?, ?, ?, ?);", {nightGroup[0], nightGroup[1], nightGroup[2], int64_t{0}});
    db.Execute(u"insert into Tb_Group values(?, ?, ?, ?);",
               {nightMember[0], nightMember[1], nightMember[2], int64_t{1}});
    CloseDatabase(db);
  }
  RunProgram([&] {
    CDlgDevMgr* page = OpenDeviceManager();
    QTreeWidget* tree = DeviceTree(page);
    auto* groups = Find<QTreeWidget>(page, CDlgDevMgr::IDC_GROUP_TREE);
    QTreeWidgetItem* night = FindItem(groups, QString::fromStdU16String(kNightGroup));
    ASSERT_NE(night, nullptr);
    ASSERT_EQ(night->childCount(), 1) << "the member of the group of a long GUID is shown";
    EXPECT_EQ(night->child(0)->text(0), QString::fromStdU16String(cameraMember));

    // Channel 1 of the recorder: number 7, sub stream; shown so when opened again.
    EditChannel(page, tree, recorder, 1, [&](CDlgModifyChn* dlg) {
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgModifyChn::IDC_STREAM)->currentText(), Text(kMainStream));
      Type(Find<QLineEdit>(dlg, CDlgModifyChn::IDC_USER_NO), "7");
      Choose(Find<QComboBox>(dlg, CDlgModifyChn::IDC_STREAM), Text(kSubStream));
      ClickId(dlg, CDlgModifyChn::IDC_OK);
    });
    EditChannel(page, tree, recorder, 1, [&](CDlgModifyChn* dlg) {
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgModifyChn::IDC_USER_NO)->text(), "7");
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgModifyChn::IDC_STREAM)->currentText(), Text(kSubStream));
      Shot(dlg, "journey_channel_editor");
      ClickId(dlg, CDlgModifyChn::IDC_CANCEL);
    });

    // The recorder modified to one channel: its long name shown whole and kept; the members of
    // its channels 1 and 2 stay, under the names they were given.
    OnModal<CDlgAddDev>([&](CDlgAddDev* dlg) {
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgAddDev::IDC_NAME)->text().toStdU16String(), recorder);
      Choose(Find<QComboBox>(dlg, CDlgAddDev::IDC_CHANNELS), "1");
      ClickId(dlg, CDlgAddDev::IDC_OK);
    });
    ContextMenu(tree, FindItem(tree, QString::fromStdU16String(recorder)), Text(kPropertiesEntry));
    EXPECT_NE(FindItem(tree, QString::fromStdU16String(recorder)), nullptr) << "the name is kept whole";
    EXPECT_EQ(ChannelItem(tree, recorder, 2), nullptr);
    // (Members keep the names they were given, under the recorder's first name.)
    const QString member1 = QString::fromStdU16String(MemberName(1));
    const QString member2 = QString::fromStdU16String(MemberName(2));
    EXPECT_NE(FindItem(groups, member1), nullptr);
    EXPECT_NE(FindItem(groups, member2), nullptr) << "the member of the channel the recorder no longer has stays";
  });

  // As stored, and as shown after the next start.
  EXPECT_EQ(StoredRecorderName(), recorder);
  EXPECT_TRUE(Stored(nightGroup));
  EXPECT_TRUE(Stored(nightMember)) << "the member of a long GUID is kept";
  bool channel2 = false;
  for (const auto& row : StoredGroupRows()) channel2 = channel2 || (row[2] == u"J-RECORDER" && row[3] == u"2");
  EXPECT_TRUE(channel2) << "the member of the recorder's channel 2 is kept";
  RunProgram([&] {
    CDlgDevMgr* page = OpenDeviceManager();
    QTreeWidget* tree = DeviceTree(page);
    ASSERT_NE(FindItem(tree, QString::fromStdU16String(recorder)), nullptr);
    EditChannel(page, tree, recorder, 1, [&](CDlgModifyChn* dlg) {
      EXPECT_EQ(Find<QLineEdit>(dlg, CDlgModifyChn::IDC_USER_NO)->text(), "7") << "the number survives the restart";
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgModifyChn::IDC_STREAM)->currentText(), Text(kSubStream));
      ClickId(dlg, CDlgModifyChn::IDC_CANCEL);
    });
    QTreeWidgetItem* night = FindItem(Find<QTreeWidget>(page, CDlgDevMgr::IDC_GROUP_TREE),
                                      QString::fromStdU16String(kNightGroup));
    ASSERT_NE(night, nullptr);
    EXPECT_EQ(night->childCount(), 1);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
