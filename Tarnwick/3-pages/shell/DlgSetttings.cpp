#include "shell/DlgSetttings.h"

#include <QFrame>
#include <QPainter>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/TaskbarNotifier.h"
#include "plat/controlid.h"
#include "shell/AppMessages.h"
#include "shell/DlgModifyPwd.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/User.h"
#include "shell/UserRights.h"

using namespace forms;

namespace {

struct ButtonDef {
  int id;
  uint32_t tip;
  int image;  // Chinese normal image; hover and pressed follow; 0 for none
};
// Top to bottom in the column.
constexpr std::array<ButtonDef, 5> kButtons = {{{CDlgSetttings::IDC_DEVICES, IDS_DEVICE_MANAGEMENT, 6865},
                                                 {CDlgSetttings::IDC_LOCAL, IDS_LOCAL_SETTINGS, 6868},
                                                 {CDlgSetttings::IDC_REMOTE, IDS_REMOTE_SETTINGS, 0},
                                                 {CDlgSetttings::IDC_USERS, IDS_USER_MANAGEMENT, 6877},
                                                 {CDlgSetttings::IDC_PASSWORD, IDS_CHANGE_PASSWORD, 6874}}};
constexpr int kFrameWidth = 132;
constexpr int kButtonGap = 6;

bool CurrentUserKnown() {
  return SingletonAccess<CUser>::HasInstance() && !CUser::GetInstance()->GetName().empty();
}

}  // namespace

CDlgSetttings::CDlgSetttings() : CPageDialog(kTemplateId), m_devMgr(m_liveView) {}

CDlgSetttings::~CDlgSetttings() = default;

void CDlgSetttings::RegisterDeviceTree(QTreeWidget* tree) {
  if (!tree) return;
  m_deviceTrees.push_back(tree);
  m_devMgr.RegisterDeviceTree(tree);
}

void CDlgSetttings::RegisterGroupTree(QTreeWidget* tree) {
  if (!tree) return;
  m_groupTrees.push_back(tree);
  m_devMgr.RegisterGroupTree(tree);
}

CBitmapButtonEx* CDlgSetttings::Button(int id) const {
  for (size_t i = 0; i < kButtons.size(); ++i)
    if (kButtons[i].id == id) return m_buttons[i];
  return nullptr;
}

bool CDlgSetttings::OnInitDialog() {
  m_frame = new QFrame(this);
  plat::Named(m_frame, IDC_FRAME);
  m_frame->setFrameShape(QFrame::StyledPanel);
  m_frame->setGeometry(0, 0, kFrameWidth, 10);
  const int lang = GetLanguageId();
  int y = 10;
  for (size_t i = 0; i < kButtons.size(); ++i) {
    const ButtonDef& button = kButtons[i];
    auto* b = new CBitmapButtonEx(this, button.id);
    plat::Named(b, button.id);
    b->setToolTip(Text(button.tip));
    b->setFocusPolicy(Qt::NoFocus);
    if (button.image && (lang == LANGUAGE_ID_CHINESE || lang == LANGUAGE_ID_ENGLISH)) {
      const int image = LocalizedImageId(button.image, lang);
      b->LoadImageResources(image, image + 1, image + 2);
      b->SizeToImage();
    }
    if (button.id == IDC_REMOTE) {
      b->hide();  // kept for its refusal; the column does not show it
    } else {
      b->move((kFrameWidth - b->width()) / 2, y);
      y += b->height() + kButtonGap;
    }
    m_buttons[i] = b;
  }
  connect(Button(IDC_DEVICES), &QAbstractButton::clicked, this, [this] { SelectPage(&m_devMgr); });
  connect(Button(IDC_LOCAL), &QAbstractButton::clicked, this, [this] { SelectPage(&m_lsettings); });
  connect(Button(IDC_REMOTE), &QAbstractButton::clicked, this, &CDlgSetttings::OnRemoteSettings);
  connect(Button(IDC_USERS), &QAbstractButton::clicked, this, [this] { SelectPage(&m_userMgr); });
  connect(Button(IDC_PASSWORD), &QAbstractButton::clicked, this, &CDlgSetttings::OnChangePassword);

  for (CPageDialog* page : {static_cast<CPageDialog*>(&m_devMgr), static_cast<CPageDialog*>(&m_lsettings), static_cast<CPageDialog*>(&m_userMgr)})
    page->Create(this);
  SelectPage(&m_devMgr);
  if (CurrentUserKnown() && !CUser::GetInstance()->IsAdmin()) Button(IDC_USERS)->setEnabled(false);
  Layout();
  return true;
}

void CDlgSetttings::SelectPage(CPageDialog* page) {
  if (!page) return;
  if (m_current) {
    if (m_current == &m_lsettings) m_lsettings.LoadFromSettings();
    m_current->hide();
  }
  page->show();
  m_current = page;
}

void CDlgSetttings::OnRemoteSettings() {
  if (CurrentUserKnown() && !CUser::GetInstance()->HasRight(RIGHT_REMOTE_CONFIG))
    Notice(IDS_NO_RIGHT_REMOTE_CONFIG);
}

void CDlgSetttings::OnChangePassword() {
  CDlgModifyPwd dlg(this);
  dlg.DoModal();
}

void CDlgSetttings::RefreshRights() {
  if (!CurrentUserKnown() || !HasWindow()) return;
  const bool admin = CUser::GetInstance()->IsAdmin();
  Button(IDC_USERS)->setEnabled(admin);
  m_userMgr.setEnabled(admin);
}

bool CDlgSetttings::OnMessage(uint32_t message, uintptr_t, intptr_t, intptr_t& result) {
  if (message == WM_RIGHTS_CHANGED) {
    SelectPage(&m_lsettings);
    result = 0;
    return true;
  }
  if (message == WM_NOTIFIER_CLICKED) {
    CTaskbarNotifier::GetInstance()->Hide();
    return true;
  }
  return false;
}

void CDlgSetttings::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
}

void CDlgSetttings::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgSetttings::Layout() {
  if (!m_frame) return;
  // The frame keeps its width at the right edge; the buttons move with it.
  const int oldLeft = m_frame->x();
  const int left = std::max(0, width() - m_frame->width());
  m_frame->setGeometry(left, m_frame->y(), m_frame->width(), std::max(1, height() - 1 - m_frame->y()));
  for (CBitmapButtonEx* b : m_buttons) b->move(b->x() + left - oldLeft, b->y());
  for (CPageDialog* page : {static_cast<CPageDialog*>(&m_devMgr), static_cast<CPageDialog*>(&m_lsettings), static_cast<CPageDialog*>(&m_userMgr)})
    page->setGeometry(0, 0, std::max(0, left - 1), height());
}
