#pragma once
// A journey: the whole program, started in this test process as its own main() starts it,
// driven through its windows by control id as a user drives it, against the camera and
// recorder emulators running as child processes. One gtest case is one journey; ctest runs
// each case in a process of its own, side by side.
//
// What every journey gets (SetUp):
//   - a folder of its own (Folder()): the program's data folder Home() (TARNWICK_HOME), three
//     drives under it for recordings and snapshots (TARNWICK_DRIVES: c, d, e), its own
//     runtime folder for the program's single-instance lock (XDG_RUNTIME_DIR), no sound;
//   - the UI service replaced by a script (Ui(): harness::ScriptedUi): every message box is
//     recorded in Ui().boxes and answered from Ui().boxAnswers (IDCANCEL when empty), every
//     notice lands in Ui().notices, so a journey asserts that a refused action "says so" with
//     Text(id), the program's own string;
//   - a watchdog: a journey still running after ten minutes ends the process with a message.
//
// Typical journey:
//
//   TEST_F(JourneyTest, Something) {
//     ASSERT_TRUE(StartEmulators());                 // camera() and recorder() on free ports
//     RunProgram([&] {                               // runs once the main window is up
//       ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
//       OnModal<CDlgAddDev>([&](CDlgAddDev* dlg) {   // armed BEFORE the click that opens it
//         Type(Find<QLineEdit>(dlg, CDlgAddDev::IDC_NAME), "门口");
//         ClickId(dlg, CDlgAddDev::IDC_OK);          // the handler ends the dialog
//       });
//       ClickId(page, CDlgDevMgr::IDC_ADD_DEVICE);   // returns once the dialog ended
//       EXPECT_TRUE(WaitUntil([&] { return ...; }));
//       Shot(Main(), "devices");
//     });                                            // closed through the close button after
//     EXPECT_...(database or emulator log read back);
//   }
//
// RunProgram: CTarnwickApp::InitInstance with the main window modal for its whole life. The
// start-up login dialog is answered as the administrator (admin, the default password)
// unless StartOptions say otherwise; the journey runs from inside the main window's modal
// loop; when it returns (or fails an ASSERT) the program is closed through the close button
// and its confirmation when still running; then the exit routine runs. RunProgram can be
// called again for a second start in the same data folder.
//
// Waiting: every wait pumps the event loop and is bounded in real time (generous: a busy
// machine, ASan). OnModal<D>(act) waits for the next modal dialog of class D (a subclass
// counts) to come up, then calls act(dialog) from inside that dialog's modal loop; act must
// end the dialog (a click on its OK/Cancel, say); a dialog act leaves open is rejected and
// the journey fails. A dialog that never comes fails the journey.
//
// Screenshots: Shot(widget, name) writes <TARNWICK_SHOTS>/<name>.png when TARNWICK_SHOTS
// names a folder, nothing otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "harness/RoutedInput.h"
#include "harness/UiHarness.h"
#include "shell/Text.h"
#include "support/Emulators.h"
#include "support/TestFolder.h"

class CDlgLSettings;
class CDlgPreview;
class CDlgUserLogin;
class CPlaybackPageBase;
class QAbstractSlider;
class CPlayWnd;
class CScheduleCtrl;
class CTarnwickDlg;
class QComboBox;
class QDate;
class QTreeWidgetItem;

// How RunProgram starts the program.
struct JourneyStartOptions {
  bool english = false;        // the interface language chosen before the start
  bool loginAsAdmin = true;    // answer the start-up login dialog as the administrator
  double timeScale = 1.0;      // the product clock (0.2: product time-outs five times shorter)
};

class JourneyTest : public ::testing::Test {
 public:
  using StartOptions = JourneyStartOptions;

 protected:
  void SetUp() override;
  void TearDown() override;

  // ---- folders and emulators
  const std::string& Folder() const { return folder_.path(); }
  std::string Home() const;                       // the program's data folder
  std::string Drive(char letter) const;           // 'c', 'd' or 'e': a drive's root folder
  // Starts the camera and/or the recorder emulator. Their LAN search answerers listen on
  // ports of their own, which the scan of the add-device dialog probes besides the fixed
  // search ports (where emulators of other processes may answer: tell them by port).
  bool StartEmulators(bool camera = true, bool recorder = true);
  // The same, each emulator started with `args` besides (say {"--state-dir", folder}).
  bool StartEmulators(bool camera, bool recorder, const std::vector<std::string>& args);
  testsupport::EmulatorProcess& camera() { return *camera_; }
  testsupport::EmulatorProcess& recorder() { return *recorder_; }
  // Devices as a user added them in an earlier run (the first-start journey adds them through
  // the dialogs), written to Tarnwick.db before the start: region kRegion, the camera
  // kCameraName (127.0.0.1, one channel), the recorder kRecorderName ("localhost": one device
  // per address, four channels) and the group kGroupName holding the camera's channel and the
  // recorder's channels 1 and 2. Call after StartEmulators.
  void SeedDevices();
  // One more device in the seeded folder (after SeedDevices), under the region.
  void SeedDevice(const std::u16string& name, const std::u16string& host, uint16_t port, const char* user,
                  const char* password, int channels, int type, const std::u16string& guid);
  static constexpr const char16_t* kRegion = u"总部";
  static constexpr const char16_t* kCameraName = u"门口";
  static constexpr const char16_t* kRecorderName = u"录像机";
  static constexpr const char16_t* kGroupName = u"大门";
  // Their logins (the emulators' defaults).
  static constexpr const char* kCameraUser = "admin";
  static constexpr const char* kCameraPassword = "admin";
  static constexpr const char* kRecorderUser = "admin";
  static constexpr const char* kRecorderPassword = "12345";

  // ---- the program
  void RunProgram(const std::function<void()>& journey, StartOptions options = {});
  static CTarnwickDlg* Main();                    // the main window while it runs
  bool Running() const;
  // Clicks the close button and confirms; the program ends once the journey returns to the
  // main window's loop (so this is a journey's last step).
  void CloseProgram();
  // The local settings page with the recording disk of list entry `index` (0 c:, 1 d:, 2 e:)
  // ticked and the page saved; the page, for a look at it.
  CDlgLSettings* ChooseRecordingDisk(int index);

  // ---- widgets (by control id, the objectName)
  // The widget with the id under `parent`; a shown one first when several carry it. Fails
  // the journey (ADD_FAILURE) and returns null when there is none.
  template <typename W = QWidget>
  W* Find(QWidget* parent, int id) {
    QWidget* w = FindWidget(parent, id, [](QWidget* c) { return qobject_cast<W*>(c) != nullptr; });
    return static_cast<W*>(w);
  }
  // Input as a user gives it (harness/RoutedInput.h): to the shown top-level window, through
  // Qt's routing of focus, grabs, pop-ups and shortcuts; a click gives the focus as a user's
  // does. The widget names where the pointer is; a hidden or covered one fails the journey.
  void Click(QWidget* w);                         // a left click in its middle (shown and enabled)
  void ClickId(QWidget* parent, int id) { Click(Find(parent, id)); }
  void ClickAt(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
  void DoubleClick(QWidget* w, QPoint pos = QPoint(-1, -1));
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);  // to the active window
  void Wheel(QWidget* w, int steps, QPoint pos = QPoint(-1, -1));       // notches, + away
  void Drag(QWidget* from, QPoint pos, QWidget* to, QPoint at = QPoint(-1, -1));
  // The rectangle of the time bar's cell `index`, scrolled into sight with the bar's forward
  // button as a user does: a recording made late in the day lies past the bar's first page.
  // False when no scroll shows it.
  bool ShowCell(CScheduleCtrl* bar, int index, QRect* rect);
  // A click on a slider's thumb: the slider takes the focus, its value stays.
  void ClickThumb(QAbstractSlider* slider);
  // Clicks into a line edit or editable combo, selects all, deletes it and types the text.
  void Type(QWidget* edit, const QString& text);
  // Opens the list with a click and clicks the entry with the text.
  void Choose(QComboBox* combo, const QString& text);
  // The same, for a check list (the entry toggled), which is closed with Esc afterwards.
  void ClickListEntry(QComboBox* combo, const QString& text);
  // The first item (depth first) whose column-0 text equals `text` (or contains it when
  // `contains`); null when none.
  static QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text, bool contains = false);
  static QStringList ItemTexts(QTreeWidget* tree);  // every item's text, depth first
  // Channel `n` (from 1) of the device item named `device` in the tree; null when missing.
  static QTreeWidgetItem* ChannelItem(QTreeWidget* tree, const std::u16string& device, int n);
  void SelectItem(QTreeWidget* tree, QTreeWidgetItem* item);       // a click on the item
  void DoubleClickItem(QTreeWidget* tree, QTreeWidgetItem* item);  // a double click on it
  // Where a user points at an item: its branch opened and scrolled to, on its text.
  static QPoint ItemPoint(QTreeWidget* tree, QTreeWidgetItem* item);
  // A click on the item's check box (column 0), as the item draws it.
  void ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item);

  // ---- a user's steps on the pages (each returns what the user would look at next)
  // A click on the main window's page button `button` (CTarnwickDlg::IDC_Btn...): true once
  // `page` is on show.
  bool PressPageButton(int button, QWidget* page);
  // The playback button's menu entry `entry` (a text id) chosen: true once `page` is on show.
  bool ChoosePlayback(unsigned entry, QWidget* page);
  // The settings button, then the settings page's tab `tab`: true once `page` is on show.
  bool ShowSettingsPage(int tab, QWidget* page);
  // The login dialog answered: the user name typed when one is given, the password typed,
  // the login button clicked (a wrong password leaves the dialog up).
  void LogIn(CDlgUserLogin* dlg, const QString& password, const QString& user = QString());
  // The live page and its play window `window`.
  static CDlgPreview* LivePage();
  static CPlayWnd* LiveWindow(int window);
  // On the live page: a click on play window `window`, then a double click on channel `n` of
  // `device` in the device tree. False when the click left another window the active one or
  // the tree has no such channel.
  bool OpenChannel(int window, const std::u16string& device, int n = 1);
  bool OpenChannel(int window, const char* device, int n = 1) {  // the device's name in UTF-8
    return OpenChannel(window, QString(device).toStdU16String(), n);
  }
  // The same, and true once the window shows the channel's pictures (ShowsVideo).
  bool PlayChannel(int window, const std::u16string& device, int n = 1) {
    return OpenChannel(window, device, n) && ShowsVideo(LiveWindow(window));
  }
  // A side panel of the live page shown by a click on its tab; the panel, null when missing.
  template <typename P = QWidget>
  P* ShowPanel(int tab, int panel) {
    return Find<P>(ClickPanelTab(tab), panel);
  }
  // On a playback page: `day` on its calendar (set there when another day shows), the kind of
  // recording `kind` (a text id; 0 keeps the one chosen) in its list, Find clicked on the
  // channel chosen in its tree. True once the last thing said since is that the search ended.
  bool SearchDay(CPlaybackPageBase* page, const QDate& day, unsigned kind = 0);
  // A click on cell `index` of the time bar, scrolled into sight first; false when no scroll
  // shows it.
  bool ClickCell(CScheduleCtrl* bar, int index);

  // ---- modal dialogs
  template <typename D>
  void OnModal(std::function<void(D*)> act) {
    ArmModal(typeid(D).name(), [](QWidget* w) { return dynamic_cast<D*>(w) != nullptr; },
             [act](QWidget* w) { act(dynamic_cast<D*>(w)); });
  }
  // The same for a dialog known by its objectName (a template id).
  void OnModalId(int id, std::function<void(QWidget*)> act);
  // The next pop-up menu that opens: the entry with the text is chosen (as with the keyboard).
  // Armed before the click that opens a menu which runs modally (a button's menu).
  void OnMenu(const QString& entry);
  // A right click at `pos` of `w` (the tree's item when `item` is given, the empty space
  // below the items otherwise), then the entry chosen in the menu that opens; returns once
  // the entry ran (a dialog it opens is met by an OnModal armed before). Fails the journey
  // when no menu or no such entry comes.
  void ContextMenu(QWidget* w, QPoint pos, const QString& entry);
  void ContextMenu(QTreeWidget* tree, QTreeWidgetItem* item, const QString& entry);

  // ---- waiting (pumps events; real time; bounded)
  bool WaitUntil(const std::function<bool()>& done, int realMs = kPatienceMs);
  void PumpFor(int realMs);                       // lets the program run that long
  static constexpr int kPatienceMs = 60000;

  // ---- the UI service, texts, screenshots
  harness::ScriptedUi& Ui() { return **ui_; }
  bool SaidBox(unsigned id) const;                // a message box with the string's text was shown
  bool SaidNotice(unsigned id) const;             // a notice with the string's text was shown
  bool AwaitSaidNotice(unsigned id) { return WaitUntil([&] { return SaidNotice(id); }); }
  // The notices since the `from`-th (Ui().notices.size() taken before the step) that begin
  // with the string `id`: what follows it in each.
  std::vector<QString> NoticesAfter(size_t from, unsigned id) const;
  // Waits for a notice of `id` said since `from`: what follows it (empty when none came).
  QString AwaitNotice(size_t from, unsigned id);
  // Waits until a notice more than `from` was said: the newest then, empty when none came.
  std::u16string AwaitNewNotice(size_t from, int realMs = kPatienceMs);
  std::string Said() const;                       // every box and notice so far, for messages
  // Video in a play window (a CPlayWnd): the frame number the last shown picture carries
  // (the emulators' test patterns number their frames), -1 for none or no pattern; and
  // whether pictures keep coming with numbers (three more within the patience).
  static int ShownFrame(CPlayWnd* playWindow);
  bool ShowsVideo(CPlayWnd* playWindow);
  QString Shot(QWidget* w, const QString& name);  // the path written, or empty

  // Each click waits until the device work it asked for is done, as a user reads the screen
  // once the answers are in; a journey about a device that hangs turns this off.
  bool settleAfterInput_ = true;

 private:
  QWidget* FindWidget(QWidget* parent, int id, const std::function<bool(QWidget*)>& kind);
  void AfterInput();
  QWidget* ClickPanelTab(int tab);  // the live page, once its side panel's tab was clicked
  void ArmModal(const std::string& what, std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act);
  void AnswerLogin();
  void ArmMenu(const QString& entry, std::shared_ptr<bool> chosen);
  void PickFromList(QComboBox* combo, int row);

  testsupport::TestFolder folder_;
  std::unique_ptr<harness::ScopedScriptedUi> ui_;
  std::unique_ptr<testsupport::EmulatorProcess> camera_, recorder_;
  std::string oldRuntimeDir_;
  bool closing_ = false;
};
