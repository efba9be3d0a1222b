// The program as the load benchmark runs it: the same start and exit as its main(), in a
// process of its own, with a user's hands added. Once the main window is up, the user picks
// the split layout with the layout picker and reopens the previews of the last session
// (preivew.db) one by one: a click on the saved play window, a double click on the saved
// channel in the device tree; the channels open on the devices' queues. Lines on its
// standard output start with "bench: ":
//   "bench: opened N WxH wxh RSS FILES" once the previews run: how many, the main window's
//   size, the first play window's and the resident bytes (of them pages of files) before the
//   first opened; then, for each
//   "count" on its standard input,
//   "bench: frames RECEIVED PRESENTED PAINTED NUMBERED SKIPPED" summed over the
// windows, where RECEIVED counts the video frames the streams took from the network (the
// library's stream hook), PRESENTED the pictures presented to the play windows (the display
// layer's count), PAINTED those the windows painted, NUMBERED the painted ones whose frame
// number could be read, and SKIPPED the frames of the clip never painted (gaps in those
// numbers); "measure" starts collecting the latency from each frame's send (the wall-clock
// time the camera emulator stamps it with) to the paint that shows it, "lap" answers
// "bench: lap MEDIAN P95 COUNT" for the latencies since the last lap (or since "measure") and
// goes on collecting, and "latency" ends it: "bench: latency MEDIAN P95 MAX COUNT" in
// milliseconds.
// "reopen" on its standard input opens again, the same way, the saved previews whose windows
// stand idle (their device did not answer); it says nothing back.
// Usage: bench_program --drive CLIP [RUNNING] (the clip the emulator streams): "opened" once
// RUNNING of the saved previews run (all of them by default), or after a minute.
// Its CPU time and memory are read from /proc by the benchmark; the counting costs little
// (a hash of a few bytes a frame, the frame number read from a dozen blocks a paint).
#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "Corvane.h"
#include "bench_common.h"
#include "clipgen/clipgen.h"
#include "codecs.h"
#include "controls/BitmapButtonEx.h"
#include "controls/InteractiveUi.h"
#include "devices/DeviceManager.h"
#include "driven_program.h"
#include "plat/surface.h"
#include "shell/TarnwickApp.h"
#include "shell/TarnwickDlg.h"
#include "view/BSWndContainer.h"
#include "view/DlgDivScreen.h"
#include "view/DlgPreview.h"
#include "view/DlgPreviewController.h"
#include "view/PlayScreen.h"
#include "shell/DbHelpers.h"
#include "view/PreviewManager.h"

namespace {

// One row of the last session's Tb_Preview (the program itself never reads them back).
struct SavedPreview {
  std::u16string deviceGuid;
  int channel = 0;
  int window = 0;
};

const std::vector<SavedPreview>& savedPreviews() {
  static const std::vector<SavedPreview> rows = [] {
    std::vector<SavedPreview> out;
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, CPreviewManager::kDatabase)) return out;
    try {
      for (auto q = db.Query(u"select DevGuid, Chn, PlayWnd from [Tb_Preview];"); !q.Eof(); q.NextRow())
        out.push_back({q.FieldText(0) ? q.FieldText(0) : u"", static_cast<int>(q.FieldInt(1)),
                       static_cast<int>(q.FieldInt(2))});
    } catch (const CppSQLite3Exception&) {
    }
    CloseDatabase(db);
    return out;
  }();
  return rows;
}

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

// A click on the saved preview's window, a double click on its channel in the device tree.
void openSaved(CDlgPreview& page, const SavedPreview& s) {
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(s.deviceGuid, 1);
  QTreeWidgetItem* node = device ? page.Controller().FindChannelItem(device, s.channel) : nullptr;
  CPlayWnd* wnd = page.GetPlayScreen()->GetWnd(s.window);
  if (!node || !wnd) return;
  click(wnd);
  emit page.GetDeviceTree()->itemDoubleClicked(node, 0);
}

// Opens again the saved previews whose windows stand idle (a device that did not answer).
void reopenIdle(CDlgPreview& page) {
  for (const SavedPreview& s : savedPreviews()) {
    CPlayWnd* wnd = page.GetPlayScreen()->GetWnd(s.window);
    if (wnd && wnd->GetState() == CPlayWnd::State::kIdle) openSaved(page, s);
  }
}

// Counts the frames of every window whose stream now runs and was not counted yet; the number
// of windows counted.
bool g_hooked[CPlayScreen::kWindowCount];
int hookRunning(CDlgPreview& page, const bench::ClipFrames& clip) {
  int running = 0;
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    if (g_hooked[w]) {
      ++running;
      continue;
    }
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(w);
    IDevPreview* preview = item ? item->GetDevPreview() : nullptr;
    if (!preview) continue;
    DevHandle stream = 0;
    preview->GetRealHandle(&stream);
    if (!g_probes[w].sent) {
      g_probes[w].clip = &clip;
      g_probes[w].sent = std::make_unique<bench::SendTimes>(clip.count());
    }
    if (!stream || IPC_SetStreamHook(reinterpret_cast<IPC_HANDLE>(stream), countFrame, &g_probes[w]) != 1) continue;
    g_painted.push_back(std::make_unique<PaintCounter>(page.GetPlayScreen()->GetWnd(w), g_probes[w]));
    g_hooked[w] = true;
    ++running;
  }
  return running;
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
  InstallInteractiveUi();
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  QApplication::setFont(font);

  // The clip the emulator streams: its frames are told apart in the stream hook.
  clipgen::Clip clipFile;
  if (argc < 3 || !clipgen::readClip(argv[2], &clipFile)) return 2;
  const bench::ClipFrames clip(clipFile);
  double before = 0, beforeFiles = 0;  // resident bytes (of them files) before the first preview opened
  // How many of the saved previews are to run before "opened" is said (all by default).
  const int expected = argc > 3 ? std::atoi(argv[3]) : -1;
  enum { kStarting, kOpening, kOpened } phase = kStarting;
  std::chrono::steady_clock::time_point openedBy;
  QSize settledSize;
  int settledPolls = 0;
  constexpr int kSettledPolls = 25;  // half a second at one size
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CTarnwickDlg* main = CTarnwickDlg::MainWindow();
    if (!main || !main->isVisible()) return;
    CDlgPreview& page = *main->GetPreviewDlg();
    if (phase == kStarting && main->size() != settledSize) {
      settledSize = main->size();
      settledPolls = 0;
    }
    // The main window at its final size, painted, before anything plays: its backing store
    // (8 MB on this screen) is the program's whatever plays, not a play window's.
    if (phase == kStarting && ++settledPolls < kSettledPolls) return;
    if (phase == kStarting) {
      const std::vector<SavedPreview>& saved = savedPreviews();
      main->repaint();
      before = bench::residentBytes();
      beforeFiles = bench::residentFileBytes();
      pickLayout(page, static_cast<int>(saved.size()));
      for (const SavedPreview& s : saved) openSaved(page, s);
      phase = kOpening;
      openedBy = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      return;
    }
    // The channels open on the devices' queues: "opened" once they run (or the time is up).
    const int running = hookRunning(page, clip);
    const int wanted =
        expected >= 0 ? expected : static_cast<int>(savedPreviews().size());
    if (running < wanted && std::chrono::steady_clock::now() < openedBy) return;
    phase = kOpened;
    poll.stop();
    const QWidget* first = page.GetPlayScreen()->GetWnd(0);
    say("opened " + std::to_string(running) + " " + std::to_string(main->width()) + "x" +
        std::to_string(main->height()) + " " + std::to_string(first->width()) + "x" + std::to_string(first->height()) +
        " " + std::to_string(static_cast<long long>(before)) + " " +
        std::to_string(static_cast<long long>(beforeFiles)));
  });
  poll.start(20);

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
      } else if (command == "reopen" && main) {
        reopenIdle(*main->GetPreviewDlg());
      } else if (command == "measure") {
        g_latencies.collect(true);
        say("measuring");
      } else if (command == "lap") {
        double med = 0, p95 = 0;
        size_t n = 0;
        g_latencies.lap(&med, &p95, &n);
        char line[128];
        std::snprintf(line, sizeof line, "lap %.2f %.2f %zu", med, p95, n);
        say(line);
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
