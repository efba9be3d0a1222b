#include "shell/DlgLSettings.h"

#include <QComboBox>
#include <QPainter>

#include "controls/BitmapButtonEx.h"
#include "controls/CheckComboBox.h"
#include "controls/EditEx.h"
#include "plat/controlid.h"
#include "plat/paths.h"
#include "shell/DiskHelpers.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

using namespace forms;

namespace {
constexpr int kDesignWidth = 480;
}  // namespace

CDlgLSettings::CDlgLSettings() : CPageDialog(kTemplateId) {}

CDlgLSettings::~CDlgLSettings() = default;

bool CDlgLSettings::OnInitDialog() {
  Group(this, IDC_GROUP_SAVE, IDS_SAVE_SETTINGS, QRect(0, 10, kDesignWidth, 104));
  Label(this, IDC_LABEL_DOWNLOAD, IDS_DOWNLOAD, QRect(12, 38, 120, 22));
  m_download = Edit(this, IDC_DOWNLOAD, QRect(136, 38, 240, 22), 260, false);
  auto* browseDownload = TextButton(this, IDC_BROWSE_DOWNLOAD, IDS_BROWSE, QPoint(384, 36));
  Label(this, IDC_LABEL_PICTURE, IDS_PICTURE, QRect(12, 74, 120, 22));
  m_picture = Edit(this, IDC_PICTURE, QRect(136, 74, 240, 22), 260, false);
  auto* browsePicture = TextButton(this, IDC_BROWSE_PICTURE, IDS_BROWSE, QPoint(384, 72));
  // The remote-configuration folder, e-mail and advanced settings are not offered.
  Label(this, IDC_LABEL_REMOTE_CFG, IDS_REMOTE_CFG, QRect(12, 110, 120, 22))->hide();
  m_remoteCfg = Edit(this, IDC_REMOTE_CFG, QRect(136, 110, 240, 22), 260, false);
  m_remoteCfg->hide();
  m_remoteCfg->setEnabled(false);
  TextButton(this, IDC_BROWSE_REMOTE_CFG, IDS_BROWSE, QPoint(384, 108))->hide();
  TextButton(this, IDC_MAIL, IDS_MAIL, QPoint(0, 0))->hide();
  TextButton(this, IDC_ADVANCED, IDS_ADVANCED, QPoint(0, 0))->hide();

  QGroupBox* play = Group(this, IDC_GROUP_PLAY, IDS_PLAY_SETTINGS, QRect(0, 124, kDesignWidth, 62));
  play->setTitle(Text(IDS_PLAY_SETTINGS_2));
  Label(this, IDC_LABEL_CYCLE, IDS_CYCLE, QRect(12, 152, 120, 22));
  m_cycle = new CEditEx(this);
  plat::Named(m_cycle, IDC_CYCLE);
  m_cycle->setGeometry(136, 152, 80, 22);
  m_cycle->SetNumberStyle(true);

  Group(this, IDC_GROUP_RECORD, IDS_LOCAL_RECORD, QRect(0, 196, kDesignWidth, 98));
  Label(this, IDC_LABEL_DISKS, IDS_SELECT_DISKS, QRect(12, 224, 120, 22));
  m_disks = new CCheckComboBox(this);
  plat::Named(m_disks, IDC_DISKS);
  m_disks->setGeometry(136, 224, 240, 24);
  m_circle = Check(this, IDC_CIRCLE, IDS_LOOP_RECORD, QRect(12, 260, 120, 22));
  Label(this, IDC_LABEL_PACK_SIZE, IDS_PACK_SIZE, QRect(136, 260, 100, 22));
  m_packSize = new QComboBox(this);
  plat::Named(m_packSize, IDC_PACK_SIZE);
  m_packSize->setGeometry(240, 260, 136, 24);
  auto* save = TextButton(this, IDC_SAVE, IDS_SAVE, QPoint(kDesignWidth / 2 - 42, 306));

  connect(browseDownload, &QAbstractButton::clicked, this, [this] { OnBrowse(IDC_BROWSE_DOWNLOAD); });
  connect(browsePicture, &QAbstractButton::clicked, this, [this] { OnBrowse(IDC_BROWSE_PICTURE); });
  connect(save, &QAbstractButton::clicked, this, &CDlgLSettings::OnSave);

  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (!w->isHidden()) m_designed.emplace_back(w, w->pos());

  LoadFromSettings();
  std::vector<std::u16string> roots;
  ListFixedDrives(roots);
  const auto& flags = m_controller.Current().diskFlags;
  for (size_t i = 0; i < roots.size() && i < flags.size(); ++i) {
    int index = m_disks->AddString(QString::fromStdU16String(roots[i]));
    m_disks->SetCheck(index, flags[i] != 0);
  }
  for (int mb : LocalSettingsController::PackSizes()) m_packSize->addItem(QString("%1M").arg(mb), mb);
  // Only loop recording rolls files, so only then does the size matter.
  m_packSize->setEnabled(m_controller.Current().circleVideo != 0);
  RefreshControls();
  Layout();
  return true;
}

void CDlgLSettings::LoadFromSettings() {
  m_controller.LoadFromSettings();
  RefreshControls();
}

void CDlgLSettings::RefreshControls() {
  if (!m_download) return;
  const LocalSettingsController::Values& v = m_controller.Current();
  m_download->setText(QString::fromStdU16String(v.downloadPath));
  m_picture->setText(QString::fromStdU16String(v.picturePath));
  m_remoteCfg->setText(QString::fromStdU16String(v.remoteCfgPath));
  m_cycle->setText(QString::number(v.cycleInterval));
  m_circle->setChecked(v.circleVideo != 0);
  for (int i = 0; i < m_disks->count() && i < static_cast<int>(v.diskFlags.size()); ++i)
    m_disks->SetCheck(i, v.diskFlags[i] != 0);
  m_packSize->setCurrentIndex(m_packSize->findData(v.packSizeMB));
}

void CDlgLSettings::OnSave() {
  LocalSettingsController::Form form;
  form.cycleIntervalText = m_cycle->text().toStdU16String();
  form.downloadPath = m_download->text().toStdU16String();
  form.picturePath = m_picture->text().toStdU16String();
  for (int i = 0; i < m_disks->count(); ++i) form.diskChecks.push_back(m_disks->GetCheck(i) ? 1 : 0);
  form.circleVideo = m_circle->isChecked() ? 1 : 0;
  form.packSizeMB = m_packSize->currentIndex() < 0 ? -1 : m_packSize->currentData().toInt();
  LocalSettingsController::SaveResult result = m_controller.Save(form);
  if (result.written) RefreshControls();
  if (result.notice) Notice(result.notice);
}

void CDlgLSettings::OnBrowse(int buttonId) {
  QLineEdit* edit = buttonId == IDC_BROWSE_DOWNLOAD ? m_download : m_picture;
  std::string start = plat::toNativePath(edit->text().toStdU16String());
  std::optional<std::string> chosen = UiService().BrowseForFolder(this, u"", start);
  if (!chosen) return;
  std::u16string folder = LocalSettingsController::FromPickedFolder(*chosen);
  if (!LocalSettingsController::IsValidFolder(folder)) return;
  edit->setText(QString::fromStdU16String(folder));
}

void CDlgLSettings::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
}

void CDlgLSettings::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgLSettings::Layout() {
  // The "save settings" group is centred; everything else keeps its place beside it.
  const int offset = std::max(0, (width() - kDesignWidth) / 2);
  for (auto& [w, pos] : m_designed) w->move(pos.x() + offset, pos.y());
}
