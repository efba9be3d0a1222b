#include "DlgMain.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>

#include "SessionQueue.h"
#include "plat/controlid.h"
#include "plat/qtwindow.h"

namespace pellmore {

namespace {
std::mutex g_hookMutex;
std::function<void(CDlgMain&)> g_hook;
constexpr int kBitRole = Qt::UserRole;
}  // namespace

// After the network record is written the user reads warning 4192 before anything else is
// written: the queue waits here until the warning is closed, or the window is gone.
class SaveGate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

void SetWindowHook(std::function<void(CDlgMain&)> hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(hook);
}

std::function<void(CDlgMain&)> WindowHook() {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  return g_hook;
}

CDlgMain::CDlgMain(DeviceSession* session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      engine_(session ? session->loginHandle : -1),
      mailbox_(std::make_shared<UiMailbox>(this)),
      closed_(std::make_shared<std::atomic<bool>>(false)) {
  plat::Named(this, kTemplateId);
  handle_ = plat::registerQtWindow(
      this, [this](uint32_t m, uintptr_t w, intptr_t l) { return WindowProc(m, w, l); });
  resize(780, 540);

  tree_ = new QTreeWidget(this);
  plat::Named(tree_, IDC_PAGE_TREE);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setFixedWidth(190);
  title_ = new QLabel(this);
  plat::Named(title_, IDC_PAGE_TITLE);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  frame_ = new QGroupBox(this);
  plat::Named(frame_, IDC_FRAME);
  auto* frameLayout = new QVBoxLayout(frame_);
  frameLayout->setContentsMargins(3, 9, 3, 3);
  // What the frame shows until the records have arrived.
  loading_ = new QWidget(frame_);
  loading_->setObjectName(QStringLiteral("loading"));
  auto* loadingLayout = new QVBoxLayout(loading_);
  auto* loadingText = new QLabel(LoadLangString(4216), loading_);
  loadingText->setAlignment(Qt::AlignCenter);
  auto* loadingBar = new QProgressBar(loading_);
  loadingBar->setRange(0, 0);
  loadingBar->setTextVisible(false);
  loadingBar->setFixedWidth(240);
  loadingLayout->addStretch(1);
  loadingLayout->addWidget(loadingText);
  loadingLayout->addWidget(loadingBar, 0, Qt::AlignHCenter);
  loadingLayout->addStretch(2);
  frameLayout->addWidget(loading_);
  save_ = new QPushButton(LoadLangString(4024), this);
  plat::Named(save_, IDC_SAVE);
  save_->setDefault(true);
  save_->setEnabled(false);
  auto* close = new QPushButton(LoadLangString(4025), this);
  plat::Named(close, IDC_CLOSE);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));

  auto* right = new QVBoxLayout;
  right->addWidget(title_);
  right->addWidget(frame_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(save_);
  buttons->addWidget(close);
  right->addLayout(buttons);
  auto* top = new QHBoxLayout(this);
  top->addWidget(tree_);
  top->addLayout(right, 1);

  // The tree: groups at the root, their items under them, every group expanded.
  const QIcon groupIcon = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon itemIcon = style()->standardIcon(QStyle::SP_FileIcon);
  QTreeWidgetItem* group = nullptr;
  uint32_t groupId = 0;
  for (const PageEntry& e : PageTable()) {
    if (!group || e.groupTextId != groupId) {
      group = new QTreeWidgetItem(tree_, QStringList(LoadLangString(e.groupTextId)));
      group->setIcon(0, groupIcon);
      group->setData(0, kBitRole, 0u);
      groupId = e.groupTextId;
    }
    auto* item = new QTreeWidgetItem(group, QStringList(LoadLangString(e.textId)));
    item->setIcon(0, itemIcon);
    item->setData(0, kBitRole, e.bit);
  }
  tree_->expandAll();
  setWindowTitle(LoadLangString(4036));

  connect(save_, &QPushButton::clicked, this, [this] { OnSave(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { OnTreeSelChanged(item); });

  context_.videoByte = session_ ? session_->VideoByte() : 0;
  context_.exchange = [this](std::function<void(int32_t)> exchange) {
    if (session_) session_->Exchange(std::move(exchange));
  };
  context_.window = handle_;

  SelectItem(tree_->topLevelItem(0));

  if (!session_ || !session_->queue) {
    OnLoaded(std::make_unique<ConfigRecords>());  // no device: nothing to read
    return;
  }
  session_->Exchange([this, mailbox = mailbox_, closed = closed_](int32_t login) {
    auto records = std::make_shared<std::unique_ptr<ConfigRecords>>(
        ConfigEngine::ReadAll(login, closed.get()));
    mailbox->Post([this, records] { OnLoaded(std::move(*records)); });
  });
}

CDlgMain::~CDlgMain() {
  plat::unregisterWindow(handle_);
  mailbox_->Close();
  *closed_ = true;
  if (gate_) gate_->Open();  // a Save in progress writes the rest without its warning
  for (const auto& [entry, page] : PagesBy(&PageEntry::destroyOrder)) {
    std::lock_guard<std::recursive_mutex> lock(ConfigLock());
    delete page;
    pages_.erase(entry->bit);
  }
  onShow_ = nullptr;
}

std::vector<std::pair<const PageEntry*, ConfigPage*>> CDlgMain::PagesBy(int PageEntry::*order) {
  std::vector<const PageEntry*> entries;
  for (const PageEntry& e : PageTable()) entries.push_back(&e);
  std::sort(entries.begin(), entries.end(),
            [order](const PageEntry* a, const PageEntry* b) { return a->*order < b->*order; });
  std::vector<std::pair<const PageEntry*, ConfigPage*>> pages;
  std::lock_guard<std::recursive_mutex> lock(ConfigLock());
  for (const PageEntry* e : entries) {
    auto it = pages_.find(e->bit);
    if (it != pages_.end()) pages.emplace_back(e, it->second);
  }
  return pages;
}

void CDlgMain::OnLoaded(std::unique_ptr<ConfigRecords> records) {
  engine_.SetRecords(std::move(records));
  context_.records = &engine_.Records();
  loaded_ = true;
  loading_->hide();
  save_->setEnabled(true);
  if (wanted_) ShowPage(wanted_);
}

QTreeWidgetItem* CDlgMain::ItemFor(uint32_t bit) const {
  for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = tree_->topLevelItem(g);
    for (int i = 0; i < group->childCount(); ++i)
      if (group->child(i)->data(0, kBitRole).toUInt() == bit) return group->child(i);
  }
  return nullptr;
}

void CDlgMain::SelectItem(QTreeWidgetItem* item) {
  if (!item) return;
  if (tree_->currentItem() == item)
    OnTreeSelChanged(item);
  else
    tree_->setCurrentItem(item);
}

void CDlgMain::OnTreeSelChanged(QTreeWidgetItem* item) {
  if (!item) return;
  title_->setText(item->text(0));
  const uint32_t bit = item->data(0, kBitRole).toUInt();
  if (bit == 0) {
    // A group selects its first item, which raises this notification again for it.
    if (item->childCount() > 0) tree_->setCurrentItem(item->child(0));
    return;
  }
  if (item == itemOnShow_) return;
  itemOnShow_ = item;
  ShowPage(bit);
}

ConfigPage* CDlgMain::GetPage(uint32_t bit) {
  if (!loaded_) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(ConfigLock());
  auto it = pages_.find(bit);
  if (it != pages_.end()) return it->second;
  if (!FindPage(bit)) return nullptr;
  PageFactory make = PageFactoryFor(bit);
  if (!make) return nullptr;
  ConfigPage* page = make(frame_);
  if (!page) return nullptr;
  page->setObjectName(QStringLiteral("page-%1").arg(bit, 0, 16));
  page->hide();
  frame_->layout()->addWidget(page);
  pages_[bit] = page;
  page->Load(context_);
  return page;
}

void CDlgMain::ShowPage(uint32_t bit) {
  if (onShow_) onShow_->hide();
  wanted_ = bit;
  onShow_ = GetPage(bit);
  if (onShow_) onShow_->show();
}

void CDlgMain::OnSave() {
  if (!loaded_ || saving_) return;
  const auto pages = PagesBy(&PageEntry::collectOrder);
  // A malformed address stops the whole Save before anything is taken (written, it would cut
  // the device off); its page is shown with the field to mend.
  for (const auto& [entry, page] : pages) {
    if (!page->Validate()) {
      SelectItem(ItemFor(entry->bit));
      return;
    }
  }
  ConfigRecords& r = engine_.Records();
  QString heldBack;
  for (const auto& [entry, page] : pages) {
    const bool changed = page->CollectChanges(r);
    if (page->HeldBack()) heldBack += LoadLangString(entry->textId) + QStringLiteral(" ");
    // A mark is only ever set here: a record whose write failed stays marked for the next
    // Save even when its page finds nothing new.
    if (!changed) continue;
    switch (entry->mark) {
      case RecordMark::Device: r.device.changed = true; break;
      case RecordMark::Network: r.network.changed = true; break;
      case RecordMark::Ddns: r.ddns.changed = true; break;
      case RecordMark::Ntp: r.ntp.changed = true; break;
      case RecordMark::None: break;
    }
  }
  auto plan = std::make_shared<SavePlan>(engine_.PlanSave());
  plan->heldBack = heldBack;
  if ((plan->first.empty() && plan->rest.empty()) || !session_) {
    OnSaved(*plan);  // nothing to write
    return;
  }
  saving_ = true;
  save_->setEnabled(false);
  status_->setText(LoadLangString(4217));
  setCursor(Qt::BusyCursor);
  gate_ = std::make_shared<SaveGate>();
  session_->Exchange([this, plan, gate = gate_, mailbox = mailbox_](int32_t login) {
    ConfigEngine::Write(login, plan->first);
    if (plan->network) {
      mailbox->Post([this, gate] {
        ShowMessage(onShow_, LoadLangString(4192), LoadLangString(4212));
        gate->Open();
      });
      gate->Wait();
    }
    ConfigEngine::Write(login, plan->rest);
    mailbox->Post([this, plan] { OnSaved(*plan); });
  });
}

void CDlgMain::OnSaved(SavePlan& plan) {
  const QString summary = engine_.FinishSave(plan);
  saving_ = false;
  gate_.reset();
  status_->clear();
  unsetCursor();
  save_->setEnabled(true);
  ShowMessage(onShow_, summary, LoadLangString(4212));
}

intptr_t CDlgMain::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_SAVE_CHANNEL_PICTURE) return OnSaveChannelPicture(wParam, lParam);
  return 0;
}

intptr_t CDlgMain::OnSaveChannelPicture(uintptr_t channel, intptr_t) {
  if (!loaded_ || !session_) return 0;
  auto write = engine_.PictureWrite(static_cast<int>(channel));
  if (!write) return 0;
  session_->Exchange([write = std::move(*write)](int32_t login) {
    std::vector<RecordWrite> one{write};
    ConfigEngine::Write(login, one);
  });
  return 0;
}

}  // namespace pellmore
