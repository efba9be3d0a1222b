// The program as the load benchmark runs it: the same start and exit as its main(), in a
// process of its own, with a user's hands added. Once the main window is up, the user picks
// the split layout with the layout picker and reopens the previews of the last session
// (preivew.db) one by one: a click on the saved play window, a double click on the saved
// channel in the device tree. Lines on its standard output start with "bench: ":
//   "bench: opened N WxH wxh RSS" once the previews are reopened: how many run, the main
//   window's size, the first play window's and the resident bytes before the first opened;
//   then, for each "count" on its standard input,
//   "bench: frames RECEIVED PRESENTED PAINTED NUMBERED SKIPPED" summed over the
// windows, where RECEIVED counts the video frames the streams took from the network (the
// library's stream hook), PRESENTED the pictures presented to the play windows (the display
// layer's count), PAINTED those the windows painted, NUMBERED the painted ones whose frame
// number could be read, and SKIPPED the frames of the clip never painted (gaps in those
// numbers); "measure" starts collecting the latency from each frame's send (the wall-clock
// time the camera emulator stamps it with) to the paint that shows it, and "latency" ends
// it: "bench: latency MEDIAN P95 MAX COUNT" in milliseconds.
// Usage: bench_program --drive CLIP (the clip the emulator streams)
// Its CPU time and memory are read from /proc by the benchmark; the counting costs little
// (a hash of a few bytes a frame, the frame number read from a dozen blocks a paint).
#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <memory>
#include <vector>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "Corvane.h"
#include "bench_common.h"
#include "clipgen/clipgen.h"
#include "codecs.h"
#include "controls/BitmapButtonEx.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "driven_program.h"
#include "plat/surface.h"
#include "shell/TarnwickApp.h"
#include "shell/TarnwickDlg.h"
#include "view/BSWndContainer.h"
#include "view/DlgDivScreen.h"
#include "view/DlgPreview.h"
#include "view/DlgPreviewController.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace {

// What each play window's stream received and when each frame of the clip was sent, from the
// library's stream hook (its receive thread).
struct StreamProbe {
  const bench::ClipFrames* clip = nullptr;
  std::unique_ptr<bench::SendTimes> sent;
  std::atomic<uint64_t> received{0};
};
StreamProbe g_probes[CPlayScreen::kWindowCount];
bench::Latencies g_latencies;

// What each play window painted, seen from its paint events (GUI thread only).
class PaintCounter : public QObject {
 public:
  PaintCounter(CPlayWnd* wnd, const StreamProbe& probe) : wnd_(wnd), probe_(probe) { wnd->installEventFilter(this); }
  bench::PaintTally tally;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::Paint) return false;
    plat::PresentedFrame f;
    if (!plat::presentedFrame(wnd_->GetSafeHwnd(), &f)) return false;
    const int index = clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height, f.pictureWidth, f.pictureHeight);
    tally.paint(f.serial, index, probe_.clip->count(), *probe_.sent, g_latencies);
    return false;
  }

 private:
  CPlayWnd* wnd_;
  const StreamProbe& probe_;
};
std::vector<std::unique_ptr<PaintCounter>> g_painted;

// The hook sees video frames and audio blocks alike: video carries a codec number (0 to 2),
// audio its type (6 and up).
void countFrame(const uint8_t* data, int length, int codecOrAudioType, uint32_t seconds, uint32_t microseconds,
                uint32_t, void* user) {
  if (codecOrAudioType > corvane::kCodecH264) return;
  auto* probe = static_cast<StreamProbe*>(user);
  probe->received.fetch_add(1, std::memory_order_relaxed);
  probe->sent->note(probe->clip->indexOf(data, static_cast<size_t>(length)), int64_t{seconds} * 1000000 + microseconds);
}

void say(const std::string& line) {
  std::printf("bench: %s\n", line.c_str());
  std::fflush(stdout);
}

void click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, at, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
}

// The split layout of `windows` windows, picked as a user does: the bar's layout button,
// then the picker's button of that layout.
void pickLayout(CDlgPreview& page, int windows) {
  if (auto* divide = page.findChild<QAbstractButton*>(QString::number(CDlgPreview::ID_DIVIDE))) divide->click();
  // The picker declares no meta-object of its own: it is told apart by its C++ type.
  CDlgDivScreen* picker = nullptr;
  for (QWidget* w : page.findChildren<QWidget*>())
    if (!picker) picker = dynamic_cast<CDlgDivScreen*>(w);
  if (!picker) return;
  for (int i = 0; i < CDlgDivScreen::kButtonCount; ++i) {
    const int id = CDlgDivScreen::kFirstButtonId + i;
    const int mode = CDlgDivScreen::ModeOfButton(id);
    if (mode >= 0 && mode < kLayoutModeCount && kLayoutWindowCount[mode] == windows) {
      if (CBitmapButtonEx* b = picker->Button(id)) b->click();
      return;
    }
  }
}

// Reopens the saved previews as a user would; the windows asked for.
std::vector<int> reopenSaved(CDlgPreview& page) {
  CPreviewManager* previews = CPreviewManager::GetInstance();
  const std::vector<SavedPreview> saved = previews->GetSavedPreviews();
  pickLayout(page, static_cast<int>(saved.size()));
  CPlayScreen* screen = page.GetPlayScreen();
  std::vector<int> asked;
  for (const SavedPreview& s : saved) {
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(s.deviceGuid, 1);
    QTreeWidgetItem* node = device ? page.Controller().FindChannelItem(device, s.channel) : nullptr;
    CPlayWnd* wnd = screen->GetWnd(s.window);
    if (!node || !wnd) continue;
    click(wnd);
    emit page.GetDeviceTree()->itemDoubleClicked(node, 0);
    asked.push_back(s.window);
  }
  return asked;
}

// The previews start on their devices' queues: true once each window asked for plays.
bool allPreviewing(const std::vector<int>& windows) {
  for (int w : windows) {
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(w);
    if (!item || !item->IsPreviewing()) return false;
  }
  return true;
}

// Hooks each playing window's stream (on its device's queue, where the preview object is
// used) and counts its paints; `done` gets the number hooked.
devwork::Owner g_owner;
void hookStreams(CDlgPreview& page, const std::vector<int>& windows, const bench::ClipFrames& clip,
                 std::function<void(int)> done) {
  auto left = std::make_shared<int>(static_cast<int>(windows.size()));
  auto hooked = std::make_shared<int>(0);
  CPlayScreen* screen = page.GetPlayScreen();
  for (int w : windows) {
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(w);
    g_probes[w].clip = &clip;
    g_probes[w].sent = std::make_unique<bench::SendTimes>(clip.count());
    std::function<bool()> work = [item, w] {
      IDevPreview* preview = item->GetDevPreview();
      DevHandle stream = 0;
      if (preview) preview->GetRealHandle(&stream);
      return stream && IPC_SetStreamHook(reinterpret_cast<IPC_HANDLE>(stream), countFrame, &g_probes[w]) == 1;
    };
    std::function<void(bool)> answered = [=](bool ok) {
      if (ok) {
        g_painted.push_back(std::make_unique<PaintCounter>(screen->GetWnd(w), g_probes[w]));
        ++*hooked;
      }
      if (--*left == 0) done(*hooked);
    };
    if (!devwork::Run<bool>(item->GetDeviceGuid(), work, answered, g_owner)) answered(false);
  }
  if (windows.empty()) done(0);
}

std::string counts(CDlgPreview& page) {
  uint64_t received = 0, presented = 0, painted = 0, numbered = 0, skipped = 0;
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    received += g_probes[w].received.load(std::memory_order_relaxed);
    plat::PresentedFrame f;
    if (plat::presentedFrame(page.GetPlayScreen()->GetWnd(w)->GetSafeHwnd(), &f)) presented += f.serial;
  }
  for (const auto& p : g_painted) {
    painted += p->tally.painted;
    numbered += p->tally.numbered;
    skipped += p->tally.skipped;
  }
  return "frames " + std::to_string(received) + " " + std::to_string(presented) + " " + std::to_string(painted) +
         " " + std::to_string(numbered) + " " + std::to_string(skipped);
}

}  // namespace

int RunDrivenProgram(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  QApplication::setFont(font);

  // The clip the emulator streams: its frames are told apart in the stream hook.
  clipgen::Clip clipFile;
  if (argc < 3 || !clipgen::readClip(argv[2], &clipFile)) return 2;
  const bench::ClipFrames clip(clipFile);
  bool opened = false;
  double before = 0;
  std::vector<int> asked;
  std::chrono::steady_clock::time_point askedAt;
  QTimer poll, playing;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CTarnwickDlg* main = CTarnwickDlg::MainWindow();
    if (opened || !main || !main->isVisible()) return;
    opened = true;
    poll.stop();
    CDlgPreview& page = *main->GetPreviewDlg();
    before = bench::residentBytes();
    asked = reopenSaved(page);
    askedAt = std::chrono::steady_clock::now();
    playing.start(20);
  });
  poll.start(20);
  // Then waits (at most a minute) until every preview plays, and hooks the streams.
  QObject::connect(&playing, &QTimer::timeout, [&] {
    CTarnwickDlg* main = CTarnwickDlg::MainWindow();
    if (!allPreviewing(asked) && std::chrono::steady_clock::now() - askedAt < std::chrono::minutes(1)) return;
    playing.stop();
    CDlgPreview& page = *main->GetPreviewDlg();
    hookStreams(page, asked, clip, [main, &page, &before](int running) {
      const QWidget* first = page.GetPlayScreen()->GetWnd(0);
      say("opened " + std::to_string(running) + " " + std::to_string(main->width()) + "x" +
          std::to_string(main->height()) + " " + std::to_string(first->width()) + "x" +
          std::to_string(first->height()) + " " + std::to_string(static_cast<long long>(before)));
    });
  });

  std::string input;
  QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&commands, &QSocketNotifier::activated, [&] {
    char buf[256];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    // The benchmark went away or is done: nothing here needs a clean exit.
    if (n <= 0) std::_Exit(0);
    input.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = input.find('\n')) != std::string::npos; input.erase(0, nl + 1)) {
      const std::string command = input.substr(0, nl);
      CTarnwickDlg* main = CTarnwickDlg::MainWindow();
      if (command == "count" && main) {
        say(counts(*main->GetPreviewDlg()));
      } else if (command == "measure") {
        g_latencies.collect(true);
        say("measuring");
      } else if (command == "latency") {
        g_latencies.collect(false);
        char line[128];
        std::snprintf(line, sizeof line, "latency %.2f %.2f %.2f %zu", g_latencies.percentileMs(50),
                      g_latencies.percentileMs(95), g_latencies.percentileMs(100), g_latencies.size());
        say(line);
      } else if (command == "quit") {
        std::_Exit(0);
      }
    }
  });

  CTarnwickApp app;
  app.InitInstance();
  return app.ExitInstance();
}
