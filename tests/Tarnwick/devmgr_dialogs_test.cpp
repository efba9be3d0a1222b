// The device manager page and its dialogs, driven headless: the page from Tarnwick.db to its
// trees, layout and end; the add dialogs' checks; the add-device dialog's scan against the
// camera and recorder emulators on loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QStandardItemModel>
#include <chrono>
#include <thread>

#include "camemu/camera.h"
#include "devices/DlgDevMgr.h"
#include "devmgr_fixture.h"
#include "dvremu/emulator.h"
#include "harness/Recorder.h"
#include "harness/UiHarness.h"
#include "shell/AppMessages.h"
#include "shell/Language.h"

namespace {

using devmgr_test::DevMgrFixture;

std::u16string Str(uint32_t id) { return LoadResString(id); }

template <typename W>
W* Child(QWidget* parent, int id) {
  W* w = parent->findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

QPoint Centre(QWidget* w) { return QPoint(w->x() + w->width() / 2, w->y() + w->height() / 2); }

class DevMgrPage : public DevMgrFixture {
 protected:
  // Two levels of regions, a device of each kind, an orphan, two groups with members.
  void Fill() {
    Regions({{u"总部", u"r1", u""}, {u"一楼", u"r2", u"r1"}, {u"二楼", u"r3", u"r1"}, {u"仓库", u"r4", u"r2"}});
    Device(u"前门DVR", 1, 4, u"r2");
    Device(u"大厅摄像机", 2, 1, u"r2");
    Device(u"录像机NVR", 4, 2, u"r3");
    Device(u"流媒体", 3, 0, u"r1");
    Device(u"仓库摄像机", 2, 1, u"r4");
    Device(u"旧设备", 2, 1, u"missing");
    Exec(u"CREATE TABLE Tb_Group (Name varchar NOT NULL,Guid varchar NOT NULL,DevGuid varchar,Chn varchar);");
    const char16_t* rows[][4] = {{u"大门轮巡", u"g1", u"", u"0"},
                                 {u"一楼_前门DVR_通道01", u"g1", u"G-前门DVR", u"1"},
                                 {u"一楼_大厅摄像机_通道01", u"g1", u"G-大厅摄像机", u"1"},
                                 {u"仓库", u"g2", u"", u"0"},
                                 {u"仓库_仓库摄像机_通道01", u"g2", u"G-仓库摄像机", u"1"}};
    for (auto& r : rows)
      Exec(u"insert into Tb_Group values(?,?,?,?);",
           {std::u16string(r[0]), std::u16string(r[1]), std::u16string(r[2]), std::u16string(r[3])});
  }
  harness::ScopedScriptedUi ui;
};

TEST_F(DevMgrPage, PageShowsTreesLaysOutAndWritesEverythingAtItsEnd) {
  Fill();
  QWidget host;
  host.resize(900, 560);
  QTreeWidget preview, playback, groups;
  auto page = std::make_unique<CDlgDevMgr>(liveView_);
  page->RegisterDeviceTree(&preview);
  page->RegisterDeviceTree(nullptr);
  page->RegisterDeviceTree(&playback);
  page->RegisterGroupTree(&groups);
  int refreshes = 0;
  harness::RecordingParent previewPage;
  page->SetPreviewWindow(previewPage.handle);
  ASSERT_TRUE(page->Create(&host));
  page->setGeometry(0, 0, 900, 560);
  page->show();
  host.show();
  harness::Pump();
  for (auto& m : previewPage.messages) refreshes += m.message == WM_REFRESH_TREE;
  EXPECT_EQ(refreshes, 1);

  // Siblings sorted by their texts; the device whose region is gone under the root region.
  EXPECT_EQ(Dump(*page->DeviceTree()),
            u"总部[0]\n"
            u"  一楼[0]\n    仓库[0]\n      仓库摄像机[1]\n        通道01[4]\n"
            u"    前门DVR[1]\n      通道01[4]\n      通道02[4]\n      通道03[4]\n      通道04[4]\n"
            u"    大厅摄像机[1]\n      通道01[4]\n"
            u"  二楼[0]\n    录像机NVR[1]\n      通道01[4]\n      通道02[4]\n"
            u"  旧设备[1]\n    通道01[4]\n"
            u"  流媒体[10]\n");
  // The other pages' trees are filled when they are shown, not before: at start-up only the
  // shown page's tree is built.
  EXPECT_EQ(preview.topLevelItemCount(), 0);
  EXPECT_EQ(playback.topLevelItemCount(), 0);
  preview.show();
  playback.show();
  harness::Pump();
  int refreshesAfter = 0;
  for (auto& m : previewPage.messages) refreshesAfter += m.message == WM_REFRESH_TREE;
  EXPECT_EQ(refreshesAfter, 3) << "the preview page marks its channels on the items it now has";
  // They mirror it, without the stream-media server, sharing its nodes.
  EXPECT_EQ(Dump(preview), Dump(playback));
  EXPECT_EQ(Dump(preview).find(u"流媒体"), std::u16string::npos);
  EXPECT_EQ(DeviceNodeOf(preview.topLevelItem(0)), DeviceNodeOf(page->DeviceTree()->topLevelItem(0)));
  EXPECT_EQ(Dump(*page->GroupTree()), u"仓库[8]\n  仓库_仓库摄像机_通道01[4]\n"
                                      u"大门轮巡[8]\n  一楼_前门DVR_通道01[4]\n  一楼_大厅摄像机_通道01[4]\n");
  EXPECT_EQ(Dump(groups), Dump(*page->GroupTree()));
  EXPECT_EQ(Child<QLabel>(page.get(), 1103)->text().toStdU16String(), Str(8340));
  EXPECT_EQ(Child<QWidget>(page.get(), 1150)->toolTip().toStdU16String(), Str(8112));
  EXPECT_FALSE(Child<QWidget>(page.get(), 1150)->isVisible());  // commands come through the menus

  // Layout: the group label at half the width plus 65, the trees beside the 130-pixel gap,
  // the set-up button in the centre and the arrows 37 pixels around it (pi as 3.1415926 and
  // truncation put the one above a pixel left).
  EXPECT_EQ(Child<QLabel>(page.get(), 1106)->x(), 450 + 65);
  EXPECT_EQ(page->GroupTree()->geometry(), QRect(524, 34, 891 - 524, 549 - 34));
  EXPECT_EQ(page->DeviceTree()->geometry(), QRect(9, 34, 376 - 9, 549 - 34));
  EXPECT_EQ(Centre(Child<QWidget>(page.get(), 1951)), QPoint(450, 280));
  EXPECT_EQ(Centre(Child<QWidget>(page.get(), 1952)), QPoint(487, 280));
  EXPECT_EQ(Centre(Child<QWidget>(page.get(), 1950)), QPoint(450, 317));
  EXPECT_EQ(Centre(Child<QWidget>(page.get(), 5553)), QPoint(413, 280));
  EXPECT_EQ(Centre(Child<QWidget>(page.get(), 1949)), QPoint(449, 243));
  page->DeviceTree()->expandAll();
  harness::SaveScreenshot(&host, "device_manager");

  // The end writes the three tables (the orphan device too) and leaves no tree with its nodes.
  page.reset();
  EXPECT_EQ(preview.topLevelItemCount(), 0);
  EXPECT_EQ(groups.topLevelItemCount(), 0);
  EXPECT_EQ(Table(u"Tb_Device").size(), 6u);
  EXPECT_EQ(Table(u"Tb_Region").size(), 4u);
  EXPECT_EQ(Table(u"Tb_Group").size(), 5u);
}

TEST_F(DevMgrPage, RegionAndGroupDialogsRefuseEmptyAndTakenNames) {
  Fill();
  CDevMgrModel model;
  model.LoadAll();
  CDlgAddRegion region(&model);
  region.SetRegion(nullptr, 1, u"总部");
  region.show();
  EXPECT_EQ(region.windowTitle().toStdU16String(), Str(8109));
  EXPECT_EQ(Child<QLineEdit>(&region, 1160)->text().toStdU16String(), u"总部");
  harness::Click(Child<QWidget>(&region, 1));
  EXPECT_EQ(ui->notices.back(), Str(8207));
  region.NameEdit()->setText("二楼");
  harness::Click(Child<QWidget>(&region, 1));
  EXPECT_EQ(ui->notices.back(), Str(8208));
  EXPECT_TRUE(region.isVisible());
  region.NameEdit()->setText("三楼");
  region.OnOK();
  EXPECT_EQ(region.result(), 1);
  EXPECT_EQ(region.Region().Name, u"三楼");
  // Modify: the unchanged name is accepted; another region's name is refused and the record
  // keeps its name.
  CRegionInfo second(u"二楼", u"r3", u"r1");
  region.SetRegion(&second, 0, u"总部");
  region.show();
  EXPECT_EQ(region.windowTitle().toStdU16String(), Str(8111));
  EXPECT_EQ(region.NameEdit()->text(), "二楼");
  region.NameEdit()->setText("一楼");
  region.OnOK();
  EXPECT_EQ(ui->notices.back(), Str(8208));
  EXPECT_EQ(region.Region().Name, u"二楼");
  region.NameEdit()->setText("二楼");
  region.OnOK();
  EXPECT_FALSE(region.isVisible());
  EXPECT_EQ(region.result(), 1);

  CDlgAddGrp group(&model);
  group.SetGroup(nullptr, 1);
  group.show();
  EXPECT_EQ(group.windowTitle().toStdU16String(), Str(8106));
  group.OnOK();
  EXPECT_EQ(ui->notices.back(), Str(8211));
  group.NameEdit()->setText("仓库");
  group.OnOK();
  EXPECT_EQ(ui->notices.back(), Str(8212));
  harness::KeyPress(group.NameEdit(), Qt::Key_A, "a");
  group.NameEdit()->setText(QString(63, 'x'));
  harness::KeyPress(group.NameEdit(), Qt::Key_A, "a");
  EXPECT_EQ(group.NameEdit()->text().size(), 63);  // a 64th character cannot be typed
  CGroupInfo gate(u"大门轮巡", u"g1");
  group.SetGroup(&gate, 0);
  group.show();
  group.NameEdit()->setText("仓库");
  group.OnOK();
  EXPECT_EQ(group.Group().Name, u"大门轮巡");
  EXPECT_TRUE(group.isVisible());
  group.NameEdit()->setText("正门");
  group.OnOK();
  EXPECT_EQ(group.result(), 1);
  EXPECT_EQ(group.Group().Name, u"正门");
  region.SetRegion(nullptr, 0, u"ignored");  // neither record nor add: nothing changes
  EXPECT_EQ(region.IsAddMode(), 0);
}

TEST_F(DevMgrPage, ServerDialogChecksPortAndDuplicatesInBothModes) {
  Fill();
  Device(u"流媒体2", 3, 0, u"r1", u"10.0.9.9");
  CDevMgrModel model;
  model.LoadAll();
  CDlgAddSM sm(&model);
  sm.SetServer(nullptr, u"总部", 1);
  sm.show();
  EXPECT_EQ(sm.windowTitle().toStdU16String(), Str(8226));
  auto* name = Child<QLineEdit>(&sm, CDlgAddSM::IDC_NAME);
  auto* address = Child<QLineEdit>(&sm, CDlgAddSM::IDC_ADDRESS);
  auto* port = Child<QLineEdit>(&sm, CDlgAddSM::IDC_PORT);
  struct Case {
    const char* name;
    const char* address;
    const char* port;
    uint32_t notice;
  };
  const Case cases[] = {{"", "1.2.3.4", "554", 8299},        {"媒体A", "", "554", 8225},
                        {"媒体A", "1.2.3.4", "", 8206},      {"媒体A", "1.2.3.4", "0", 8206},
                        {"媒体A", "1.2.3.4", "65536", 8206}, {"流媒体", "1.2.3.4", "554", 8224},
                        {"媒体A", "10.0.9.9", "554", 8224}};
  for (const Case& c : cases) {
    name->setText(QString::fromUtf8(c.name));
    address->setText(c.address);
    port->setText(c.port);
    sm.OnOK();
    EXPECT_EQ(ui->notices.back(), Str(c.notice)) << c.name << " " << c.address << " " << c.port;
    EXPECT_TRUE(sm.isVisible());
  }
  port->setText("65535");
  address->setText("1.2.3.4");
  sm.OnOK();
  EXPECT_EQ(sm.result(), 1);
  EXPECT_EQ(sm.Server().GetName(), u"媒体A");
  EXPECT_EQ(sm.Server().GetPort(), 65535);

  // Renaming a server to another server's name is refused, and stays refused at a second OK.
  CDevice* existing = CDeviceManager::GetInstance()->FindDevice(u"流媒体2", 0);
  sm.SetServer(&existing->GetDevInfo(), u"总部", 0);
  sm.show();
  EXPECT_EQ(name->text(), "流媒体2");
  EXPECT_EQ(port->text(), "8000");
  name->setText("流媒体");
  for (int i = 0; i < 2; ++i) {
    sm.OnOK();
    EXPECT_TRUE(sm.isVisible());
    EXPECT_EQ(sm.Server().GetName(), u"流媒体2");
  }
  name->setText("流媒体2");
  sm.OnOK();
  EXPECT_EQ(sm.result(), 1);
}

TEST_F(DevMgrPage, AddDeviceDialogValidatesBothModes) {
  Fill();
  CDevMgrModel model;
  model.LoadAll();
  CDlgAddDev dlg(&model);
  dlg.SetInfo(nullptr, u"一楼", 1);
  dlg.show();
  auto* type = Child<QComboBox>(&dlg, CDlgAddDev::IDC_DEVICE_TYPE);
  auto* channels = Child<QComboBox>(&dlg, CDlgAddDev::IDC_CHANNELS);
  EXPECT_EQ(type->currentText(), "DVR");
  EXPECT_EQ(channels->currentText(), "16");
  ASSERT_EQ(type->count(), 4);
  EXPECT_EQ(type->itemText(2), "MediaServer");
  EXPECT_TRUE(qobject_cast<QStandardItemModel*>(type->model())->item(2)->isEnabled());
  EXPECT_EQ(dlg.height(), dlg.CollapsedHeight());
  EXPECT_EQ(Child<QLineEdit>(&dlg, CDlgAddDev::IDC_REGION)->text().toStdU16String(), u"一楼");
  auto set = [&](int id, const QString& text) { Child<QLineEdit>(&dlg, id)->setText(text); };
  struct Case {
    QString name, ip, port, user;
    uint32_t notice;
  };
  const Case cases[] = {{"", "1.2.3.4", "8000", "admin", 8213},
                        {"新设备", "", "8000", "admin", 8209},
                        {"新设备", "1.2.3.4", "", "admin", 8206},
                        {"新设备", "1.2.3.4", "0", "admin", 8206},
                        {"新设备", "1.2.3.4", "65536", "admin", 8206},
                        {"新设备", "1.2.3.4", "8000", QString(33, 'u'), 8961},
                        {"前门DVR", "1.2.3.4", "8000", "admin", 8210}};
  for (const Case& c : cases) {
    set(CDlgAddDev::IDC_NAME, c.name);
    set(CDlgAddDev::IDC_IP, c.ip);
    set(CDlgAddDev::IDC_PORT, c.port);
    set(CDlgAddDev::IDC_USER, c.user);
    EXPECT_FALSE(dlg.Validate()) << c.name.toStdString() << " " << c.port.toStdString();
    EXPECT_EQ(ui->notices.back(), Str(c.notice)) << c.name.toStdString();
  }
  // The host is neither looked up nor compared here: another device's host passes (the page
  // refuses it after OK), and so does a name that does not resolve (the login says so).
  set(CDlgAddDev::IDC_NAME, "新设备");
  set(CDlgAddDev::IDC_USER, "admin");
  set(CDlgAddDev::IDC_IP, "10.0.0.1");
  EXPECT_TRUE(dlg.Validate());
  set(CDlgAddDev::IDC_IP, "nosuch.invalid");
  type->setCurrentIndex(1);  // a camera's login takes 15 bytes of password
  set(CDlgAddDev::IDC_PASSWORD, QString(16, 'p'));
  EXPECT_FALSE(dlg.Validate());
  EXPECT_EQ(ui->notices.back(), Str(8962));
  set(CDlgAddDev::IDC_PASSWORD, "12345");
  channels->setCurrentIndex(7);
  dlg.OnOK();
  EXPECT_EQ(dlg.result(), 1);
  EXPECT_EQ(dlg.Info().GetName(), u"新设备");
  EXPECT_EQ(dlg.Info().GetDevType(), 2);
  EXPECT_EQ(dlg.Info().GetChnNum(), 8);
  EXPECT_EQ(dlg.Info().GetPwd(), u"12345");
  EXPECT_EQ(dlg.Info().GetIP(), u"nosuch.invalid");

  // Modify: type and manufacturer fixed; another device's name refused at every OK; the
  // unchanged record accepted; identifiers kept.
  CDevice* dvr = CDeviceManager::GetInstance()->FindDevice(u"前门DVR", 0);
  dlg.SetInfo(&dvr->GetDevInfo(), u"一楼", 0);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle().toStdU16String(), Str(8291));
  EXPECT_FALSE(type->isEnabled());
  EXPECT_FALSE(Child<QComboBox>(&dlg, CDlgAddDev::IDC_MANUFACTURER)->isEnabled());
  EXPECT_FALSE(Child<QWidget>(&dlg, CDlgAddDev::IDC_SCAN)->isVisible());
  EXPECT_EQ(channels->currentText(), "4");
  set(CDlgAddDev::IDC_NAME, "大厅摄像机");
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(dlg.Validate());
    EXPECT_EQ(ui->notices.back(), Str(8210));
  }
  set(CDlgAddDev::IDC_NAME, "前门DVR");
  EXPECT_TRUE(dlg.Validate());
  EXPECT_EQ(dlg.Info().GetGuid(), u"G-前门DVR");
  EXPECT_EQ(dlg.Info().GetRegionGuid(), u"r2");
}

// Runs the event loop until pred() holds or 20 s of real time passed.
bool PumpUntil(const std::function<bool()>& pred) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST_F(DevMgrPage, ScanListsTheEmulatorsOnceEachAndADoubleClickFillsTheForm) {
  camemu::Camera camera;
  ASSERT_TRUE(camera.start());
  ASSERT_TRUE(camera.startDiscovery(0));
  dvremu::Options options;
  options.info[4] = 24;  // a recorder reporting more channels than the form offers
  dvremu::Emulator recorder(options);
  ASSERT_TRUE(recorder.start());
  // "录像机" in GBK, with a bell, a DEL and an escape among its bytes: the list and the form
  // show the name without them.
  ASSERT_TRUE(recorder.startDiscovery(0, "\x07\xC2\xBC\xCF\xF1\x7F\xBB\xFA\x1B"));
  const std::string targets =
      "127.0.0.1:" + std::to_string(camera.discoveryPort()) + ",127.0.0.1:" + std::to_string(recorder.discoveryPort());
  setenv(FARLOOK_TARGETS_VARIABLE, targets.c_str(), 1);
  plat::setTimeScale(0.2);

  CDevMgrModel model;
  CDlgAddDev dlg(&model);
  dlg.SetInfo(nullptr, u"总部", 1);
  dlg.show();
  auto camMac = QString::fromStdString(lanprobe::MacFor(camera.port()));
  auto dvrMac = QString::fromStdString(lanprobe::MacFor(0x10000u + recorder.port()));
  auto rowOf = [&](const QString& mac) {
    for (int r = 0; r < dlg.Results()->GetItemCount(); ++r)
      if (dlg.Results()->GetItemText(r, 5) == mac) return r;
    return -1;
  };
  int ended = 0;
  for (int round = 0; round < 2; ++round) {  // Scan twice: the list starts over each time
    ended = dlg.SearchesEnded();
    harness::Click(Child<QWidget>(&dlg, CDlgAddDev::IDC_SCAN));
    EXPECT_EQ(dlg.height(), dlg.FullHeight());
    EXPECT_EQ(dlg.Results()->GetItemCount(), 0);
    ASSERT_TRUE(PumpUntil([&] { return rowOf(camMac) >= 0 && rowOf(dvrMac) >= 0; }));
  }
  // Both answer every round of probes until the search ends: still one row each.
  ASSERT_TRUE(PumpUntil([&] { return dlg.SearchesEnded() > ended; }));
  EXPECT_GE(camera.discoveryProbes(), 3u);
  EXPECT_GE(recorder.discoveryProbes(), 3u);
  QApplication::processEvents();
  for (const QString& mac : {camMac, dvrMac}) {
    int rows = 0;
    for (int r = 0; r < dlg.Results()->GetItemCount(); ++r) rows += dlg.Results()->GetItemText(r, 5) == mac;
    EXPECT_EQ(rows, 1) << mac.toStdString();
  }
  const int dvrRow = rowOf(dvrMac);
  EXPECT_EQ(dlg.Results()->GetItemText(dvrRow, 1), "录像机");
  EXPECT_EQ(dlg.Results()->GetItemText(dvrRow, 2), "127.0.0.1");
  EXPECT_EQ(dlg.Results()->GetItemText(dvrRow, 3), QString::number(recorder.port()));
  EXPECT_EQ(dlg.Results()->GetItemText(dvrRow, 4), "24");
  EXPECT_EQ(dlg.Results()->GetItemText(0, 0), "01");
  // Six columns: number, name, IP, port, channels, MAC.
  ASSERT_EQ(dlg.Results()->columnCount(), 6);
  const int widths[] = {70, 100, 100, 50, 70, 100};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(dlg.Results()->columnWidth(c), widths[c]) << c;
  EXPECT_EQ(dlg.Results()->headerItem()->text(4).toStdU16String(), Str(8723));
  harness::SaveScreenshot(&dlg, "add_device_scan");

  // A double-click takes a found device for an IP camera of one channel, whatever it said.
  const size_t notices = ui->notices.size();
  dlg.Results()->SelectRow(dvrRow);
  emit dlg.Results()->itemDoubleClicked(dlg.Results()->topLevelItem(dvrRow), 0);
  EXPECT_EQ(Child<QLineEdit>(&dlg, CDlgAddDev::IDC_NAME)->text(), "录像机");
  EXPECT_EQ(Child<QComboBox>(&dlg, CDlgAddDev::IDC_DEVICE_TYPE)->currentText(), "IPCamera");
  EXPECT_EQ(Child<QComboBox>(&dlg, CDlgAddDev::IDC_CHANNELS)->currentText(), "1");
  EXPECT_EQ(Child<QLineEdit>(&dlg, CDlgAddDev::IDC_IP)->text(), "127.0.0.1");
  EXPECT_EQ(Child<QLineEdit>(&dlg, CDlgAddDev::IDC_PORT)->text(), QString::number(recorder.port()));
  EXPECT_EQ(ui->notices.size(), notices);

  // Closed during a scan: the search goes on to its end, and what it finds while the dialog is
  // closed waits in the queue. Shown again, the dialog lists it with the next result it
  // handles: a scan that reaches the recorder alone lists the camera too.
  const size_t camProbes = camera.discoveryProbes(), dvrProbes = recorder.discoveryProbes();
  ended = dlg.SearchesEnded();
  harness::Click(Child<QWidget>(&dlg, CDlgAddDev::IDC_SCAN));
  EXPECT_EQ(dlg.Results()->GetItemCount(), 0);
  harness::Click(Child<QWidget>(&dlg, CDlgAddDev::IDC_CANCEL));
  EXPECT_EQ(dlg.result(), 2);
  ASSERT_TRUE(PumpUntil([&] { return dlg.SearchesEnded() > ended; })) << "the search ended with the window";
  EXPECT_GT(camera.discoveryProbes(), camProbes);
  EXPECT_GT(recorder.discoveryProbes(), dvrProbes);
  EXPECT_EQ(dlg.Results()->GetItemCount(), 0) << "nothing is listed while the dialog is closed";
  const std::string recorderOnly = "127.0.0.1:" + std::to_string(recorder.discoveryPort());
  setenv(FARLOOK_TARGETS_VARIABLE, recorderOnly.c_str(), 1);
  dlg.SetInfo(nullptr, u"总部", 1);
  dlg.show();
  EXPECT_EQ(dlg.Results()->GetItemCount(), 0);
  const size_t camProbesBefore = camera.discoveryProbes();
  harness::Click(Child<QWidget>(&dlg, CDlgAddDev::IDC_SCAN));
  ASSERT_TRUE(PumpUntil([&] { return rowOf(camMac) >= 0 && rowOf(dvrMac) >= 0; }));
  EXPECT_EQ(camera.discoveryProbes(), camProbesBefore) << "the camera was not asked this time";
  dlg.close();
  unsetenv(FARLOOK_TARGETS_VARIABLE);
}

TEST_F(DevMgrPage, DeviceDialogScreenshotInEnglish) {
  harness::ScopedLanguage english(true);
  CDevMgrModel model;
  CDlgAddDev dlg(&model);
  dlg.SetInfo(nullptr, u"HQ", 1);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Add device");
  harness::SaveScreenshot(&dlg, "add_device_en");
}

}  // namespace
