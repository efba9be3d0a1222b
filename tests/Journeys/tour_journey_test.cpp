// A tour of every page and main dialog as a new user makes it, once in Chinese and once in
// English, on the demo data folder of scripts/run: live video from the camera and the
// recorder, the side panels, the alarms of the armed recorder, remote and local playback, the
// device manager with the recorder's configuration window and the camera's parameter dialog,
// the local settings and the user manager. Each stop checks that the page opened and shows
// something (a filled tree, a picture that is not black, the device's values) and saves its
// picture when TARNWICK_SHOTS names a folder.
#include <QAbstractSlider>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "JourneyFixture.h"
#include "controls/BitmapButtonEx.h"
#include "controls/CheckComboBox.h"
#include "devices/DlgDevMgr.h"
#include "devices/DlgIPCParamSetting.h"
#include "harness/DeviceWorkWait.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgSetttings.h"
#include "shell/DlgUserMgr.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPlayback.h"
#include "view/DlgPreview.h"
#include "view/DlgVideoParam.h"
#include "view/DlgVideoParamController.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"
#include "view/ScheduleCtrl.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kArm = 8262, kNotLoggedIn = 8510, kRecordStarted = 8368, kLocalPlayback = 8139, kRemotePlayback = 8140,
                   kDeviceSetup = 8244;
constexpr int kAlarmList = 1024, kConfigWindow = 4000, kConfigTree = 4000, kConfigSave = 4001,
              kConfigClose = 2, kNetworkAddress = 4080;
constexpr unsigned kNetworkPageBit = 0x400;
constexpr int kPicturePage = 3;  // the camera dialog's tab of brightness, contrast, saturation

// A picture is there when a good part of it is neither black nor one flat colour.
bool ShowsPicture(QWidget* w) {
  if (!w || !w->isVisible()) return false;
  const QImage img = harness::Grab(w).scaled(64, 48);
  int lit = 0;
  QRgb first = img.pixel(0, 0);
  bool varied = false;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (qGray(p) > 40) ++lit;
      varied = varied || p != first;
    }
  }
  return varied && lit > img.width() * img.height() / 4;
}

class Tour : public JourneyTest {
 protected:
  // The emulators as scripts/run starts them (the recorder raising an alarm every second, the
  // NVR a camera emulator on an address of its own) and the demo folder it seeds: region
  // "Demo", "Camera", "Recorder" and "NVR".
  bool StartDemo() {
    if (!StartEmulators(true, true, {"--alarm-every", "1"})) return false;
    const std::string nvrFolder = Folder() + "/nvr";
    fs::create_directories(nvrFolder);
    nvr_ = std::make_unique<testsupport::EmulatorProcess>(testsupport::EmulatorProcess::kCamera, nvrFolder,
                                                          std::vector<std::string>{"--address", "127.0.0.2", "--nvr", "4"});
    if (!nvr_->Start()) return false;
    const fs::path seeder = fs::read_symlink("/proc/self/exe").parent_path() / "demohome";
    const std::string command = seeder.string() + " --camera-port " + std::to_string(camera().Port()) +
                                " --recorder-port " + std::to_string(recorder().Port()) + " --nvr-port " +
                                std::to_string(nvr_->Port()) + " > /dev/null";
    return std::system(command.c_str()) == 0;
  }
  std::unique_ptr<testsupport::EmulatorProcess> nvr_;

  void Visit(bool english);
  QString Name(const QString& page) const { return QStringLiteral("journey-%1-%2").arg(page, tag_); }

  // Expands a device in a page's tree (a click on its arrow) and returns its channel item.
  QTreeWidgetItem* Channel(QTreeWidget* tree, const QString& device, int channel) {
    QTreeWidgetItem* item = FindItem(tree, device);
    if (!item) {
      ADD_FAILURE() << "no " << device.toStdString() << " in " << ItemTexts(tree).join(", ").toStdString();
      return nullptr;
    }
    item->setExpanded(true);
    if (item->childCount() < channel) {
      ADD_FAILURE() << device.toStdString() << " has " << item->childCount() << " channels";
      return nullptr;
    }
    return item->child(channel - 1);
  }

  // A playback page chosen from the page button's menu: the device's first channel searched on
  // today, the first file found played; the page's picture saved as `shot`.
  void PlayFirstFound(CPlaybackPageBase* page, unsigned menuEntry, const QString& device, const QString& shot) {
    OnMenu(Text(menuEntry));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    ASSERT_TRUE(WaitUntil([&] { return page->isVisible(); }));
    SelectItem(page->GetDeviceTree(), Channel(page->GetDeviceTree(), device, 1));
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    CScheduleCtrl* bar = page->GetTimeBar();
    ASSERT_TRUE(WaitUntil([&] { return bar->CellCount() > 0 && !page->IsSearching(); })) << Said();
    QRect cell;
    ASSERT_TRUE(ShowCell(bar, 0, &cell));
    ClickAt(bar, cell.center());
    EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(page->GetPlayScreen()->GetWnd(0)); })) << Said();
    Shot(Main(), Name(shot));
    ClickId(page, CPlaybackPageBase::IDC_STOP);
  }

  QString tag_;
};

void Tour::Visit(bool english) {
  tag_ = english ? QStringLiteral("en") : QStringLiteral("zh");
  ASSERT_TRUE(StartDemo());
  RunProgram(
      [&] {
        // ---- live view: the camera in window 0, two recorder channels and the NVR's first.
        CDlgPreview* preview = Main()->GetPreviewDlg();
        ASSERT_TRUE(preview->isVisible());
        QTreeWidget* tree = preview->GetDeviceTree();
        CPlayScreen* screen = preview->GetPlayScreen();
        const std::pair<QString, int> channels[] = {
            {QStringLiteral("Camera"), 1}, {QStringLiteral("Recorder"), 1}, {QStringLiteral("Recorder"), 2},
            {QStringLiteral("NVR"), 1}};
        for (int w = 0; w < 4; ++w) {
          Click(screen->GetWnd(w));
          ASSERT_EQ(screen->GetActiveIndex(), w);
          QTreeWidgetItem* item = Channel(tree, channels[w].first, channels[w].second);
          ASSERT_NE(item, nullptr);
          DoubleClickItem(tree, item);
        }
        for (int w = 0; w < 4; ++w)
          EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(screen->GetWnd(w)); })) << "window " << w << " shows no video";

        // Arming: the camera has no alarm channel and says so; the recorder's alarms are listed.
        ContextMenu(tree, FindItem(tree, QStringLiteral("Camera")), Text(kArm));
        EXPECT_TRUE(SaidNotice(kNotLoggedIn)) << Said();
        ContextMenu(tree, FindItem(tree, QStringLiteral("Recorder")), Text(kArm));
        auto* alarms = Find<QTreeWidget>(preview, kAlarmList);
        ASSERT_NE(alarms, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return alarms->topLevelItemCount() >= 2; })) << "no alarm listed";
        Shot(Main(), Name(QStringLiteral("preview")));

        // The side panels: PTZ, presets, cruise routes, and the video of the active window.
        const std::pair<int, int> panels[] = {{CDlgPreview::ID_PANEL_PTZ, 140},
                                              {CDlgPreview::ID_PANEL_PRESETS, 137},
                                              {CDlgPreview::ID_PANEL_CRUISE, 138},
                                              {CDlgPreview::ID_PANEL_VIDEO, 139}};
        for (const auto& [tab, panel] : panels) {
          ClickId(preview, tab);
          QWidget* shown = Find(preview, panel);
          ASSERT_NE(shown, nullptr);
          EXPECT_TRUE(shown->isVisible()) << "panel " << panel;
          EXPECT_FALSE(shown->findChildren<QWidget*>().isEmpty()) << "panel " << panel << " is empty";
          Shot(shown, Name(QStringLiteral("panel-%1").arg(panel)));
        }
        auto* brightness = Find<QAbstractSlider>(preview, CVideoParamController::kFirstSliderId);
        ASSERT_NE(brightness, nullptr);
        EXPECT_GT(brightness->value(), brightness->minimum()) << "the camera's picture values are shown";
        for (int label = CDlgVideoParam::kFirstLabelId; label < CDlgVideoParam::kFirstLabelId + 5; ++label) {
          auto* button = Find<CBitmapButtonEx>(preview, label);
          ASSERT_NE(button, nullptr);
          EXPECT_FALSE(button->Image(CBitmapButtonEx::kNormal).isNull()) << "label " << label << " shows its image";
          EXPECT_FALSE(button->text().isEmpty());
        }
        // The volume follows a turn of the wheel over its slider.
        auto* volume = Find<QAbstractSlider>(preview, CVideoParamController::kFirstSliderId + CVideoParamController::kVolume);
        ASSERT_NE(volume, nullptr);
        const int loudness = volume->value();
        Wheel(volume, loudness > volume->minimum() ? -2 : 2);
        EXPECT_NE(volume->value(), loudness) << "a wheel turn over the volume";
        ClickId(preview, CDlgPreview::ID_PANEL_PTZ);
        Shot(Main(), Name(QStringLiteral("preview-ptz")));

        // ---- remote playback: the recorder's recordings of today on the time bar, one playing.
        PlayFirstFound(Main()->GetPlaybackDlg(), kRemotePlayback, QStringLiteral("Recorder"), QStringLiteral("playback"));

        // ---- settings: the device manager.
        ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
        CDlgSetttings* settings = Main()->GetSettingsDlg();
        ASSERT_TRUE(WaitUntil([&] { return settings->isVisible(); }));
        CDlgDevMgr* devices = settings->DeviceManagerPage();
        ASSERT_TRUE(devices->isVisible());
        auto* devTree = Find<QTreeWidget>(devices, CDlgDevMgr::IDC_DEVICE_TREE);
        ASSERT_NE(devTree, nullptr);
        ASSERT_NE(FindItem(devTree, QStringLiteral("Recorder")), nullptr) << ItemTexts(devTree).join(", ").toStdString();
        Shot(Main(), Name(QStringLiteral("devices")));

        // The recorder's configuration window, on its network page: the recorder's address.
        // The armed recorder's alarms keep coming to the live view while it is open.
        QString address;
        auto newestAlarm = [&] {
          return alarms->topLevelItemCount() ? alarms->topLevelItem(0)->text(0) + alarms->topLevelItem(0)->text(1)
                                             : QString();
        };
        OnModalId(kConfigWindow, [&](QWidget* window) {
          // The window opens at once; its pages come with the recorder's records.
          EXPECT_TRUE(WaitUntil([&] { return Find<QPushButton>(window, kConfigSave)->isEnabled(); }));
          const QString before = newestAlarm();
          EXPECT_TRUE(WaitUntil([&] { return newestAlarm() != before; })) << "no alarm while configuring";
          auto* pages = Find<QTreeWidget>(window, kConfigTree);
          QTreeWidgetItem* network = nullptr;
          for (int g = 0; pages && g < pages->topLevelItemCount(); ++g)
            for (int i = 0; i < pages->topLevelItem(g)->childCount(); ++i)
              if (pages->topLevelItem(g)->child(i)->data(0, Qt::UserRole).toUInt() == kNetworkPageBit)
                network = pages->topLevelItem(g)->child(i);
          if (network) {
            SelectItem(pages, network);
            if (auto* edit = Find<QLineEdit>(window, kNetworkAddress)) address = edit->text();
            Shot(window, Name(QStringLiteral("config")));
          } else {
            ADD_FAILURE() << "the configuration window has no network page";
          }
          ClickId(window, kConfigClose);
        });
        ContextMenu(devTree, FindItem(devTree, QStringLiteral("Recorder")), Text(kDeviceSetup));
        EXPECT_EQ(address, QStringLiteral("127.0.0.1"));

        // The camera's parameter dialog, on its picture page.
        int shownBrightness = -1;
        OnModal<CDlgIPCParamSetting>([&](CDlgIPCParamSetting* dlg) {
          EXPECT_TRUE(harness::SettleDeviceWork(kPatienceMs)) << "the pages were never read";
          auto* tabs = Find<QTabBar>(dlg, CDlgIPCParamSetting::IDC_TAB);
          if (tabs && tabs->count() > kPicturePage) {
            ClickAt(tabs, tabs->tabRect(kPicturePage).center());
            if (auto* slider = Find<QAbstractSlider>(dlg, CDlgIPCVideoParamII::IDC_BRIGHTNESS))
              shownBrightness = slider->value();
            Shot(dlg, Name(QStringLiteral("ipc-params")));
          }
          ClickId(dlg, CDlgIPCParamSetting::IDC_CLOSE);
        });
        ContextMenu(devTree, FindItem(devTree, QStringLiteral("Camera")), Text(kDeviceSetup));
        EXPECT_EQ(shownBrightness, 125) << "the camera's factory brightness";

        // ---- the local settings: disk C takes the recordings.
        ClickId(settings, CDlgSetttings::IDC_LOCAL);
        CDlgLSettings* localSettings = settings->LocalSettingsPage();
        ASSERT_TRUE(WaitUntil([&] { return localSettings->isVisible(); }));
        auto* downloads = Find<QLineEdit>(localSettings, CDlgLSettings::IDC_DOWNLOAD);
        ASSERT_NE(downloads, nullptr);
        EXPECT_FALSE(downloads->text().isEmpty());
        auto* disks = Find<CCheckComboBox>(localSettings, CDlgLSettings::IDC_DISKS);
        ASSERT_NE(disks, nullptr);
        ASSERT_GT(disks->count(), 0);
        ClickListEntry(disks, disks->itemText(0));
        EXPECT_EQ(disks->GetCheck(0), 1);
        ClickId(localSettings, CDlgLSettings::IDC_SAVE);
        Shot(Main(), Name(QStringLiteral("local-settings")));

        // ---- the user manager: the administrator with every right.
        ClickId(settings, CDlgSetttings::IDC_USERS);
        CDlgUserMgr* users = settings->UserManagerPage();
        ASSERT_TRUE(WaitUntil([&] { return users->isVisible(); }));
        auto* accounts = Find<QTreeWidget>(users, CDlgUserMgr::IDC_LIST);
        ASSERT_NE(accounts, nullptr);
        QTreeWidgetItem* admin = FindItem(accounts, QStringLiteral("admin"));
        ASSERT_NE(admin, nullptr) << ItemTexts(accounts).join(", ").toStdString();
        SelectItem(accounts, admin);
        EXPECT_GT(accounts->columnWidth(1), 40) << "the identity column is shown";
        EXPECT_FALSE(admin->text(1).isEmpty());
        Shot(Main(), Name(QStringLiteral("users")));

        // ---- back to the live view, the four windows still playing: the camera is recorded
        // for a few seconds.
        ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
        ASSERT_TRUE(WaitUntil([&] { return preview->isVisible(); }));
        for (int w = 0; w < 4; ++w) EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(screen->GetWnd(w)); })) << w;
        Click(screen->GetWnd(0));
        ClickId(preview, CDlgPreview::ID_RECORD);
        ASSERT_TRUE(SaidNotice(kRecordStarted)) << Said();
        PumpFor(4000);
        ClickId(preview, CDlgPreview::ID_RECORD);

        // ---- local playback: the recording found on the day and played.
        PlayFirstFound(Main()->GetLPlaybackDlg(), kLocalPlayback, QStringLiteral("Camera"),
                       QStringLiteral("local-playback"));
      },
      {english});
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

TEST_F(Tour, EveryPageInChinese) { Visit(false); }

TEST_F(Tour, EveryPageInEnglish) { Visit(true); }

}  // namespace
