// Live view as a user works it: four live windows of the camera and the recorder, layouts
// switched and the picker closed without a choice, full screen and back, a snapshot, half a
// minute of the camera and of a recorder channel recorded through the recording ring onto the
// disk chosen in the local settings, and both recordings played on the local playback page,
// which cannot be left while it plays.
#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <QLocale>
#include <QTableView>
#include <QToolButton>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <initializer_list>

#include "support/PlayableFrames.h"
#include "JourneyFixture.h"
#include "support/RecorderFile.h"
#include "dvremu/wire.h"
#include "plat/paths.h"
#include "plat/surface.h"
#include "plat/text.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgSetttings.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgDivScreen.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"
#include "view/ScheduleCtrl.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kSnapshotSaved = 8350, kPathSeparator = 8981;  // "Snapshot taken", ": ", the path
constexpr unsigned kRecordingStarted = 8368;
constexpr unsigned kCameraVideoChannel = 0xFF02;  // the camera's channel code for live video
constexpr unsigned kLocalPlayback = 8139;  // the playback button's menu entry
constexpr unsigned kLocalPlaying = 8236;   // leaving a page that plays is refused

class LiveView : public JourneyTest {
 protected:
  // The layout picker opened by the live page's button; null when it is not shown.
  QWidget* OpenLayoutPicker() {
    ClickId(LivePage(), CDlgPreview::ID_DIVIDE);
    QWidget* picker = Find(LivePage(), CDlgDivScreen::kTemplateId);
    return picker && picker->isVisible() ? picker : nullptr;
  }

  // The picker goes away without a choice too: a click beside it, Esc, or leaving the page;
  // the layout stays.
  void CloseThePickerWithoutAChoice() {
    CPlayScreen* screen = LivePage()->GetPlayScreen();
    const int layout = screen->GetLayoutMode();
    QWidget* picker = nullptr;
    ASSERT_NE(picker = OpenLayoutPicker(), nullptr);
    Click(screen->GetWnd(3));
    EXPECT_FALSE(picker->isVisible()) << "a click beside the picker closes it";
    EXPECT_EQ(screen->GetActiveIndex(), 3) << "and reaches the window clicked";
    ASSERT_NE(picker = OpenLayoutPicker(), nullptr);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(picker->isVisible()) << "Esc closes the picker";
    ASSERT_NE(picker = OpenLayoutPicker(), nullptr);
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_TRUE(Main()->GetSettingsDlg()->isVisible());
    ASSERT_TRUE(PressPageButton(CTarnwickDlg::IDC_BtnPreview, LivePage()));
    EXPECT_FALSE(picker->isVisible()) << "the picker went with the page";
    EXPECT_EQ(screen->GetLayoutMode(), layout);
  }

  // Full screen: the windows alone. A click on one makes it active, a double click shows it
  // alone and another brings the grid back; Esc comes back whatever was clicked.
  void FullScreenAndBack() {
    CDlgPreview* preview = LivePage();
    CPlayScreen* screen = preview->GetPlayScreen();
    ClickId(preview, CDlgPreview::ID_FULLSCREEN);
    EXPECT_TRUE(preview->IsFullScreen());
    EXPECT_FALSE(preview->GetDeviceTree()->isVisible());
    EXPECT_EQ(screen->width(), preview->width());
    Shot(Main(), "live_full_screen");
    Click(screen->GetWnd(2));
    EXPECT_EQ(screen->GetActiveIndex(), 2);
    DoubleClick(screen->GetWnd(2));
    EXPECT_FALSE(screen->IsMultiView()) << "a double click shows the window alone";
    DoubleClick(screen->GetWnd(2));
    EXPECT_TRUE(screen->IsMultiView());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(preview->IsFullScreen()) << "Esc after a click on a video window";
    EXPECT_TRUE(preview->GetDeviceTree()->isVisible());
    EXPECT_LT(screen->width(), preview->width());
    ASSERT_FALSE(HasFailure()) << "stuck in full screen: nothing else can be clicked";
  }

  // A snapshot of play window `window`: the notice says it was taken and, after a separator,
  // where the picture is; that path.
  void Snapshot(int window, std::u16string* path) {
    Click(LiveWindow(window));
    const size_t notices = Ui().notices.size();
    ClickId(LivePage(), CDlgPreview::ID_SNAPSHOT);
    ASSERT_EQ(Ui().notices.size(), notices + 1) << Said();
    const std::u16string said = Ui().notices.back(),
                         saved = (Text(kSnapshotSaved) + Text(kPathSeparator)).toStdU16String();
    ASSERT_EQ(said.rfind(saved, 0), 0u) << Said();
    *path = said.substr(saved.size());
  }

  // Recording started in each of the windows (a click on the window, then on the record
  // button), `realMs` of it, then stopped the same way; the windows play on.
  void RecordWindows(std::initializer_list<int> windows, int realMs) {
    for (int w : windows) {
      Click(LiveWindow(w));
      ClickId(LivePage(), CDlgPreview::ID_RECORD);
      ASSERT_EQ(Ui().notices.back(), Text(kRecordingStarted).toStdU16String()) << Said();
    }
    PumpFor(realMs);
    for (int w : windows) {
      Click(LiveWindow(w));
      ClickId(LivePage(), CDlgPreview::ID_RECORD);
      EXPECT_TRUE(ShowsVideo(LiveWindow(w))) << "window " << w << " plays on";
    }
  }

  // The local playback page's calendar: today chosen, the day marked in its grid today, its
  // month named in the interface's language.
  void ExpectTodayOnTheCalendar(QCalendarWidget* calendar) {
    EXPECT_EQ(calendar->selectedDate(), QDate::currentDate());
    auto* grid = calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
    ASSERT_NE(grid, nullptr);
    const QModelIndexList marked = grid->selectionModel()->selectedIndexes();
    ASSERT_EQ(marked.size(), 1);
    EXPECT_EQ(marked[0].data().toInt(), QDate::currentDate().day());
    auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(month->text(), QLocale(QLocale::Chinese).standaloneMonthName(QDate::currentDate().month()));
  }

  // Leaving the local playback page while it plays is refused: the page and its lit tab stay.
  void LeavingIsRefused(CDlgLPlayback* playback) {
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    EXPECT_TRUE(SaidNotice(kLocalPlaying)) << Said();
    EXPECT_EQ(Main()->CurrentPage(), playback);
    EXPECT_EQ(Main()->PageButton(CTarnwickDlg::IDC_BtnPlayback)->GetState(), 1) << "the lit tab is the page shown";
    EXPECT_EQ(Main()->PageButton(CTarnwickDlg::IDC_BtnPreview)->GetState(), 0);
  }

  // What reached the emulators: the camera's video channel opened, the recorder logged in and
  // asked for live video of three channels.
  void ExpectLiveVideoAsked() {
    EXPECT_FALSE(camera().LogLines("open " + std::to_string(kCameraVideoChannel)).empty());
    int logins = 0, previews = 0;
    for (const std::string& line : recorder().LogLines("req ")) {
      unsigned connection = 0, command = 0;
      if (std::sscanf(line.c_str(), "req %u %u", &connection, &command) != 2) continue;
      logins += command == dvremu::kLogin;
      previews += command == dvremu::kPreview;
    }
    EXPECT_GE(logins, 1);
    EXPECT_GE(previews, 3);
  }

  // The recordings: video files on d: only, which a player reads back as H.264 pictures, and
  // the recorder's channel in its own stream format beside the camera's files.
  void ExpectRecordedOnD() {
    int frames = 0, files = 0;
    for (const auto& e : fs::recursive_directory_iterator(Drive('c')))
      EXPECT_NE(e.path().extension(), ".avi") << "recorded onto a disk not chosen: " << e.path();
    for (const auto& e : fs::recursive_directory_iterator(Drive('d'))) {
      if (e.path().extension() != ".avi") continue;
      if (testsupport::EmptyRecording(e.path().string())) continue;  // closed by the first frame
      ++files;
      const int n = testsupport::PlayableFrames(e.path().string());
      EXPECT_GT(n, 0) << e.path();
      frames += n;
    }
    EXPECT_GE(files, 1);
    // Several seconds of a 25-frame camera, however busy the machine.
    EXPECT_GT(frames, 50);
    int streams = 0;
    for (const auto& e : fs::recursive_directory_iterator(Drive('d')))
      if (e.path().extension() == ".264") streams += testsupport::ReadRecorderFile(e.path().string()).frames > 0;
    EXPECT_GE(streams, 1);
  }
};

TEST_F(LiveView, FourWindowsLayoutsFullScreenSnapshotRecordingAndItsPlayback) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  StartOptions start;
  start.timeScale = 0.25;  // half a minute of recording in a few seconds
  std::u16string snapshotPath;
  RunProgram(
      [&] {
        // The recording disk: d: in the local settings, saved.
        ChooseRecordingDisk(1);
        Shot(Main(), "live_local_settings");

        // Four live windows: the camera and three channels of the recorder, each opened by a
        // click on its window and a double click on the channel, the last dragged onto its
        // window.
        CDlgPreview* preview = LivePage();
        ASSERT_TRUE(PressPageButton(CTarnwickDlg::IDC_BtnPreview, preview));
        QTreeWidget* tree = preview->GetDeviceTree();
        CPlayScreen* screen = preview->GetPlayScreen();
        ASSERT_EQ(screen->GetLayoutMode(), 1) << "four windows at first";
        const std::pair<const char16_t*, int> channels[] = {
            {kCameraName, 1}, {kRecorderName, 1}, {kRecorderName, 2}, {kRecorderName, 3}};
        for (int w = 0; w < 3; ++w) ASSERT_TRUE(OpenChannel(w, channels[w].first, channels[w].second)) << w;
        QTreeWidgetItem* dragged = ChannelItem(tree, channels[3].first, channels[3].second);
        ASSERT_NE(dragged, nullptr);
        Drag(tree->viewport(), ItemPoint(tree, dragged), screen->GetWnd(3));
        EXPECT_EQ(screen->GetActiveIndex(), 3) << "the window it was dropped on";
        for (int w = 0; w < 4; ++w) EXPECT_TRUE(ShowsVideo(screen->GetWnd(w))) << "window " << w;
        Shot(Main(), "live_four_windows");

        // Layouts: nine windows, one, four again; what plays keeps playing.
        for (int button : {CDlgDivScreen::kFirstButtonId + 4, CDlgDivScreen::kFirstButtonId,
                           CDlgDivScreen::kFirstButtonId + 1}) {
          QWidget* picker = OpenLayoutPicker();
          ASSERT_NE(picker, nullptr);
          // The hand goes from the split button over the page to the layout: the picker stays.
          QWidget* split = Find(preview, CDlgPreview::ID_DIVIDE);
          QWidget* choice = Find(picker, button);
          ASSERT_TRUE(split && choice);
          const QPoint from = preview->mapFromGlobal(split->mapToGlobal(split->rect().center()));
          const QPoint to = preview->mapFromGlobal(choice->mapToGlobal(choice->rect().center()));
          for (int step = 0; step <= 4; ++step)
            harness::routed::Move(preview, from + (to - from) * step / 4);
          EXPECT_TRUE(picker->isVisible()) << "the picker went as the hand moved to it";
          ClickId(picker, button);
          EXPECT_FALSE(picker->isVisible());
          EXPECT_EQ(screen->GetLayoutMode(), CDlgDivScreen::ModeOfButton(button));
          EXPECT_TRUE(ShowsVideo(screen->GetWnd(0)));
          if (button == CDlgDivScreen::kFirstButtonId + 4) Shot(Main(), "live_nine_windows");
        }
        for (int w = 0; w < 4; ++w) EXPECT_TRUE(ShowsVideo(screen->GetWnd(w))) << "window " << w;

        ASSERT_NO_FATAL_FAILURE(CloseThePickerWithoutAChoice());
        ASSERT_NO_FATAL_FAILURE(FullScreenAndBack());
        ASSERT_NO_FATAL_FAILURE(Snapshot(0, &snapshotPath));
        // Half a minute of the camera and of the recorder's first channel recorded side by
        // side, by the clock the program runs on.
        ASSERT_NO_FATAL_FAILURE(RecordWindows({0, 1}, static_cast<int>(30000 * start.timeScale)));

        // Played on the local playback page: found for today, a click on its bar plays it.
        CDlgLPlayback* playback = Main()->GetLPlaybackDlg();
        ASSERT_TRUE(ChoosePlayback(kLocalPlayback, playback));
        ASSERT_NO_FATAL_FAILURE(ExpectTodayOnTheCalendar(playback->GetCalendar()));
        QTreeWidget* ptree = playback->GetDeviceTree();
        CScheduleCtrl* bar = playback->GetTimeBar();
        CPlayWnd* shown = playback->GetPlayScreen()->GetWnd(0);
        for (const char16_t* device : {kCameraName, kRecorderName}) {
          SelectItem(ptree, ChannelItem(ptree, device, 1));
          ASSERT_TRUE(SearchDay(playback, QDate::currentDate())) << Said();
          // One recording of the channel today; a camera's recording whose first frame came
          // in a later second than its start has the empty file that frame closed before it.
          ASSERT_GE(bar->CellCount(), 1) << "one recording of the channel today";
          ASSERT_LE(bar->CellCount(), 2) << "one recording of the channel today";
          ASSERT_TRUE(ClickCell(bar, bar->CellCount() - 1));
          EXPECT_TRUE(ShowsVideo(shown)) << "the recording of " << QString::fromStdU16String(device).toStdString()
                                         << " plays; " << Said();
          if (device == kCameraName) {
            Shot(Main(), "live_local_playback");
            LeavingIsRefused(playback);
          }
          ClickId(playback, CPlaybackPageBase::IDC_STOP);
          // The time bar takes one click in two seconds: a user's next click comes later.
          PumpFor(static_cast<int>(2500 * start.timeScale));
        }
      },
      start);

  ExpectLiveVideoAsked();
  // The snapshot: a picture in the picture folder the settings name (c:\Capture\ at first),
  // told as the path on this machine.
  const fs::path picture = plat::utf16ToUtf8(snapshotPath);
  EXPECT_EQ(picture.parent_path(), fs::path(Drive('c')) / "Capture");
  QImage image(QString::fromStdString(picture.string()));
  EXPECT_FALSE(image.isNull()) << picture;
  EXPECT_GT(image.width(), 0);
  ExpectRecordedOnD();
}

}  // namespace
