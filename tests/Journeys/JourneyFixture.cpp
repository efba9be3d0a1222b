#include "JourneyFixture.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "Farlook.h"
#include "clipgen/clipgen.h"
#include "controls/SliderControlEx.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/surface.h"
#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgSetttings.h"
#include "shell/DlgUserLogin.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/TarnwickApp.h"
#include "shell/TarnwickDlg.h"
#include "shell/UserStore.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"
#include "view/PlaybackPage.h"
#include "view/ScheduleCtrl.h"
#include "support/ShownFrame.h"

namespace fs = std::filesystem;
namespace routed = harness::routed;

namespace {

// A journey that hangs (a dialog nobody answers, a wait that never ends in the program)
// ends the process with a message rather than leave ctest waiting.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::minutes limit) {
    thread_ = std::thread([this, limit] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
        std::fprintf(stderr, "journey still running after %d minutes: ended\n", static_cast<int>(limit.count()));
        std::fflush(stderr);
        std::abort();
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

std::unique_ptr<Watchdog> g_watchdog;

// Dialogs an armed handler is acting on now: another handler leaves them alone.
std::set<QWidget*> g_claimed;

}  // namespace

void JourneyTest::SetUp() {
  g_watchdog = std::make_unique<Watchdog>(std::chrono::minutes(15));
  fs::create_directories(Home());
  for (char d : {'c', 'd', 'e'}) fs::create_directories(Drive(d));
  fs::create_directories(fs::path(Folder()) / "run");
  fs::permissions(fs::path(Folder()) / "run", fs::perms::owner_all, fs::perm_options::replace);
  setenv("TARNWICK_HOME", Home().c_str(), 1);
  const std::string drives = Drive('c') + ":" + Drive('d') + ":" + Drive('e');
  setenv("TARNWICK_DRIVES", drives.c_str(), 1);
  // The program allows one running instance per session; each journey is a session of its own.
  if (const char* old = std::getenv("XDG_RUNTIME_DIR")) oldRuntimeDir_ = old;
  setenv("XDG_RUNTIME_DIR", (fs::path(Folder()) / "run").c_str(), 1);
  setenv("TARNWICK_AUDIO", "null", 1);
  plat::resetDriveMap();
  ui_ = std::make_unique<harness::ScopedScriptedUi>();
}

void JourneyTest::TearDown() {
  ui_.reset();
  camera_.reset();
  recorder_.reset();
  harness::ResetServices();
  plat::setTimeScale(1.0);
  unsetenv(FARLOOK_TARGETS_VARIABLE);
  unsetenv("TARNWICK_HOME");
  unsetenv("TARNWICK_DRIVES");
  if (oldRuntimeDir_.empty()) unsetenv("XDG_RUNTIME_DIR");
  else setenv("XDG_RUNTIME_DIR", oldRuntimeDir_.c_str(), 1);
  plat::resetDriveMap();
  g_watchdog.reset();
}

std::string JourneyTest::Home() const { return (fs::path(Folder()) / "home").string(); }

std::string JourneyTest::Drive(char letter) const { return (fs::path(Folder()) / std::string(1, letter)).string(); }

bool JourneyTest::StartEmulators(bool withCamera, bool withRecorder) {
  return StartEmulators(withCamera, withRecorder, {});
}

bool JourneyTest::StartEmulators(bool withCamera, bool withRecorder, const std::vector<std::string>& args) {
  std::vector<const testsupport::EmulatorProcess*> started;
  if (withCamera) {
    camera_ = std::make_unique<testsupport::EmulatorProcess>(testsupport::EmulatorProcess::kCamera, Folder(), args);
    if (!camera_->Start()) return false;
    started.push_back(camera_.get());
  }
  if (withRecorder) {
    recorder_ = std::make_unique<testsupport::EmulatorProcess>(testsupport::EmulatorProcess::kRecorder, Folder(), args);
    if (!recorder_->Start()) return false;
    started.push_back(recorder_.get());
  }
  setenv(FARLOOK_TARGETS_VARIABLE, testsupport::SearchTargets(started).c_str(), 1);
  return true;
}

void JourneyTest::SeedDevice(const std::u16string& name, const std::u16string& host, uint16_t port, const char* user,
                             const char* password, int channels, int type, const std::u16string& guid) {
  CppSQLite3DB db;
  ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
  if (!db.TableExists(u"Tb_Device")) db.Execute(CDeviceManager::kCreateTable);
  auto text = [](const std::string& v) { return plat::utf8ToUtf16(v); };
  db.Execute(u"insert into Tb_Device (Name, IP, Port, UserName, Pwd, ChnNum, MultiIP, Dns, SN, Manfacture, "
             u"ManufactureID, AddrType, DevType, Guid, RegionGuid) "
             u"values(?, ?, ?, ?, ?, ?, '', '', '', '', 0, 0, ?, ?, 'J-REGION');",
             {name, host, text(std::to_string(port)), text(user), text(password), text(std::to_string(channels)),
              text(std::to_string(type)), guid});
  CloseDatabase(db);
}

void JourneyTest::SeedDevices() {
  ASSERT_TRUE(camera_ && recorder_) << "the emulators first";
  CppSQLite3DB db;
  ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
  if (!db.TableExists(u"Tb_Device")) db.Execute(CDeviceManager::kCreateTable);
  db.Execute(u"CREATE TABLE IF NOT EXISTS [Tb_Region](Name varchar NOT NULL, Guid varchar NOT NULL, "
             u"ParentGuid varchar NOT NULL);");
  db.Execute(u"CREATE TABLE IF NOT EXISTS [Tb_Group] (Name varchar NOT NULL,Guid varchar NOT NULL,DevGuid "
             u"varchar,Chn varchar);");
  db.Execute(u"insert into Tb_Region values(?, 'J-REGION', '');", {std::u16string(kRegion)});
  auto text = [](const auto& v) { return plat::utf8ToUtf16(std::string(v)); };
  SeedDevice(kCameraName, u"127.0.0.1", camera_->Port(), kCameraUser, kCameraPassword, 1, 2, u"J-CAMERA");
  SeedDevice(kRecorderName, u"localhost", recorder_->Port(), kRecorderUser, kRecorderPassword, 4, 1, u"J-RECORDER");
  const std::u16string group = u"insert into Tb_Group values(?, 'J-GROUP', ?, ?);";
  db.Execute(group, {std::u16string(kGroupName), u"", u"0"});
  db.Execute(group, {CDevMgrModel::MemberName(kRegion, kCameraName, 1), u"J-CAMERA", u"1"});
  for (int c = 1; c <= 2; ++c)
    db.Execute(group, {CDevMgrModel::MemberName(kRegion, kRecorderName, c), u"J-RECORDER",
                       text(std::to_string(c))});
  CloseDatabase(db);
}

// ---- the program

CTarnwickDlg* JourneyTest::Main() { return CTarnwickDlg::MainWindow(); }

bool JourneyTest::Running() const { return Main() != nullptr; }

void JourneyTest::RunProgram(const std::function<void()>& journey, StartOptions options) {
  plat::setTimeScale(options.timeScale);
  // The settings as the program's start reads them: from the file, in the chosen language.
  harness::ResetServices();
  CLocalSettings* settings = CLocalSettings::GetInstance();
  if (settings->GetLangID() != (options.english ? 1 : 0)) {
    settings->SetLangID(options.english ? 1 : 0);
    settings->Save();
  }
  if (options.loginAsAdmin) AnswerLogin();

  bool ran = false;
  closing_ = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  QTimer starter;
  starter.setInterval(20);
  QObject::connect(&starter, &QTimer::timeout, [&] {
    CTarnwickDlg* main = Main();
    if (ran) return;
    if (main && main->isVisible() && QApplication::activeModalWidget() == main) {
      ran = true;
      starter.stop();
      journey();
      if (Running() && !closing_) CloseProgram();
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ran = true;
      starter.stop();
      ADD_FAILURE() << "the main window never came up";
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    }
  });
  starter.start();
  {
    CTarnwickApp app;
    app.InitInstance();
    app.ExitInstance();
  }
  starter.stop();
  harness::Pump();
  EXPECT_TRUE(ran) << "the program ended before its main window came up";
  // A next start reads the settings file again, as a new process would.
  harness::ResetServices();
}

void JourneyTest::AnswerLogin() {
  OnModal<CDlgUserLogin>([this](CDlgUserLogin* dlg) {
    LogIn(dlg, QString::fromStdU16String(ADMIN_PASSWORD), QString::fromStdU16String(ADMIN_NAME));
  });
}

void JourneyTest::CloseProgram() {
  CTarnwickDlg* main = Main();
  ASSERT_NE(main, nullptr) << "the program is not running";
  const size_t boxes = Ui().boxes.size();
  Ui().boxAnswers.push_front(IDOK);
  ClickId(main, CTarnwickDlg::IDC_BntClose);
  closing_ = true;
  ASSERT_EQ(Ui().boxes.size(), boxes + 1) << "the close button asks first";
  EXPECT_EQ(Ui().boxes.back().text, LoadResString(8524));
  // The main window ends once the journey hands control back to its loop.
}

// ---- widgets

CDlgLSettings* JourneyTest::ChooseRecordingDisk(int index) {
  ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
  CDlgSetttings* settings = Main()->GetSettingsDlg();
  ClickId(settings, CDlgSetttings::IDC_LOCAL);
  CDlgLSettings* local = settings->LocalSettingsPage();
  EXPECT_TRUE(WaitUntil([&] { return local->isVisible(); }));
  auto* disks = Find<QComboBox>(local, CDlgLSettings::IDC_DISKS);
  if (!disks || disks->count() <= index) {
    ADD_FAILURE() << "no disk " << index << " in the local settings: the journey has three drives";
    return local;
  }
  ClickListEntry(disks, disks->itemText(index));
  ClickId(local, CDlgLSettings::IDC_SAVE);
  return local;
}

QWidget* JourneyTest::FindWidget(QWidget* parent, int id, const std::function<bool(QWidget*)>& kind) {
  if (!parent) {
    ADD_FAILURE() << "no parent to look for control " << id << " in";
    return nullptr;
  }
  QWidget* found = nullptr;
  const QString name = QString::number(id);
  for (QWidget* w : parent->findChildren<QWidget*>(name)) {
    if (!kind(w)) continue;
    if (w->isVisible()) return w;
    if (!found) found = w;
  }
  if (!found) ADD_FAILURE() << "no control " << id << " of the wanted kind in " << parent->objectName().toStdString();
  return found;
}

void JourneyTest::Click(QWidget* w) {
  if (!w) {
    ADD_FAILURE() << "click on a missing control";
    return;
  }
  EXPECT_TRUE(w->isVisible() && w->isEnabled()) << "click on control " << w->objectName().toStdString()
                                                << " that a user cannot click";
  routed::Click(w);
  AfterInput();
}

void JourneyTest::ClickThumb(QAbstractSlider* slider) {
  auto* plain = qobject_cast<QSlider*>(slider);
  if (!plain) {
    ADD_FAILURE() << "no slider to click";
    return;
  }
  QRect thumb;
  if (auto* skinned = qobject_cast<CSliderControlEx*>(plain)) {
    thumb = skinned->ThumbRect();
  } else {
    QStyleOptionSlider opt;
    opt.initFrom(plain);
    opt.orientation = plain->orientation();
    opt.minimum = plain->minimum();
    opt.maximum = plain->maximum();
    opt.sliderPosition = plain->sliderPosition();
    opt.sliderValue = plain->value();
    opt.singleStep = plain->singleStep();
    opt.pageStep = plain->pageStep();
    opt.tickPosition = plain->tickPosition();
    opt.tickInterval = plain->tickInterval();
    opt.upsideDown = plain->invertedAppearance() != (plain->orientation() == Qt::Horizontal &&
                                                     plain->layoutDirection() == Qt::RightToLeft);
    thumb = plain->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, plain);
  }
  const int before = plain->value();
  routed::Click(plain, thumb.center());
  EXPECT_EQ(plain->value(), before) << "a click on the thumb of slider " << plain->objectName().toStdString();
}

void JourneyTest::ClickAt(QWidget* w, QPoint pos, Qt::MouseButton button) {
  routed::Click(w, pos, button);
  AfterInput();
}

bool JourneyTest::ShowCell(CScheduleCtrl* bar, int index, QRect* rect) {
  for (int step = 0; step <= bar->GetStepCount(); ++step) {
    if (bar->GetCellRect(bar->Cell(index), *rect)) return true;
    Click(bar->Button(CScheduleCtrl::kScrollForward));
  }
  return false;
}

void JourneyTest::DoubleClick(QWidget* w, QPoint pos) {
  routed::DoubleClick(w, pos);
  AfterInput();
}

void JourneyTest::Key(int key, Qt::KeyboardModifiers modifiers) {
  routed::Key(key, modifiers);
  AfterInput();
}

void JourneyTest::Wheel(QWidget* w, int steps, QPoint pos) {
  routed::Wheel(w, steps, pos);
  AfterInput();
}

void JourneyTest::Drag(QWidget* from, QPoint pos, QWidget* to, QPoint at) {
  routed::Drag(from, pos, to, at);
  AfterInput();
}

void JourneyTest::AfterInput() {
  // What a user's input asked of the devices runs on their queues; the user reads the screen
  // once the answers are in (or their time ran out). A journey about waiting turns this off.
  if (settleAfterInput_) {
    EXPECT_TRUE(harness::SettleDeviceWork(kPatienceMs)) << "device work did not settle";
  }
}

void JourneyTest::Type(QWidget* w, const QString& text) {
  QLineEdit* edit = qobject_cast<QLineEdit*>(w);
  if (auto* combo = qobject_cast<QComboBox*>(w)) edit = combo->lineEdit();
  if (!edit) {
    ADD_FAILURE() << "typing into control " << (w ? w->objectName().toStdString() : "(none)") << " that takes no text";
    return;
  }
  EXPECT_TRUE(edit->isVisible() && edit->isEnabled() && !edit->isReadOnly())
      << "typing into control " << w->objectName().toStdString() << " that a user cannot type into";
  // Into the field, everything in it chosen and deleted, then the text key by key.
  routed::Click(edit);
  routed::Key(Qt::Key_A, Qt::ControlModifier);
  routed::Key(Qt::Key_Delete);
  routed::Type(text);
  EXPECT_EQ(edit->text(), text) << "typed into control " << w->objectName().toStdString();
}

namespace {
// The row of `text` in a list a user can use, or -1 (the failure said) when there is none.
int UsableEntry(QComboBox* combo, const QString& text, const char* what) {
  if (!combo) {
    ADD_FAILURE() << what << " in a missing list";
    return -1;
  }
  EXPECT_TRUE(combo->isVisible() && combo->isEnabled())
      << what << " in list " << combo->objectName().toStdString() << " that a user cannot use";
  const int i = combo->findText(text);
  if (i < 0)
    ADD_FAILURE() << "no entry " << text.toStdString() << " in list " << combo->objectName().toStdString();
  return i;
}
}  // namespace

void JourneyTest::Choose(QComboBox* combo, const QString& text) {
  const int i = UsableEntry(combo, text, "choice");
  if (i < 0) return;
  PickFromList(combo, i);
  EXPECT_EQ(combo->currentIndex(), i) << "chose " << text.toStdString() << " in list "
                                      << combo->objectName().toStdString();
}

void JourneyTest::ClickListEntry(QComboBox* combo, const QString& text) {
  const int i = UsableEntry(combo, text, "click");
  if (i < 0) return;
  PickFromList(combo, i);
  // A check list stays open for more ticks; a click beside it closes it.
  if (QApplication::activePopupWidget()) routed::Key(Qt::Key_Escape);
}

void JourneyTest::PickFromList(QComboBox* combo, int row) {
  // The list opens under a click on the box; the user looks before clicking the entry.
  routed::Click(combo);
  if (!WaitUntil([&] { return combo->view()->isVisible(); }, 5000)) {
    ADD_FAILURE() << "list " << combo->objectName().toStdString() << " did not open";
    return;
  }
  PumpFor(QApplication::doubleClickInterval() + 50);
  QAbstractItemView* view = combo->view();
  const QModelIndex index = combo->model()->index(row, combo->modelColumn());
  view->scrollTo(index);
  routed::Click(view->viewport(), view->visualRect(index).center());
}

QTreeWidgetItem* JourneyTest::FindItem(QTreeWidget* tree, const QString& text, bool contains) {
  if (!tree) return nullptr;
  std::function<QTreeWidgetItem*(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* i) -> QTreeWidgetItem* {
    if (contains ? i->text(0).contains(text) : i->text(0) == text) return i;
    for (int c = 0; c < i->childCount(); ++c)
      if (QTreeWidgetItem* f = walk(i->child(c))) return f;
    return nullptr;
  };
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    if (QTreeWidgetItem* f = walk(tree->topLevelItem(i))) return f;
  return nullptr;
}

QStringList JourneyTest::ItemTexts(QTreeWidget* tree) {
  QStringList out;
  if (!tree) return out;
  std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* i) {
    out << i->text(0);
    for (int c = 0; c < i->childCount(); ++c) walk(i->child(c));
  };
  for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i));
  return out;
}

QTreeWidgetItem* JourneyTest::ChannelItem(QTreeWidget* tree, const std::u16string& device, int n) {
  QTreeWidgetItem* item = FindItem(tree, QString::fromStdU16String(device));
  return item && n >= 1 && n <= item->childCount() ? item->child(n - 1) : nullptr;
}

void JourneyTest::SelectItem(QTreeWidget* tree, QTreeWidgetItem* item) {
  if (!tree || !item) {
    ADD_FAILURE() << "selection of a missing tree item";
    return;
  }
  routed::Click(tree->viewport(), ItemPoint(tree, item));
  EXPECT_EQ(tree->currentItem(), item) << "clicked " << item->text(0).toStdString();
}

void JourneyTest::DoubleClickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
  if (!tree || !item) {
    ADD_FAILURE() << "double click on a missing tree item";
    return;
  }
  routed::DoubleClick(tree->viewport(), ItemPoint(tree, item));
}

QPoint JourneyTest::ItemPoint(QTreeWidget* tree, QTreeWidgetItem* item) {
  // The user opens the branches above the item and scrolls to it, then points at its text.
  for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
  tree->scrollToItem(item);
  const QRect r = tree->visualItemRect(item);
  return QPoint(r.left() + std::min(r.width() / 2, 40), r.center().y());
}

void JourneyTest::ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item) {
  if (!tree || !item) {
    ADD_FAILURE() << "check box of a missing tree item";
    return;
  }
  ItemPoint(tree, item);  // in sight
  QStyleOptionViewItem option;
  option.initFrom(tree);
  option.rect = tree->visualItemRect(item);
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  if (!item->icon(0).isNull()) option.features |= QStyleOptionViewItem::HasDecoration;
  option.icon = item->icon(0);
  option.decorationSize = tree->iconSize();
  option.text = item->text(0);
  option.checkState = item->checkState(0);
  const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
  routed::Click(tree->viewport(), box.center());
}

// ---- a user's steps on the pages

bool JourneyTest::PressPageButton(int button, QWidget* page) {
  ClickId(Main(), button);
  return WaitUntil([&] { return page->isVisible(); });
}

bool JourneyTest::ChoosePlayback(unsigned entry, QWidget* page) {
  OnMenu(Text(entry));
  return PressPageButton(CTarnwickDlg::IDC_BtnPlayback, page);
}

bool JourneyTest::ShowSettingsPage(int tab, QWidget* page) {
  ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
  ClickId(Main()->GetSettingsDlg(), tab);
  return WaitUntil([&] { return page->isVisible(); });
}

void JourneyTest::LogIn(CDlgUserLogin* dlg, const QString& password, const QString& user) {
  if (!user.isNull()) Type(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER), user);
  Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), password);
  ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
}

CDlgPreview* JourneyTest::LivePage() { return Main()->GetPreviewDlg(); }

CPlayWnd* JourneyTest::LiveWindow(int window) { return LivePage()->GetPlayScreen()->GetWnd(window); }

bool JourneyTest::OpenChannel(int window, const std::u16string& device, int n) {
  Click(LiveWindow(window));
  if (LivePage()->GetPlayScreen()->GetActiveIndex() != window) return false;
  QTreeWidget* tree = LivePage()->GetDeviceTree();
  QTreeWidgetItem* channel = ChannelItem(tree, device, n);
  if (!channel) return false;
  DoubleClickItem(tree, channel);
  return true;
}

QWidget* JourneyTest::ClickPanelTab(int tab) {
  ClickId(LivePage(), tab);
  return LivePage();
}

bool JourneyTest::SearchDay(CPlaybackPageBase* page, const QDate& day, unsigned kind) {
  if (page->GetCalendar()->selectedDate() != day) page->GetCalendar()->setSelectedDate(day);
  if (kind) Choose(page->GetTypeCombo(), Text(kind));
  constexpr unsigned kSearchEnded = 8534;
  const size_t from = Ui().notices.size();
  ClickId(page, CPlaybackPageBase::IDC_FIND);
  return WaitUntil([&] {
    return Ui().notices.size() > from && Ui().notices.back() == Text(kSearchEnded).toStdU16String();
  });
}

bool JourneyTest::ClickCell(CScheduleCtrl* bar, int index) {
  QRect cell;
  if (!ShowCell(bar, index, &cell)) return false;
  ClickAt(bar, cell.center());
  return true;
}

// ---- modal dialogs and menus

void JourneyTest::ArmModal(const std::string& what, std::function<bool(QWidget*)> match,
                           std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  QObject::connect(timer, &QTimer::timeout, [=, this] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && w->isVisible() && !g_claimed.count(w) && match(w)) {
      timer->stop();
      timer->deleteLater();
      g_claimed.insert(w);
      QPointer<QWidget> dialog(w);
      act(w);
      harness::Pump();
      g_claimed.erase(w);
      if (dialog && dialog->isVisible()) {
        ADD_FAILURE() << "the journey left the " << what << " dialog open; the program said: " << Said();
        if (auto* d = qobject_cast<QDialog*>(dialog.data())) d->reject();
        else dialog->close();
      }
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no " << what << " dialog came up";
    }
  });
  timer->start();
}

void JourneyTest::OnModalId(int id, std::function<void(QWidget*)> act) {
  const QString name = QString::number(id);
  ArmModal("#" + std::to_string(id), [name](QWidget* w) { return w->objectName() == name; }, std::move(act));
}

void JourneyTest::OnMenu(const QString& entry) { ArmMenu(entry, nullptr); }

void JourneyTest::ContextMenu(QWidget* w, QPoint pos, const QString& entry) {
  if (!w) {
    ADD_FAILURE() << "menu of a missing control";
    return;
  }
  auto chosen = std::make_shared<bool>(false);
  ArmMenu(entry, chosen);
  routed::Click(w, pos, Qt::RightButton);
  WaitUntil([&] { return *chosen; });
  AfterInput();
}

void JourneyTest::ContextMenu(QTreeWidget* tree, QTreeWidgetItem* item, const QString& entry) {
  if (!tree) {
    ADD_FAILURE() << "menu of a missing tree";
    return;
  }
  const QPoint pos = item ? ItemPoint(tree, item) : QPoint(4, tree->viewport()->height() - 4);
  ContextMenu(tree->viewport(), pos, entry);
}

void JourneyTest::ArmMenu(const QString& entry, std::shared_ptr<bool> chosen) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu && menu->isVisible()) {
      timer->stop();
      timer->deleteLater();
      QStringList entries;
      for (QAction* a : menu->actions()) {
        entries << a->text();
        if (a->text() == entry && a->isEnabled()) {
          if (chosen) *chosen = true;
          // Down the menu with the arrow key to the entry, then Return.
          for (int i = 0; i <= menu->actions().size() && menu->activeAction() != a; ++i) routed::Key(Qt::Key_Down);
          EXPECT_EQ(menu->activeAction(), a) << "the arrow keys never reach " << entry.toStdString();
          routed::Key(Qt::Key_Return);
          return;
        }
      }
      if (chosen) *chosen = true;
      ADD_FAILURE() << "no entry " << entry.toStdString() << " in the menu: " << entries.join(", ").toStdString();
      routed::Key(Qt::Key_Escape);
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      timer->stop();
      timer->deleteLater();
      if (chosen) *chosen = true;
      ADD_FAILURE() << "no menu came up for " << entry.toStdString();
    }
  });
  timer->start();
}

// ---- waiting

bool JourneyTest::WaitUntil(const std::function<bool()>& done, int realMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void JourneyTest::PumpFor(int realMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  while (std::chrono::steady_clock::now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// ---- texts and screenshots

std::string JourneyTest::Said() const {
  QStringList out;
  for (const auto& b : (**ui_).boxes) out << "[box] " + QString::fromStdU16String(b.text);
  for (const auto& n : (**ui_).notices) out << "[notice] " + QString::fromStdU16String(n);
  return out.join("; ").toStdString();
}

int JourneyTest::ShownFrame(CPlayWnd* w) {
  return w ? testsupport::ShownFrameNumber(w->GetSafeHwnd()) : -1;
}

bool JourneyTest::ShowsVideo(CPlayWnd* w) {
  if (!w) return false;
  plat::PresentedPicture pic;
  const uint64_t since = plat::lastPresented(w->GetSafeHwnd(), &pic) ? pic.serial : 0;
  return WaitUntil([&] {
    plat::PresentedPicture now;
    return plat::lastPresented(w->GetSafeHwnd(), &now) && now.serial >= since + 3 && ShownFrame(w) >= 0;
  });
}

bool JourneyTest::SaidBox(unsigned id) const {
  const std::u16string text = LoadResString(id);
  for (const auto& b : (**ui_).boxes)
    if (b.text == text) return true;
  return false;
}

std::vector<QString> JourneyTest::NoticesAfter(size_t from, unsigned id) const {
  std::vector<QString> out;
  const QString head = Text(id);
  for (size_t i = from; i < (**ui_).notices.size(); ++i) {
    const QString n = QString::fromStdU16String((**ui_).notices[i]);
    if (n.startsWith(head)) out.push_back(n.mid(head.size()));
  }
  return out;
}

QString JourneyTest::AwaitNotice(size_t from, unsigned id) {
  QString tail;
  WaitUntil([&] {
    const std::vector<QString> said = NoticesAfter(from, id);
    if (said.empty()) return false;
    tail = said.front();
    return true;
  });
  return tail;
}

std::u16string JourneyTest::AwaitNewNotice(size_t from, int realMs) {
  if (!WaitUntil([&] { return Ui().notices.size() > from; }, realMs)) return std::u16string();
  return Ui().notices.back();
}

bool JourneyTest::SaidNotice(unsigned id) const {
  const std::u16string text = LoadResString(id);
  for (const auto& n : (**ui_).notices)
    if (n == text) return true;
  return false;
}

QString JourneyTest::Shot(QWidget* w, const QString& name) {
  const QString dir = qEnvironmentVariable("TARNWICK_SHOTS");
  if (dir.isEmpty() || !w) return QString();
  QDir().mkpath(dir);
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  return harness::Grab(w).save(path, "PNG") ? path : QString();
}
