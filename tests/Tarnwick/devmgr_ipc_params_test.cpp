// The IP-camera parameter dialog against the camera emulator: every page shows the camera's
// record, a change saved reaches the camera as exactly that change, failed reads and sets
// say so, the picture sliders' records reach the camera in their order; and the device
// manager page's remote set-up of cameras and recorders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QLineEdit>
#include <thread>

#include "Corvane/records.h"
#include "Corvane/session.h"
#include "Hollin/Global.h"
#include "camemu/camera.h"
#include "devices/DeviceWork.h"
#include "devices/DlgDevMgr.h"
#include "devices/DlgIPCParamSetting.h"
#include "devmgr_fixture.h"
#include "dvremu/emulator.h"
#include "harness/DeviceWorkWait.h"
#include "harness/UiHarness.h"
#include "plat/event.h"
#include "shell/Language.h"
#include "plat/text.h"
#include "shell/StringIds.h"
#include "shell/User.h"

namespace {

using devmgr_test::DevMgrFixture;
using Bytes = std::vector<uint8_t>;

template <typename W>
W* Child(QWidget* parent, int id) {
  W* w = parent->findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

void Put(Bytes& rec, size_t at, const std::string& text) {
  std::fill(rec.begin() + at, rec.begin() + at + 16, 0);
  std::copy(text.begin(), text.end(), rec.begin() + at);
}

void PutU32(Bytes& rec, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) rec[at + i] = uint8_t(v >> (8 * i));
}

std::u16string Notice(uint32_t id) { return LoadResString(id); }

// The records of a configured camera, with bytes no page understands in each.
struct CameraRecords {
  Bytes net = Bytes(145, 0), video{1, 1, 2, 1, 3}, picture = Bytes(16, 0), audio{0x77, 1, 0x55, 16, 8, 0},
        ptz = Bytes(35, 0);
  explicit CameraRecords(camemu::Camera& cam) {
    Put(net, 1, "127.0.0.1");
    Put(net, 25, "127.0.0.254");
    Put(net, 49, "255.0.0.0");
    Put(net, 73, "00:11:22:33:44:55");
    Put(net, 97, "127.0.0.53");
    for (size_t i = 129; i < 145; ++i) net[i] = uint8_t(0xA0 + i % 16);
    net[12] = 0x5A;  // behind the address's terminating zero
    PutU32(picture, 0, 7);
    PutU32(picture, 4, 100);
    PutU32(picture, 8, 110);
    PutU32(picture, 12, 120);
    ptz[0] = 1;
    Put(ptz, 1, "PROTO\x1B-A\x7F");  // shown as "PROTO-A", kept as it is unless edited
    ptz[33] = 3;
    ptz[34] = 9;
    cam.setRecord(0x0C03, net);
    cam.setRecord(0x0403, video);
    cam.setRecord(0x0407, picture);
    cam.setRecord(0x0503, audio);
    cam.setRecord(0x0903, ptz);
  }
};

IpcLogin Login(camemu::Camera& cam, const std::u16string& host = u"localhost") {
  CDevInfo info(u"cam", host, cam.port(), u"admin", u"admin", 1, u"", u"", u"", u"", 0, 0, DEV_TYPE_IPC, u"G", u"R");
  IpcLogin login;
  EXPECT_EQ(BuildIpcLogin(info, login), 0u);
  return login;
}

constexpr char16_t kGuid[] = u"IPC-PARAMS-TEST";

// The dialog logged in to the camera with every page read.
void OpenAndSettle(CDlgIPCParamSetting& dlg, camemu::Camera& cam) {
  dlg.Open(kGuid, Login(cam));
  dlg.show();
  ASSERT_TRUE(harness::SettleDeviceWork());
}

// Clicks and waits for the camera's answer to come back to the page.
void ClickAndSettle(QWidget* w) {
  harness::Click(w);
  EXPECT_TRUE(harness::SettleDeviceWork());
}

class IpcParamDialog : public ::testing::Test {
 protected:
  harness::ScopedScriptedUi ui;
  camemu::Camera cam;
  void SetUp() override { ASSERT_TRUE(cam.start()); }
};

TEST_F(IpcParamDialog, EveryPageShowsTheCameraAndSavesExactlyItsChange) {
  CameraRecords rec(cam);
  {
    CDlgIPCParamSetting dlg;
    dlg.Open(kGuid, Login(cam));
    dlg.show();
    // Up at once, every page waiting for the camera.
    auto* picture = static_cast<CDlgIPCVideoParamII*>(dlg.PageWidget(3));
    EXPECT_FALSE(picture->Slider(CIpcPicturePage::kBrightness)->isEnabled());
    dlg.Tabs()->setCurrentIndex(3);
    harness::SaveScreenshot(&dlg, QStringLiteral("ipc_params_connecting"));
    dlg.Tabs()->setCurrentIndex(0);
    ASSERT_TRUE(harness::SettleDeviceWork());
    // The login, then one read per page in tab order (the video page's ability first).
    std::vector<uint16_t> reads;
    for (const camemu::Request& r : cam.requests())
      if (!r.open && r.code != 0x0103) reads.push_back(r.code);
    EXPECT_EQ(reads, (std::vector<uint16_t>{0x2007, 0x0C03, 0x0D03, 0x0403, 0x0407, 0x0503, 0x0903}));
    QTabBar* tabs = dlg.Tabs();
    ASSERT_EQ(tabs->count(), 6);
    EXPECT_EQ(tabs->tabText(5).toStdU16String(), LoadResString(8627));
    EXPECT_EQ(dlg.windowTitle().toStdU16String(), LoadResString(8628));
    for (int i = 0; i < 6; ++i) {
      tabs->setCurrentIndex(i);
      EXPECT_TRUE(dlg.PageWidget(i)->isVisible());
      EXPECT_FALSE(dlg.PageWidget((i + 1) % 6)->isVisible());
      harness::SaveScreenshot(&dlg, QStringLiteral("ipc_params_page%1").arg(i));
    }

    // Device information.
    QWidget* info = dlg.PageWidget(0);
    EXPECT_EQ(Child<QLineEdit>(info, CDlgIPCDevInfo::IDC_MODEL)->text(), "EMU-IPC100");
    EXPECT_EQ(Child<QLineEdit>(info, CDlgIPCDevInfo::IDC_INTERNAL)->text(), "INT-0001");
    EXPECT_EQ(Child<QLineEdit>(info, CDlgIPCDevInfo::IDC_REGISTRATION)->text(), "REG-0001");
    EXPECT_EQ(Child<QLineEdit>(info, CDlgIPCDevInfo::IDC_FACTORY)->text(), "EMU");

    // Network: the gateway's last octet changes, nothing else.
    QWidget* net = dlg.PageWidget(1);
    auto* gateway = Child<CIPAddressCtrl>(net, CDlgIPCNetParam::IDC_GATEWAY);
    EXPECT_EQ(gateway->GetAddress(), (Ipv4Octets{127, 0, 0, 254}));
    EXPECT_EQ(Child<CIPAddressCtrl>(net, CDlgIPCNetParam::IDC_MASK)->GetAddress(), (Ipv4Octets{255, 0, 0, 0}));
    EXPECT_EQ(Child<CIPAddressCtrl>(net, CDlgIPCNetParam::IDC_DNS2)->GetAddress(), (Ipv4Octets{0, 0, 0, 0}));
    EXPECT_EQ(Child<QLineEdit>(net, CDlgIPCNetParam::IDC_MAC)->text(), "00:11:22:33:44:55");
    gateway->Octet(3)->setText("1");
    // The Save says it is saving until the camera answers; the box comes with the answer.
    auto* save = Child<QPushButton>(net, CDlgIPCNetParam::IDC_SAVE);
    harness::Click(save);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(static_cast<CDlgIPCPage*>(net)->StatusLabel()->text().toStdU16String(), Notice(IDS_IPC_SAVING));
    EXPECT_TRUE(ui->boxes.empty());
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_TRUE(save->isEnabled());
    Bytes expected = rec.net;
    Put(expected, 25, "127.0.0.1");
    EXPECT_EQ(cam.record(0x0C03), expected);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Notice(8656));
    EXPECT_EQ(ui->boxes[0].caption, Notice(8381));
    // A set the camera refuses is reported as failed, never as changed.
    cam.forceNextReply(-1, 2);
    ClickAndSettle(save);
    EXPECT_EQ(ui->boxes.size(), 1u);
    ASSERT_FALSE(ui->notices.empty());
    EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_NET_SET_FAILED));
    // Automatic assignment sends the mode and keeps the static settings the camera had.
    Child<QComboBox>(net, CDlgIPCNetParam::IDC_MODE)->setCurrentIndex(1);
    EXPECT_FALSE(gateway->isEnabled());
    ClickAndSettle(save);
    expected[0] = 1;
    EXPECT_EQ(cam.record(0x0C03), expected);

    // Video: quality control, level 3, frame rate 2 as read; the frame rate changes.
    QWidget* video = dlg.PageWidget(2);
    auto* level = Child<QComboBox>(video, CDlgIPCVideoParam::IDC_LEVEL);
    EXPECT_EQ(level->count(), 4);
    EXPECT_EQ(level->currentText().toStdU16String(), LoadResString(8643));
    EXPECT_EQ(Child<QComboBox>(video, CDlgIPCVideoParam::IDC_STANDARD)->currentText(), "NTSC");
    Child<QComboBox>(video, CDlgIPCVideoParam::IDC_FRAME_RATE)->setCurrentIndex(0);
    ClickAndSettle(Child<QWidget>(video, CDlgIPCVideoParam::IDC_SAVE));
    EXPECT_EQ(cam.record(0x0403), (Bytes{1, 1, 0, 1, 3}));
    // Bit-rate control lists the 1080-line camera's six rates, the second selected.
    Child<QComboBox>(video, CDlgIPCVideoParam::IDC_RATE_CONTROL)->setCurrentIndex(0);
    EXPECT_EQ(level->count(), 6);
    EXPECT_EQ(level->itemText(5), "3072 kb/s");
    EXPECT_EQ(level->itemText(0), "8192 kb/s");
    EXPECT_EQ(level->currentIndex(), 1);

    // Picture: the sliders show the camera's values; a key move goes at once.
    QSlider* brightness = picture->Slider(CIpcPicturePage::kBrightness);
    EXPECT_TRUE(brightness->isEnabled());
    EXPECT_EQ(brightness->value(), 100);
    EXPECT_EQ(picture->Slider(CIpcPicturePage::kSaturation)->value(), 120);
    brightness->setValue(140);
    ASSERT_TRUE(harness::SettleDeviceWork());
    Bytes pictureNow = rec.picture;
    PutU32(pictureNow, 4, 140);
    EXPECT_EQ(cam.record(0x0407), pictureNow);
    // Moves faster than the camera answers reach it in their order, the newest last.
    const size_t firstKeySet = cam.requests().size();
    for (int i = 0; i < 20; ++i) harness::KeyPress(brightness, Qt::Key_Right);
    ASSERT_TRUE(harness::SettleDeviceWork());
    std::vector<uint32_t> sent;
    const auto all = cam.requests();
    for (size_t i = firstKeySet; i < all.size(); ++i)
      if (all[i].code == 0x0405) sent.push_back(all[i].payload[4] | all[i].payload[5] << 8);
    EXPECT_TRUE(!sent.empty() && std::is_sorted(sent.begin(), sent.end()) && sent.back() == 160u);
    PutU32(pictureNow, 4, 160);
    // A drag of fifty steps sends far fewer records; the release sends where it stopped.
    const size_t before = cam.received(0x0405);
    QSlider* contrast = picture->Slider(CIpcPicturePage::kContrast);
    contrast->setSliderDown(true);
    for (int v = 150; v < 200; ++v) contrast->setValue(v);
    contrast->setSliderDown(false);
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_LT(cam.received(0x0405) - before, 50u);
    PutU32(pictureNow, 8, 199);
    EXPECT_EQ(cam.record(0x0407), pictureNow);
    ClickAndSettle(Child<QWidget>(picture, CDlgIPCVideoParamII::IDC_DEFAULTS));
    for (size_t at : {4, 8, 12}) PutU32(pictureNow, at, 125);
    EXPECT_EQ(cam.record(0x0407), pictureNow);

    // Audio: an unknown codec selects nothing and goes back as it was.
    QWidget* audio = dlg.PageWidget(4);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_CODEC)->currentIndex(), -1);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_INPUT)->currentIndex(), 1);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_WIDTH)->currentText(), "16bit");
    const size_t audioSets = cam.received(0x0501);
    ClickAndSettle(Child<QWidget>(audio, CDlgIPCAudioParam::IDC_SAVE));
    EXPECT_EQ(cam.received(0x0501), audioSets + 1);
    EXPECT_EQ(cam.record(0x0503), rec.audio);

    // PTZ: the protocol name shows without the camera's control bytes, which a save of the
    // address alone keeps; numbers out of range and over-long names are refused.
    QWidget* ptz = dlg.PageWidget(5);
    EXPECT_EQ(Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_PROTOCOL)->text(), "PROTO-A");
    EXPECT_EQ(Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_SPEED)->text(), "9");
    Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_ADDRESS)->setText("12");
    ClickAndSettle(Child<QWidget>(ptz, CDlgIPCPTZParam::IDC_SAVE));
    Bytes ptzNow = rec.ptz;
    ptzNow[33] = 12;
    EXPECT_EQ(cam.record(0x0903), ptzNow);
    const size_t ptzSets = cam.received(0x0901);
    Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_SPEED)->setText("0");
    harness::Click(Child<QWidget>(ptz, CDlgIPCPTZParam::IDC_SAVE));
    EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_RANGE_1_255));
    Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_SPEED)->setText("9");
    Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_PROTOCOL)->setText(QString(32, 'p'));
    harness::Click(Child<QWidget>(ptz, CDlgIPCPTZParam::IDC_SAVE));
    EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_TEXT_TOO_LONG));
    EXPECT_EQ(cam.received(0x0901), ptzSets);
    EXPECT_EQ(cam.record(0x0903), ptzNow);
    EXPECT_EQ(cam.connections(kIpcChanControl), 1);
  }
  // The dialog took the session with it.
  EXPECT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 0; }));
}

TEST_F(IpcParamDialog, APageWhoseReadOrSaveFailedSaysSo) {
  CameraRecords rec(cam);
  auto work = std::make_unique<CIpcWork>(kGuid);
  bool opened = false;
  work->Open(Login(cam, u"127.0.0.1"), [&](bool ok) { opened = ok; });
  ASSERT_TRUE(harness::SettleDeviceWork());
  ASSERT_TRUE(opened);
  cam.forceNextReply(-1, 2);
  CDlgIPCNetParam net(nullptr);
  net.Load(*work);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_FALSE(net.Page().ReadOk());
  EXPECT_FALSE(net.SaveButton()->isEnabled());
  EXPECT_FALSE(Child<CIPAddressCtrl>(&net, CDlgIPCNetParam::IDC_IP)->isEnabled());
  EXPECT_EQ(net.StatusLabel()->text().toStdU16String(), Notice(IDS_IPC_READ_FAILED));
  harness::SaveScreenshot(&net, QStringLiteral("ipc_params_read_failed"));
  net.OnSave();  // even when asked directly nothing goes out
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_READ_FAILED));
  EXPECT_EQ(cam.received(0x0C01), 0u);
  EXPECT_EQ(cam.record(0x0C03), rec.net);
  // The same page read again works and can save.
  CDlgIPCNetParam again(nullptr);
  again.Load(*work);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(again.SaveButton()->isEnabled());
  EXPECT_TRUE(again.StatusLabel()->text().isEmpty());

  // A save still waiting behind the camera when the device is deleted says it failed, and
  // the page comes back instead of saying "saving" for good.
  plat::Event hold(true, false);
  devwork::Run(kGuid, [&] { hold.wait(60000); });
  again.OnSave();
  EXPECT_EQ(again.StatusLabel()->text().toStdU16String(), Notice(IDS_IPC_SAVING));
  EXPECT_FALSE(again.SaveButton()->isEnabled());
  devwork::Retire(kGuid, nullptr);
  hold.set();
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(again.SaveButton()->isEnabled());
  EXPECT_TRUE(again.StatusLabel()->text().isEmpty());
  EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_NET_SET_FAILED));
  // One asked after the device went is refused at once and says so the same way.
  ui->notices.clear();
  again.OnSave();
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(again.SaveButton()->isEnabled());
  ASSERT_EQ(ui->notices.size(), 1u);
  EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_NET_SET_FAILED));
  EXPECT_EQ(cam.received(0x0C01), 0u);
  devwork::Reopen(kGuid);
}

TEST_F(IpcParamDialog, EnglishScreenshots) {
  CameraRecords rec(cam);
  harness::ScopedLanguage english(true);
  CDlgIPCParamSetting dlg;
  OpenAndSettle(dlg, cam);
  EXPECT_EQ(dlg.Tabs()->tabText(1), "Network parameters");
  for (int i : {1, 2, 4}) {
    dlg.Tabs()->setCurrentIndex(i);
    harness::SaveScreenshot(&dlg, QStringLiteral("ipc_params_page%1_en").arg(i));
  }
  // The caption's close button sits inside the frame, at its right end, and ends the dialog.
  auto* close = Child<QWidget>(&dlg, CDlgIPCParamSetting::IDC_CLOSE);
  EXPECT_TRUE(close->isVisible());
  EXPECT_LE(close->geometry().right(), dlg.width() - CFramedDialog::kBorder);
  EXPECT_GT(close->x(), dlg.Tabs()->geometry().right() - close->width() * 2);
  EXPECT_LT(close->geometry().bottom(), CFramedDialog::kCaptionHeight);
  harness::Click(close);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

// Dragging coalesces the sends to one per interval whatever the rate of moves; the last
// position is never lost.
TEST(IpcPicturePage, DragSendsAtMostOncePerIntervalAndKeepsTheLastPosition) {
  CIpcPicturePage page;
  page.Loaded(IpcRead{true, Bytes(kIpcPictureParamSize, 0)});
  int sends = 0;
  Bytes record;
  for (int64_t t = 0; t < 1000; t += 10) {
    page.Set(CIpcPicturePage::kBrightness, uint32_t(t / 10 + 1));
    int64_t wait = 0;
    if (page.MayDragSend(t, wait)) {
      ASSERT_TRUE(page.StartSend(t, record));
      EXPECT_FALSE(page.SendDone(record, IpcSent::Failed));  // no camera: the record stays dirty
      ++sends;
    } else {
      EXPECT_GT(wait, 0);
      EXPECT_LE(wait, CIpcPicturePage::kSendIntervalMs);
    }
  }
  EXPECT_EQ(sends, 10);
  EXPECT_TRUE(page.Dirty());
}

// ---- remote set-up from the device manager page ----------------------------------------------

class RemoteSetup : public DevMgrFixture {
 protected:
  void SetUp() override {
    DevMgrFixture::SetUp();
    CUser::GetInstance()->SetPower(63);
  }
  // The page over one region holding the devices.
  std::unique_ptr<CDlgDevMgr> Page() {
    auto page = std::make_unique<CDlgDevMgr>(liveView_);
    EXPECT_TRUE(page->Create(&host));
    page->setGeometry(0, 0, 900, 560);
    return page;
  }
  static void Select(CDlgDevMgr& page, const QString& text) {
    auto items = page.DeviceTree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.isEmpty()) << text.toStdString();
    page.DeviceTree()->setCurrentItem(items.front());
  }
  QWidget host;
  harness::ScopedScriptedUi ui;
};

TEST_F(RemoteSetup, RightsAndSelectionComeFirstThenTheDevicesOwnDialog) {
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  Regions({{u"总部", u"R1", u""}});
  Device(u"前门", DEV_TYPE_IPC, 1, u"R1", u"127.0.0.1");
  CDevInfo& right = CDeviceManager::GetInstance()->FindDevice(u"前门", 0)->GetDevInfo();
  right.Port = cam.port();
  right.Pwd.SetWide(u"admin");
  Device(u"后门", DEV_TYPE_NVR, 1, u"R1", u"localhost");
  CDevInfo& wrong = CDeviceManager::GetInstance()->FindDevice(u"后门", 0)->GetDevInfo();
  wrong.Port = cam.port();
  wrong.Pwd.SetWide(u"wrong");
  auto page = Page();

  // No right: refused before the selection is looked at.
  CUser::GetInstance()->SetPower(31);
  page->OnCommand(CDlgDevMgr::IDC_REMOTE_SETUP);
  EXPECT_EQ(ui->notices.back(), Notice(8613));
  CUser::GetInstance()->SetPower(63);
  Select(*page, "总部");
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  EXPECT_EQ(ui->notices.back(), Notice(8618));
  EXPECT_EQ(cam.opens(kIpcChanControl), 0u);

  // The camera: its parameter dialog over a session of its own, closed with the dialog.
  Select(*page, "前门");
  QString model;
  int controls = -1;
  harness::WhenModal([&](QWidget* dlg) {
    auto* params = qobject_cast<CDlgIPCParamSetting*>(dlg);
    ASSERT_NE(params, nullptr);
    ASSERT_TRUE(harness::SettleDeviceWork());
    model = Child<QLineEdit>(params->PageWidget(0), CDlgIPCDevInfo::IDC_MODEL)->text();
    controls = cam.connections(kIpcChanControl);
    dlg->close();
  });
  const size_t notices = ui->notices.size();
  harness::Click(Child<QWidget>(page.get(), CDlgDevMgr::IDC_REMOTE_SETUP), QPoint(10, 10));
  EXPECT_EQ(model, "EMU-IPC100");
  EXPECT_EQ(controls, 1);
  EXPECT_EQ(ui->notices.size(), notices) << plat::utf16ToUtf8(ui->notices.back());
  EXPECT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(cam.waitUntil([&] { return cam.connections(kIpcChanControl) == 0; }));

  // A recorder of the camera library with a wrong password: its own session is tried, it
  // cannot log in, and no session stays behind.
  Select(*page, "后门");
  const size_t opens = cam.opens(kIpcChanControl);
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  EXPECT_EQ(ui->notices.back(), Notice(8301));
  EXPECT_EQ(cam.opens(kIpcChanControl), opens + 1);
  EXPECT_EQ(cam.connections(kIpcChanControl), 0);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // Names too long for the login record are refused, not cut.
  wrong.UserName.SetWide(std::u16string(16, u'u'));
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  EXPECT_EQ(ui->notices.back(), Notice(8961));
  wrong.UserName.SetWide(u"admin");
  wrong.IP.SetWide(u"camera-name-longer-than-19.test");
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  EXPECT_EQ(ui->notices.back(), Notice(IDS_IPC_HOST_TOO_LONG));
}

TEST_F(RemoteSetup, ARecorderGoesToTheConfigurationLibrary) {
  ASSERT_EQ(CQXGlobal::Startup(), 1);
  dvremu::Emulator dvr;
  ASSERT_TRUE(dvr.start());
  Regions({{u"总部", u"R1", u""}});
  Device(u"录像机", DEV_TYPE_DVR, 4, u"R1", u"localhost");
  CDevInfo& info = CDeviceManager::GetInstance()->FindDevice(u"录像机", 0)->GetDevInfo();
  info.Port = dvr.port();
  info.Pwd.SetWide(u"12345");
  auto page = Page();
  Select(*page, "录像机");

  QString title;
  size_t reads = 0;
  // The window opens at once and reads the recorder meanwhile: it is met once its Save comes.
  QTimer whenRead;
  QObject::connect(&whenRead, &QTimer::timeout, [&] {
    QWidget* window = QApplication::activeModalWidget();
    auto* save = window ? window->findChild<QPushButton*>(QStringLiteral("4001")) : nullptr;
    if (!save || !save->isEnabled()) return;
    whenRead.stop();
    title = window->windowTitle();
    for (const dvremu::Request& r : dvr.requests())
      if (r.command != 1 && r.command != 2) ++reads;
    window->close();
  });
  whenRead.start(10);
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  EXPECT_EQ(title, QStringLiteral("远程参数配置"));
  EXPECT_GT(reads, 0u);
  EXPECT_TRUE(ui->notices.empty());

  // A wrong password: 8301 and the recorder is left without a connection.
  info.Pwd.SetWide(u"wrong");
  page->OnCommand(CDevMgrController::ID_REMOTE_SETUP);
  ASSERT_FALSE(ui->notices.empty());
  EXPECT_EQ(ui->notices.back(), Notice(8301));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  for (int i = 0; i < 400 && dvr.connections() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(dvr.connections(), 0);
  dvr.stop();
  CQXGlobal::Cleanup();
}

}  // namespace
