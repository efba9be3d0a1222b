// The device manager page's commands as the operator gives them: context menus on the two
// trees, the real dialogs filled in, the camera emulator on loopback added as a device that
// then shows in the preview page's tree and logs in with what was typed.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "Corvane/protocol.h"
#include "camemu/camera.h"
#include "devices/DlgDevMgr.h"
#include "devmgr_fixture.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "shell/Language.h"
#include "view/DlgPreview.h"
#include "view/PreviewManager.h"

namespace {

using devmgr_test::DevMgrFixture;

template <typename W>
W* Child(QWidget* parent, int id) {
  W* w = parent->findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

std::vector<std::string> Commands(QMenu* menu) {
  std::vector<std::string> out;
  if (!menu) return out;
  for (QAction* a : menu->actions()) out.push_back(a->isSeparator() ? "-" : a->objectName().toStdString());
  return out;
}

QTreeWidgetItem* Find(QTreeWidget* tree, const QString& text) {
  auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return items.isEmpty() ? nullptr : items.front();
}

// Runs a menu's entry, with the dialog it opens answered by `answer`.
void RunEntry(QMenu* menu, const char* command, std::function<void(QWidget*)> answer = {}) {
  ASSERT_NE(menu, nullptr);
  QAction* action = menu->findChild<QAction*>(command);
  ASSERT_NE(action, nullptr) << command;
  if (answer) harness::WhenModal(answer);
  action->trigger();
  delete menu;
}

// The page with the menu drawn where it opens: at the tree's selected item.
void Screenshot(QMenu* menu, QTreeWidget* tree, const QString& name) {
  menu->adjustSize();
  QWidget* top = tree->window();
  QImage shot = harness::Grab(top);
  QTreeWidgetItem* item = tree->currentItem();
  const QRect at = item ? tree->visualItemRect(item) : QRect(10, 10, 0, 0);
  QPainter p(&shot);
  p.drawImage(tree->viewport()->mapTo(top, at.center()), harness::Grab(menu));
  p.end();
  harness::SaveScreenshot(shot, name);
}

class DevMgrPageCommands : public DevMgrFixture {
 protected:
  harness::ScopedScriptedUi ui;
};

TEST_F(DevMgrPageCommands, TheCameraEmulatorIsAddedEditedGroupedAndDeletedThroughThePage) {
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  QWidget host;
  host.resize(900, 560);
  CDlgPreview previewPage;
  auto page = std::make_unique<CDlgDevMgr>(liveView_);
  page->RegisterDeviceTree(previewPage.GetDeviceTree());
  page->RegisterGroupTree(previewPage.GetGroupTree());
  ASSERT_TRUE(page->Create(&host));
  page->setGeometry(0, 0, 900, 560);
  // The preview page beside it, shown: a hidden page's tree is filled when it is shown.
  ASSERT_TRUE(previewPage.Create(&host));
  previewPage.setGeometry(0, 0, 900, 560);
  previewPage.lower();
  previewPage.show();
  page->show();
  host.show();
  QTreeWidget* devices = page->DeviceTree();
  QTreeWidget* groups = page->GroupTree();

  // An empty tree offers only Add region; the first region is the root.
  QMenu* menu = page->BuildDeviceMenu();
  EXPECT_EQ(Commands(menu), (std::vector<std::string>{"32800"}));
  RunEntry(menu, "32800", [](QWidget* dlg) {
    Child<QLineEdit>(dlg, CDlgAddRegion::IDC_NAME)->setText("总部");
    harness::Click(Child<QWidget>(dlg, CNameEntryDialog::IDOK_BUTTON));
  });
  ASSERT_EQ(Table(u"Tb_Region").size(), 1u);
  EXPECT_EQ(page->BuildDeviceMenu(), nullptr);  // nothing selected in a tree with items

  // The region's menu adds the camera: address, port, admin/admin, one channel.
  devices->setCurrentItem(Find(devices, "总部"));
  menu = page->BuildDeviceMenu();
  EXPECT_EQ(Commands(menu), (std::vector<std::string>{"32800", "32802", "-", "32806", "-", "32812"}));
  EXPECT_FALSE(menu->findChild<QAction*>("32806")->isEnabled());
  Screenshot(menu, devices, "devmgr_menu_region");
  const QString port = QString::number(cam.port());
  RunEntry(menu, "32812", [&](QWidget* dlg) {
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_NAME)->setText("前门");
    Child<QComboBox>(dlg, CDlgAddDev::IDC_DEVICE_TYPE)->setCurrentIndex(DEV_TYPE_IPC - 1);
    Child<QComboBox>(dlg, CDlgAddDev::IDC_CHANNELS)->setCurrentIndex(0);
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_IP)->setText("127.0.0.1");
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_PORT)->setText(port);
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_USER)->setText("admin");
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_PASSWORD)->setText("admin");
    harness::Click(Child<QWidget>(dlg, CDlgAddDev::IDC_OK));
  });
  // In the preview page's tree: the device with its channel, the channel's number in the item.
  QTreeWidget* previewTree = previewPage.GetDeviceTree();
  previewTree->expandAll();
  EXPECT_EQ(Dump(*previewTree), u"总部[0]\n  前门[1]\n    通道01[4]\n");
  QTreeWidgetItem* channel = Find(previewTree, "通道01");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(ChannelNumberOf(channel), 1);
  CDevice* device = DeviceNodeOf(channel->parent())->Device();
  ASSERT_EQ(CDeviceManager::GetInstance()->FindDevice(u"前门", 0), device);
  EXPECT_EQ(Table(u"Tb_Device")[0][2], port.toStdU16String());  // on disk at once
  // What was typed logs in to the emulator.
  ASSERT_NE(CDeviceManager::GetInstance()->GetChannelPreview(device, 1), nullptr);
  EXPECT_TRUE(device->IsLoggedIn());
  EXPECT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 1; }));

  // The device's menu; a channel's menu opens empty. The channel editor, which no menu offers,
  // comes with its command, on channel 1.
  devices->expandAll();
  devices->setCurrentItem(Find(devices, "前门"));
  menu = page->BuildDeviceMenu();
  EXPECT_EQ(Commands(menu), (std::vector<std::string>{"32813", "32814", "1224"}));
  Screenshot(menu, devices, "devmgr_menu_device");
  delete menu;
  devices->setCurrentItem(Find(devices, "通道01"));
  menu = page->BuildDeviceMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(Commands(menu).empty());
  delete menu;
  harness::WhenModal([](QWidget* dlg) {
    EXPECT_EQ(dlg->windowTitle().toStdU16String(), LoadResString(8114));
    EXPECT_EQ(Child<QLineEdit>(dlg, CDlgModifyChn::IDC_CHANNEL_TEXT)->text(), "通道01");
    EXPECT_EQ(Child<QLineEdit>(dlg, CDlgModifyChn::IDC_CHANNEL_NUMBER)->text(), "1");
    EXPECT_EQ(Child<QLineEdit>(dlg, CDlgModifyChn::IDC_DEVICE_NAME)->text(), "前门");
    EXPECT_EQ(Child<QLineEdit>(dlg, CDlgModifyChn::IDC_USER_NO)->text(), "");
    Child<QLineEdit>(dlg, CDlgModifyChn::IDC_USER_NO)->setText("7");
    Child<QComboBox>(dlg, CDlgModifyChn::IDC_STREAM)->setCurrentIndex(1);
    harness::SaveScreenshot(dlg, "devmgr_channel_editor");
    harness::Click(Child<QWidget>(dlg, CDlgModifyChn::IDC_OK));
  });
  page->OnCommand(CDevMgrController::ID_MODIFY_CHANNEL);
  EXPECT_EQ(device->GetChannel(1)->GetUserNo(), 7);
  EXPECT_EQ(device->GetChannel(1)->GetPreview(0)->GetStreamType(), 1);
  EXPECT_EQ(device->Channels().size(), 1u);  // no channel 0 made on the way
  EXPECT_TRUE(Table(u"Tb_Channel").empty()) << "stored with the device list's next write, not at once";
  // Opened on a channel the device does not hold yet, the editor makes it; Cancel leaves it
  // as made, without a preview.
  CDlgModifyChn editor;
  editor.SetChannel(device, 2);
  harness::WhenModal([](QWidget* dlg) { harness::Click(Child<QWidget>(dlg, CDlgModifyChn::IDC_CANCEL)); });
  EXPECT_EQ(editor.DoModal(), CDlgModifyChn::IDC_CANCEL);
  ASSERT_TRUE(device->HasChannel(2));
  EXPECT_EQ(device->GetChannel(2)->GetUserNo(), 0);
  EXPECT_EQ(device->GetChannel(2)->GetPreview(0), nullptr);

  // A group through the group tree's menu; the channel joins it through the arrow button.
  menu = page->BuildGroupMenu();
  EXPECT_EQ(Commands(menu), (std::vector<std::string>{"32819", "32821", "32825"}));
  Screenshot(menu, groups, "devmgr_menu_group");
  RunEntry(menu, "32819", [](QWidget* dlg) {
    Child<QLineEdit>(dlg, CDlgAddGrp::IDC_NAME)->setText("大门");
    harness::Click(Child<QWidget>(dlg, CNameEntryDialog::IDOK_BUTTON));
  });
  groups->setCurrentItem(Find(groups, "大门"));
  devices->setCurrentItem(Find(devices, "通道01"));
  harness::Click(Child<QWidget>(page.get(), CDlgDevMgr::IDC_TO_GROUP), QPoint(10, 10));
  EXPECT_EQ(Dump(*previewPage.GetGroupTree()), u"大门[8]\n  总部_前门_通道01[4]\n");
  EXPECT_EQ(Table(u"Tb_Group").size(), 2u);
  EXPECT_EQ(devices->currentItem(), Find(devices, "通道01"));  // the selection survives the rebuild
  groups->setCurrentItem(Find(groups, "总部_前门_通道01"));
  EXPECT_EQ(page->BuildGroupMenu(), nullptr);

  // Properties: the device is renamed in memory, its table written later; its member keeps
  // standing for its channel.
  devices->setCurrentItem(Find(devices, "前门"));
  device->GetChannel(1)->GetPreview(0)->StopPreview();
  RunEntry(page->BuildDeviceMenu(), "32814", [](QWidget* dlg) {
    Child<QLineEdit>(dlg, CDlgAddDev::IDC_NAME)->setText("正门");
    harness::Click(Child<QWidget>(dlg, CDlgAddDev::IDC_OK));
  });
  EXPECT_NE(Find(previewTree, "正门"), nullptr);
  EXPECT_EQ(Table(u"Tb_Device")[0][0], u"前门");
  EXPECT_NE(page->Model().FindMember(device->GetGuid(), 1), nullptr);

  // Delete: confirmed, the login to the emulator ends, Tb_Device loses it at once; its member
  // goes from memory and reaches Tb_Group with its next write, here the page's end.
  devices->setCurrentItem(Find(devices, "正门"));
  ui->boxAnswers.push_back(IDOK);
  RunEntry(page->BuildDeviceMenu(), "32813");
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, LoadResString(8316) + u"[正门]");
  EXPECT_EQ(ui->boxes[0].caption, LoadResString(8386));
  EXPECT_EQ(CDeviceManager::GetInstance()->Count(), 0);
  EXPECT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 0; }));
  EXPECT_EQ(Dump(*previewTree), u"总部[0]\n");
  EXPECT_EQ(Dump(*previewPage.GetGroupTree()), u"大门[8]\n");
  EXPECT_TRUE(Table(u"Tb_Device").empty());
  EXPECT_EQ(Table(u"Tb_Group").size(), 2u);
  page.reset();
  EXPECT_EQ(Table(u"Tb_Group").size(), 1u);
  harness::ResetServices();
}

}  // namespace
