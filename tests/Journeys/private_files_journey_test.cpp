// Private files: a user whose files are readable by everyone by default (file mode mask 022)
// starts the program for the first time, logs in, chooses a recording disk, watches the camera,
// takes a snapshot and records a few seconds. Every folder the program made and every file it
// wrote (accounts, devices, saved previews, the recording list, settings, the snapshot, the
// recording) is its owner's alone. Then the files are opened up to everyone, copies and a log
// are put beside them, and at the next start the program takes back its data folder, its own
// files there and the log; a file there that is not the program's keeps its mode, and so does
// everything in the folders of recordings, snapshots and downloads, which the user may have
// opened on purpose.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "JourneyFixture.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kRecordingStarted = 8368;

mode_t ModeOf(const fs::path& p) {
  struct stat st{};
  return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

class PrivateFiles : public JourneyTest {
 protected:
  // Every entry below `root` (and `root` itself when asked) whose mode is not its owner's
  // alone: 0700 for folders, 0600 for files. Links are looked at, not followed.
  static std::vector<std::string> OpenToOthers(const fs::path& root, bool withRoot,
                                               const std::vector<fs::path>& except = {}) {
    std::vector<std::string> open;
    auto check = [&](const fs::path& p) {
      for (const fs::path& e : except)
        if (p == e) return;
      struct stat st{};
      ASSERT_EQ(::lstat(p.c_str(), &st), 0) << p;
      if (S_ISLNK(st.st_mode)) return;
      const mode_t want = S_ISDIR(st.st_mode) ? 0700 : 0600;
      if ((st.st_mode & 07777) != want) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", st.st_mode & 07777);
        open.push_back(p.string() + " " + mode);
      }
    };
    if (withRoot) check(root);
    for (const auto& e : fs::recursive_directory_iterator(root)) check(e.path());
    return open;
  }
  // Opens everything below `root` (and `root`) to every user, as a careless copy would.
  static void OpenUp(const fs::path& root) {
    fs::permissions(root, fs::perms::all, fs::perm_options::replace);
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (!e.is_symlink())
        fs::permissions(e.path(), e.is_directory() ? fs::perms::all : fs::perms(0666), fs::perm_options::replace);
  }
  std::vector<fs::path> ProgramFolders() const {
    return {Home(), Drive('c'), Drive('d'), Drive('e')};
  }
};

TEST_F(PrivateFiles, EverythingTheProgramWritesIsItsOwnersAlone) {
  ::umask(022);  // the usual default: new files readable by everyone
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  StartOptions start;
  start.timeScale = 0.25;
  RunProgram(
      [&] {
        ChooseRecordingDisk(1);
        ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
        CDlgPreview* preview = Main()->GetPreviewDlg();
        ASSERT_TRUE(WaitUntil([&] { return preview->isVisible(); }));
        CPlayScreen* screen = preview->GetPlayScreen();
        Click(screen->GetWnd(0));
        DoubleClickItem(preview->GetDeviceTree(), ChannelItem(preview->GetDeviceTree(), kCameraName, 1));
        ASSERT_TRUE(ShowsVideo(screen->GetWnd(0)));
        ClickId(preview, CDlgPreview::ID_SNAPSHOT);
        ClickId(preview, CDlgPreview::ID_RECORD);
        ASSERT_EQ(Ui().notices.back(), Text(kRecordingStarted).toStdU16String()) << Said();
        PumpFor(static_cast<int>(8000 * start.timeScale));
        ClickId(preview, CDlgPreview::ID_RECORD);
      },
      start);

  // What the first start wrote: the folder of the program's data itself, and all below it and
  // below the disks (whose roots are the machine's, made by the test).
  EXPECT_EQ(ModeOf(Home()), 0700u) << "the data folder";
  std::vector<std::string> open;
  for (const fs::path& folder : ProgramFolders()) {
    auto more = OpenToOthers(folder, false);
    open.insert(open.end(), more.begin(), more.end());
  }
  EXPECT_TRUE(open.empty()) << ::testing::PrintToString(open);
  // What there is to see: the stores, the settings, a snapshot and a recording.
  for (const char* file : {"UserInfo.db", "Tarnwick.db", "preivew.db", "record.db"})
    EXPECT_TRUE(fs::exists(fs::path(Home()) / file)) << file;
  EXPECT_FALSE(fs::is_empty(fs::path(Drive('c')) / "Capture"));
  EXPECT_FALSE(fs::is_empty(fs::path(Drive('d')) / "RecordFile"));

  // Opened up to everyone, with a copy kept aside, a log, a download, a file of the user's
  // own and, in the recordings, a link to a file elsewhere.
  for (const fs::path& folder : ProgramFolders()) OpenUp(folder);
  fs::copy_file(fs::path(Home()) / "UserInfo.db", fs::path(Home()) / "UserInfo.db.bak");
  fs::create_directories(fs::path(Drive('c')) / "DownloadFile");
  std::ofstream(fs::path(Drive('c')) / "DownloadFile" / "rec_01.mp4") << "downloaded";
  const fs::path log = fs::path(Home()) / "tarnwick.log", notes = fs::path(Home()) / "notes.txt",
                 elsewhere = fs::path(Folder()) / "elsewhere.txt";
  for (const fs::path& f : {log, notes, elsewhere}) {
    std::ofstream(f) << "text";
    fs::permissions(f, fs::perms(0644), fs::perm_options::replace);
  }
  fs::create_symlink(elsewhere, fs::path(Drive('d')) / "RecordFile" / "link.avi");
  setenv("TARNWICK_LOG", log.c_str(), 1);
  ASSERT_EQ(ModeOf(fs::path(Home()) / "UserInfo.db.bak"), 0666u);

  const fs::path download = fs::path(Drive('c')) / "DownloadFile" / "rec_01.mp4";
  fs::permissions(download, fs::perms(0644), fs::perm_options::replace);
  // What the disks' folders hold as the user left it, to compare after the start.
  std::vector<std::pair<fs::path, mode_t>> onDisks;
  for (char d : {'c', 'd', 'e'})
    for (const auto& e : fs::recursive_directory_iterator(Drive(d)))
      onDisks.emplace_back(e.path(), ModeOf(e.path()));
  ASSERT_GT(onDisks.size(), 4u);

  RunProgram([] {});
  unsetenv("TARNWICK_LOG");
  EXPECT_EQ(ModeOf(Home()), 0700u);
  open = OpenToOthers(Home(), false, {notes});
  EXPECT_TRUE(open.empty()) << ::testing::PrintToString(open);
  EXPECT_EQ(ModeOf(log), 0600u) << "the log";
  EXPECT_EQ(ModeOf(notes), 0644u) << "not the program's file";
  EXPECT_EQ(ModeOf(elsewhere), 0644u) << "a link is not followed";
  for (const auto& [path, mode] : onDisks) EXPECT_EQ(ModeOf(path), mode) << path;
  EXPECT_EQ(ModeOf(download), 0644u);
}

}  // namespace
