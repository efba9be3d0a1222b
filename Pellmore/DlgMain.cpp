#include "DlgMain.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace pellmore {

namespace {
std::mutex g_hookMutex;
std::function<void(CDlgMain&)> g_hook;
constexpr int kBitRole = Qt::UserRole;
const QString kSaveId = QStringLiteral("4001");
}  // namespace

bool ConfigPage::FocusMovingToSave() {
  QWidget* to = QApplication::focusWidget();
  return to && to->objectName() == kSaveId && qobject_cast<QPushButton*>(to) &&
         dynamic_cast<CDlgMain*>(to->window());
}

void SetWindowHook(std::function<void(CDlgMain&)> hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(hook);
}

std::function<void(CDlgMain&)> WindowHook() {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  return g_hook;
}

CDlgMain::CDlgMain(DeviceSession* session, QWidget* parent)
    : QDialog(parent), session_(session), engine_(session ? session->loginHandle : -1) {
  setObjectName(QStringLiteral("4000"));
  resize(780, 540);

  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("4000"));
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setFixedWidth(190);
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("4002"));
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  frame_ = new QGroupBox(this);
  frame_->setObjectName(QStringLiteral("4003"));
  auto* frameLayout = new QVBoxLayout(frame_);
  frameLayout->setContentsMargins(3, 9, 3, 3);
  auto* save = new QPushButton(LoadLangString(4024), this);
  save->setObjectName(kSaveId);
  save->setDefault(true);
  auto* close = new QPushButton(LoadLangString(4025), this);
  close->setObjectName(QStringLiteral("2"));

  auto* right = new QVBoxLayout;
  right->addWidget(title_);
  right->addWidget(frame_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
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

  connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { OnTreeSelChanged(item); });

  engine_.LoadAllParams();
  context_.records = &engine_.Records();
  context_.videoByte = session_ ? session_->VideoByte() : 0;
  context_.loginHandle = engine_.LoginHandle();
  context_.saveChannelPicture = [this](int channel) { OnSaveChannelPicture(channel); };

  SelectItem(tree_->topLevelItem(0));
}

CDlgMain::~CDlgMain() {
  std::vector<const PageEntry*> order;
  for (const PageEntry& e : PageTable()) order.push_back(&e);
  std::sort(order.begin(), order.end(),
            [](const PageEntry* a, const PageEntry* b) { return a->destroyOrder < b->destroyOrder; });
  for (const PageEntry* e : order) {
    std::lock_guard<std::recursive_mutex> lock(ConfigLock());
    auto it = pages_.find(e->bit);
    if (it == pages_.end()) continue;
    delete it->second;
    pages_.erase(it);
  }
  onShow_ = nullptr;
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
  onShow_ = GetPage(bit);
  if (onShow_) onShow_->show();
}

void CDlgMain::OnSave() {
  std::vector<std::pair<const PageEntry*, ConfigPage*>> pages;
  for (const PageEntry& e : PageTable()) {
    std::lock_guard<std::recursive_mutex> lock(ConfigLock());
    auto it = pages_.find(e.bit);
    if (it != pages_.end()) pages.emplace_back(&e, it->second);
  }
  std::sort(pages.begin(), pages.end(), [](const auto& a, const auto& b) {
    return a.first->collectOrder < b.first->collectOrder;
  });
  // An edit that must not reach the device stops the whole Save before anything is taken;
  // its page is shown with the field to mend.
  for (const auto& [e, page] : pages) {
    if (!page->Validate()) {
      SelectItem(ItemFor(e->bit));
      return;
    }
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ConfigRecords& r = engine_.Records();
  for (const auto& [e, page] : pages) {
    const bool changed = page->CollectChanges(r);
    // A mark is only ever set here: a record whose write failed stays marked for the next
    // Save even when its page finds nothing new.
    if (!changed) continue;
    switch (e->mark) {
      case RecordMark::Device: r.device.changed = true; break;
      case RecordMark::Network: r.network.changed = true; break;
      case RecordMark::Ddns: r.ddns.changed = true; break;
      case RecordMark::Ntp: r.ntp.changed = true; break;
      case RecordMark::None: break;
    }
  }
  QWidget* owner = onShow_;
  const QString summary = engine_.SendChangedParams(
      [&] { ShowMessage(owner, LoadLangString(4192), LoadLangString(4212)); });
  QApplication::restoreOverrideCursor();
  ShowMessage(owner, summary, LoadLangString(4212));
}

void CDlgMain::OnSaveChannelPicture(int channel) { engine_.SaveChannelPicture(channel); }

}  // namespace pellmore
