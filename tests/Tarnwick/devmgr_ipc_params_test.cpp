// The IP-camera parameter dialog against the camera emulator: every page shows the camera's
// record, a change saved reaches the camera as exactly that change with the client's fixed
// bytes, failed reads and sets say so, every scroll notification of a picture slider sends a
// record and those sent while one is on its way come down to the newest; and the device
// manager page's remote set-up of cameras and recorders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QLineEdit>
#include <QStyleOptionSlider>
#include <array>
#include <functional>
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
#include "plat/bytes.h"
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

// The records of a configured camera, with bytes no page understands in each, and other values
// than the client writes in its fixed bytes.
struct CameraRecords {
  Bytes net = Bytes(145, 0), video{0x21, 0x22, 2, 1, 3}, picture = Bytes(16, 0), audio{0x77, 1, 0x55, 16, 8, 0},
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
    ptz[0] = 0x33;
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

// The picture records (brightness, contrast, saturation) the camera was sent since request
// number `from`.
std::vector<std::array<uint32_t, 3>> PictureSets(camemu::Camera& cam, size_t from) {
  std::vector<std::array<uint32_t, 3>> out;
  const auto all = cam.requests();
  auto u32 = [](const Bytes& p, size_t at) { return uint32_t(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | p[at + 3] << 24); };
  for (size_t i = from; i < all.size(); ++i)
    if (all[i].code == 0x0405 && all[i].payload.size() >= 16)
      out.push_back({u32(all[i].payload, 4), u32(all[i].payload, 8), u32(all[i].payload, 12)});
  return out;
}

// Drags a slider's handle with the mouse, one pixel per move, until its position reaches or
// passes `to`; `afterMove` runs after each move.
void DragSlider(QSlider* s, int to, const std::function<void()>& afterMove) {
  QStyleOptionSlider opt;
  opt.initFrom(s);
  opt.orientation = s->orientation();
  opt.state |= QStyle::State_Horizontal;
  opt.minimum = s->minimum();
  opt.maximum = s->maximum();
  opt.sliderPosition = s->sliderPosition();
  opt.sliderValue = s->value();
  opt.singleStep = s->singleStep();
  opt.pageStep = s->pageStep();
  const QRect handle = s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
  QPoint at = handle.center();
  harness::MousePress(s, at);
  ASSERT_TRUE(s->isSliderDown());
  const int step = to > s->sliderPosition() ? 1 : -1;
  for (int moves = 0; s->sliderPosition() * step < to * step && moves < 1000; ++moves) {
    at.rx() += step;
    harness::MouseMove(s, at, true);
    afterMove();
  }
  harness::MouseRelease(s, at);
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
    std::fill(expected.begin() + 129, expected.end(), 0);  // not the client's: sent as zero
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

    // Picture: the sliders show the camera's values. Every scroll notification sends the
    // record (its first word 0), a key press at the slider's end too; one answered before the
    // next notification leaves none out.
    QSlider* brightness = picture->Slider(CIpcPicturePage::kBrightness);
    QSlider* contrast = picture->Slider(CIpcPicturePage::kContrast);
    EXPECT_TRUE(brightness->isEnabled());
    EXPECT_EQ(brightness->value(), 100);
    EXPECT_EQ(picture->Slider(CIpcPicturePage::kSaturation)->value(), 120);
    size_t from = cam.requests().size();
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_End, Qt::Key_End, Qt::Key_Home}) {
      harness::KeyPress(brightness, key);
      ASSERT_TRUE(harness::SettleDeviceWork());
    }
    using Set = std::array<uint32_t, 3>;
    EXPECT_EQ(PictureSets(cam, from), (std::vector<Set>{{101, 110, 120}, {102, 110, 120}, {255, 110, 120},
                                                        {255, 110, 120}, {1, 110, 120}}));
    Bytes pictureNow = rec.picture;
    PutU32(pictureNow, 0, 0);
    PutU32(pictureNow, 4, 1);
    EXPECT_EQ(cam.record(0x0407), pictureNow);
    // A mouse drag: a record for each position the handle passes over, and one more at the
    // release, where it stopped.
    int notifications = 0;
    auto count = [&] { ++notifications; };
    QObject::connect(contrast, &QAbstractSlider::actionTriggered, picture, count);
    QObject::connect(contrast, &QAbstractSlider::sliderReleased, picture, count);
    from = cam.requests().size();
    DragSlider(contrast, 130, [] { ASSERT_TRUE(harness::SettleDeviceWork()); });
    ASSERT_TRUE(harness::SettleDeviceWork());
    const auto dragged = PictureSets(cam, from);
    ASSERT_GE(dragged.size(), 12u);
    EXPECT_EQ(dragged.size(), size_t(notifications));
    for (size_t i = 1; i < dragged.size(); ++i) EXPECT_LE(dragged[i - 1][1], dragged[i][1]);
    const uint32_t stopped = uint32_t(contrast->value());
    EXPECT_GE(stopped, 130u);
    EXPECT_EQ(dragged.back(), (Set{1, stopped, 120}));
    EXPECT_EQ(dragged[dragged.size() - 2], dragged.back());  // the release sends the same again
    // Faster than the camera answers: the first press goes at once, the others wait, and the
    // one waiting takes the newest position.
    from = cam.requests().size();
    for (int i = 0; i < 20; ++i) harness::KeyPress(brightness, Qt::Key_Right);
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_EQ(PictureSets(cam, from), (std::vector<Set>{{2, stopped, 120}, {21, stopped, 120}}));
    ClickAndSettle(Child<QWidget>(picture, CDlgIPCVideoParamII::IDC_DEFAULTS));
    for (size_t at : {4, 8, 12}) PutU32(pictureNow, at, 125);
    EXPECT_EQ(cam.record(0x0407), pictureNow);
    EXPECT_EQ(brightness->value(), 125);

    // Audio: an unknown codec selects nothing and goes back as it was.
    QWidget* audio = dlg.PageWidget(4);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_CODEC)->currentIndex(), -1);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_INPUT)->currentIndex(), 1);
    EXPECT_EQ(Child<QComboBox>(audio, CDlgIPCAudioParam::IDC_WIDTH)->currentText(), "16bit");
    const size_t audioSets = cam.received(0x0501);
    ClickAndSettle(Child<QWidget>(audio, CDlgIPCAudioParam::IDC_SAVE));
    EXPECT_EQ(cam.received(0x0501), audioSets + 1);
    Bytes audioNow = rec.audio;
    audioNow[0] = 0;
    EXPECT_EQ(cam.record(0x0503), audioNow);

    // PTZ: the protocol name shows without the camera's control bytes, which a save of the
    // address alone keeps; numbers out of range and over-long names are refused.
    QWidget* ptz = dlg.PageWidget(5);
    EXPECT_EQ(Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_PROTOCOL)->text(), "PROTO-A");
    EXPECT_EQ(Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_SPEED)->text(), "9");
    Child<QLineEdit>(ptz, CDlgIPCPTZParam::IDC_ADDRESS)->setText("12");
    ClickAndSettle(Child<QWidget>(ptz, CDlgIPCPTZParam::IDC_SAVE));
    Bytes ptzNow = rec.ptz;
    ptzNow[0] = 1;
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

// While a record is on its way every notification waits and the waiting one takes the newest
// values; a page whose read failed sends nothing.
TEST(IpcPicturePage, OneRecordOnItsWayAndTheWaitingOneTakesTheNewestValues) {
  CIpcPicturePage page;
  Bytes record, next;
  EXPECT_FALSE(page.Notify(record));  // not read
  page.Loaded(IpcRead{true, Bytes(kIpcPictureParamSize, 0x11)});
  ASSERT_TRUE(page.Notify(record));
  EXPECT_EQ(plat::getLe32(&record[0]), 0u);
  EXPECT_EQ(plat::getLe32(&record[4]), 0x11111111u);
  for (uint32_t v = 1; v <= 5; ++v) {
    page.Set(CIpcPicturePage::kBrightness, v);
    EXPECT_FALSE(page.Notify(next));
  }
  EXPECT_TRUE(page.Waiting());
  ASSERT_TRUE(page.SendDone(record, IpcSent::Failed, next));  // refused: the waiting one goes all the same
  EXPECT_EQ(plat::getLe32(&next[4]), 5u);
  EXPECT_FALSE(page.SendDone(next, IpcSent::Taken, record));
  EXPECT_FALSE(page.Sending());
  ASSERT_TRUE(page.Notify(record));  // nothing changed, and it is sent all the same
  EXPECT_EQ(record, next);
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

  // The camera: its parameter dialog over a session of its own, closed with the dialog; the
  // wait cursor shows until the command ends.
  Select(*page, "前门");
  QString model;
  int controls = -1;
  bool waitCursor = false;
  harness::WhenModal([&](QWidget* dlg) {
    auto* params = qobject_cast<CDlgIPCParamSetting*>(dlg);
    ASSERT_NE(params, nullptr);
    ASSERT_TRUE(harness::SettleDeviceWork());
    waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    model = Child<QLineEdit>(params->PageWidget(0), CDlgIPCDevInfo::IDC_MODEL)->text();
    controls = cam.connections(kIpcChanControl);
    dlg->close();
  });
  const size_t notices = ui->notices.size();
  harness::Click(Child<QWidget>(page.get(), CDlgDevMgr::IDC_REMOTE_SETUP), QPoint(10, 10));
  EXPECT_EQ(model, "EMU-IPC100");
  EXPECT_EQ(controls, 1);
  EXPECT_TRUE(waitCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
